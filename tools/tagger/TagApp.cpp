#include "TagApp.h"

#include <AppIdentity.h>
#include <MiscTextUtils.h>
#include <UTF8.h>

#include <cstring>
#include <iostream>
#include <vector>

const char gAppName[] = "Lumbrel";
const char gAppVer[] = "Ver 1.30";
const char gCright[] = SUITE_COPYRIGHT;
const char gAppAuthorE[] = "VELMOR";
const char gAppAuthorJ[] = "ＶＥＬＭＯＲ";
const char gAppSignature[] = "application/x-vnd.VELMOR-Lumbrel";

const TTagField kTagFields[7] = {
    {"Title", kTagOptionTitle, "Title: "},       {"Artist", kTagOptionArtist, "Artist: "},
    {"Album", kTagOptionAlbum, "Album: "},       {"Comment", kTagOptionComment, "Comment: "},
    {"Year", kTagOptionYear, "Year: "},          {"Genre", kTagOptionGenre, "Genre: "},
    {"Track", kTagOptionTrack, "Track: "},
};

namespace {

struct OptionName {
    const char* longName;
    const char* shortName; // null: none
    int32 id;
};

const OptionName kOptionNames[] = {
    {"-ALBUM", "-L", kTagOptionAlbum},     {"-ARTIST", "-A", kTagOptionArtist},
    {"-CHARSET", "-CS", kTagOptionCharset}, {"-COMMENT", "-C", kTagOptionComment},
    {"-GENRE", "-G", kTagOptionGenre},     {"-REMOVEALL", nullptr, kTagOptionRemoveAll},
    {"-TITLE", "-T", kTagOptionTitle},     {"-TRACK", "-R", kTagOptionTrack},
    {"-YEAR", "-Y", kTagOptionYear},
};

struct UsageLine {
    const char* key;
    const char* longName;
    const char* shortName;
};

const UsageLine kUsageLines[] = {
    {"@Usage_Title %Option1% %Option2%@", "-TITLE", "-T"},
    {"@Usage_Artist %Option1% %Option2%@", "-ARTIST", "-A"},
    {"@Usage_Album %Option1% %Option2%@", "-ALBUM", "-L"},
    {"@Usage_Comment %Option1% %Option2%@", "-COMMENT", "-C"},
    {"@Usage_Year %Option1% %Option2%@", "-YEAR", "-Y"},
    {"@Usage_Genre %Option1% %Option2%@", "-GENRE", "-G"},
    {"@Usage_Track %Option1% %Option2%@", "-TRACK", "-R"},
    {"@Usage_Char_Set %Option1% %Option2%@", "-CHARSET", "-CS"},
};

// How many of the first `length` bytes of s fit into `room` bytes without
// cutting a UTF-8 character.
int32 utf8_fit(const char* s, int32 length, int32 room)
{
    if (length <= room)
        return length;
    int32 fit = room;
    for (int back = 0; fit > 0 && back < 3 && is_utf8_continuation(s[fit]); back++)
        fit--;
    return is_utf8_continuation(s[fit]) ? room : fit;
}

// The length of s without a last UTF-8 character that the end cuts short.
int32 utf8_whole_length(const char* s, int32 length)
{
    int32 lead = length;
    for (int back = 0; lead > 0 && back < 3 && is_utf8_continuation(s[lead - 1]); back++)
        lead--;
    if (lead == 0)
        return length;
    unsigned char b = s[--lead];
    if (b < 0xC0)
        return length;
    int32 needed = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
    return length - lead < needed ? lead : length;
}

// The encoding of a text read from the tag.
uint32 effective_charset(const TTagOption& option, const char* text)
{
    switch (option.charset) {
    case B_SJIS_CONVERSION:
    case B_JIS_CONVERSION:
    case B_UNICODE_CONVERSION:
        return option.charset;
    case kCharsetAutoDetect: {
        int32 detected = detect_charset(text);
        if (detected == kCharsetJis || detected == kCharsetShiftJis)
            return (uint32)detected;
        break;
    }
    }
    return B_UNICODE_CONVERSION;
}

} // namespace

TTagOption::~TTagOption()
{
    tag_values.clear();
}

const TTagField* find_tag_field(int32 option)
{
    for (const TTagField& field : kTagFields)
        if (field.option == option)
            return &field;
    return nullptr;
}

void init_option_map(TOptionMap& map)
{
    for (const OptionName& name : kOptionNames) {
        map[name.longName] = name.id;
        if (name.shortName)
            map[name.shortName] = name.id;
    }
    init_option_map_common(map);
}

