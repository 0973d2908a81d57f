// Lumbrel's identity, its option record and command line, and the text
// conversions between the terminal's UTF-8 and the tag's character set.
#pragma once

#include <Common.h>

#include <map>

// Option ids of the tag tool, in the alphabetical order of the long names.
enum {
    kTagOptionAlbum = 3,
    kTagOptionArtist = 4,
    kTagOptionCharset = 5,
    kTagOptionComment = 6,
    kTagOptionGenre = 7,
    kTagOptionRemoveAll = 8,
    kTagOptionTitle = 9,
    kTagOptionTrack = 10,
    kTagOptionYear = 11,
};

// charset value for "detect the encoding of each value read".
const uint32 kCharsetAutoDetect = 4096;

// Every value goes through buffers of this size, terminator included.
const int kTagValueBytes = 2048;

class TTagOption : public TOption {
public:
    TTagOption() = default;
    ~TTagOption() override;

    bool remove_all = false;
    // Conversion id of the text inside the tag (11, 13, 15) or
    // kCharsetAutoDetect.
    uint32 charset = kCharsetAutoDetect;
    // Option id -> value as typed (UTF-8), in ascending id order.
    std::map<int32, BString> tag_values;
};

// The fields the tool knows, in display order.
struct TTagField {
    const char* name;   // field name in the tag
    int32 option;       // the option that writes it
    const char* label;  // display label key
};
extern const TTagField kTagFields[7];
// The field an option id writes, or null.
const TTagField* find_tag_field(int32 option);

// Upper-case character-set name -> conversion id; 0 is "no such name".
using TEncodingMap = std::map<BString, uint32>;

void init_option_map(TOptionMap& map);
void init_encoding_map(TEncodingMap& map);
int parse_opt(int argc, char** argv, TTagOption* option);

// Tag text (zero-terminated, capacity size) to UTF-8, in place. A text that
// the platform cannot convert keeps its bytes.
void convert_to_utf8(const TTagOption& option, char* text, int size);
// UTF-8 value to the tag's character set into out (capacity size), always
// zero-terminated and never cut inside a character.
void convert_from_utf8(const TTagOption& option, const BString& value, char* out, int size);