void init_encoding_map(TEncodingMap& map)
{
    map["JIS"] = B_JIS_CONVERSION;
    map["J"] = B_JIS_CONVERSION;
    map["SHIFT-JIS"] = B_SJIS_CONVERSION;
    map["S"] = B_SJIS_CONVERSION;
    map["UTF-8"] = B_UNICODE_CONVERSION;
    map["U"] = B_UNICODE_CONVERSION;
}

int parse_opt(int argc, char** argv, TTagOption* option)
{
    TOptionMap options;
    init_option_map(options);
    TEncodingMap encodings;
    init_encoding_map(encodings);

    for (int i = 1; i < argc; i++) {
        BString arg(argv[i]);
        int32 id = find_option_id(options, extract_opt_name(arg));
        if (find_tag_field(id)) {
            option->tag_values[id] = extract_opt_value(arg);
        } else if (id == kTagOptionCharset) {
            BString name = extract_opt_value(arg);
            name.ToUpper();
            auto found = encodings.find(name);
            if (found == encodings.end() || found->second == 0) {
                exp_err_bad_option_value(arg);
                return -1;
            }
            option->charset = found->second;
        } else if (id == kTagOptionRemoveAll) {
            option->remove_all = true;
        } else if (arg.ByteAt(0) == '-') {
            if (parse_opt_common(id, arg, *option) != 0)
                return -1;
        } else
            option->ape_file = arg;
    }
    if (option->ape_file.IsEmpty())
        option->help = true;
    option->Calc();
    return 0;
}

void convert_to_utf8(const TTagOption& option, char* text, int size)
{
    if (!text || size <= 0)
        return;
    int32 length = (int32)strnlen(text, size);
    if (length == size) // never read past the buffer, terminated or not
        text[--length] = '\0';
    // A text that fills the buffer may have been cut inside its last
    // character; a UTF-8 text cut so must not pass for Shift-JIS.
    int32 whole = utf8_whole_length(text, length);
    if (length == size - 1 && whole < length) {
        char cut = text[whole];
        text[whole] = '\0';
        if (effective_charset(option, text) == B_UNICODE_CONVERSION)
            length = whole;
        else
            text[whole] = cut;
    }
    uint32 charset = effective_charset(option, text);
    if (charset == B_UNICODE_CONVERSION)
        return;

    std::vector<char> converted(size);
    int32 sourceLength = length, destinationLength = size - 1, state = 0;
    if (convert_to_utf8(charset, text, &sourceLength, converted.data(), &destinationLength, &state,
                        B_SUBSTITUTE)
        == B_OK) {
        converted[destinationLength] = '\0';
        memcpy(text, converted.data(), destinationLength + 1);
    }
}

void convert_from_utf8(const TTagOption& option, const BString& value, char* out, int size)
{
    if (!out || size <= 0)
        return;
    if (option.charset != B_UNICODE_CONVERSION && option.charset != kCharsetAutoDetect) {
        int32 sourceLength = value.Length(), destinationLength = size - 1, state = 0;
        if (convert_from_utf8(option.charset, value.String(), &sourceLength, out,
                              &destinationLength, &state, B_SUBSTITUTE)
            == B_OK) {
            out[destinationLength] = '\0';
            return;
        }
    }
    int32 length = utf8_fit(value.String(), value.Length(), size - 1);
    memcpy(out, value.String(), length);
    out[length] = '\0';
}

void exp_usage()
{
    std::cout << get_text("@Tag_Overview %AppName%@", {{"%AppName%", gAppName}}) << "\n\n"
              << get_text("=== Usage ===") << "\n"
              << get_text("@Tag_Cmd_Format@") << "\n\n"
              << get_text("Option (Case insensitive):") << "\n";
    for (const UsageLine& line : kUsageLines)
        std::cout << "  "
                  << get_text(line.key, {{"%Option1%", capitalize(line.longName)},
                                         {"%Option2%", line.shortName}})
                  << "\n";
    std::cout << "    "
              << get_text("@Usage_Char_Set_Detail %OptionA1% %OptionA2% %OptionB1% %OptionB2% "
                          "%OptionC1% %OptionC2%@",
                          {{"%OptionA1%", "JIS"},
                           {"%OptionA2%", "J"},
                           {"%OptionB1%", "SHIFT-JIS"},
                           {"%OptionB2%", "S"},
                           {"%OptionC1%", "UTF-8"},
                           {"%OptionC2%", "U"}})
              << "\n"
              << "  "
              << get_text("@Usage_Remove_All %Option%@",
                          {{"%Option%", capitalize("-REMOVEALL")}})
              << std::endl;
    exp_usage_common_opt();
    std::cout << "\n"
              << get_text("Example:") << "\n"
              << "  Lumbrel MyApe.ape " << capitalize("-TITLE") << "=Seasons "
              << capitalize("-ARTIST") << "=\"Ridi Vuz\" " << capitalize("-CHARSET") << "=UTF-8\n"
              << std::endl;
}
