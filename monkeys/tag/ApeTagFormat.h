// The APEv2 tag as bytes: finding it at the end of a file, reading its
// items and writing them back. No file handling here, so the fuzzer and
// the tests drive it from memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace monkeys::apetag {

constexpr size_t kFrameBytes = 32;       // header and footer
constexpr size_t kId3v1Bytes = 128;
constexpr uint32_t kVersion1 = 1000;
constexpr uint32_t kVersion2 = 2000;

// Tag flags (header and footer).
constexpr uint32_t kTagHasHeader = 1u << 31;
constexpr uint32_t kTagIsHeader = 1u << 29;

// Item flags.
constexpr uint32_t kItemReadOnly = 1;
constexpr uint32_t kItemTypeMask = 6;
constexpr uint32_t kItemText = 0;
constexpr uint32_t kItemBinary = 2;
constexpr uint32_t kItemLink = 4;
constexpr uint32_t kItemReserved = 6;
constexpr uint32_t kItemKnownFlags = kItemReadOnly | kItemTypeMask;

// Bounds that keep a hostile tag from costing much memory; a real tag,
// cover art included, stays far below them.
constexpr uint32_t kMaxTagBytes = 64u << 20;   // items and footer
constexpr uint32_t kMaxItems = 65536;
// Smallest item: sizes, a two-character key, its NUL.
constexpr size_t kMinItemBytes = 4 + 4 + 2 + 1;

struct Item {
    std::string key;
    std::string value;
    uint32_t flags = 0;
};

// A decoded header or footer.
struct Frame {
    uint32_t version = 0;
    uint32_t size = 0;    // items and footer, without the header
    uint32_t count = 0;
    uint32_t flags = 0;
};

bool decode_frame(const uint8_t* bytes, Frame& frame);   // 32 bytes in
void encode_frame(const Frame& frame, uint8_t* bytes);   // 32 bytes out

// A key of 2 to 255 characters 0x20-0x7E. For keys being written the
// reserved names "ID3", "TAG", "OggS" and "MP+" are refused in any case;
// when reading only their exact spelling is, as other taggers do.
bool valid_key(std::string_view key, bool writing);
bool same_key(std::string_view a, std::string_view b);   // ASCII, case-insensitive

// Random access to the bytes of a file (or of a buffer).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual int64_t size() const = 0;
    // Reads exactly n bytes at offset; false on any failure or short read.
    virtual bool read(int64_t offset, void* buffer, size_t n) = 0;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    int64_t size() const override { return static_cast<int64_t>(size_); }
    bool read(int64_t offset, void* buffer, size_t n) override;

private:
    const uint8_t* data_;
    size_t size_;
};

// Where the tag and an ID3v1 block lie in a file.
struct Location {
    bool found = false;       // a consistent APE tag
    int64_t start = -1;       // its first byte (the header, when it has one)
    int64_t items = -1;       // its first item
    int64_t end = -1;         // just past its footer
    Frame footer;
    int64_t id3v1 = -1;       // an ID3v1 block after the tag (or the audio), -1 none
    int status = 0;           // APE_OK, APE_ERROR_TAG_CORRUPT, APE_ERROR_TAG_TOO_LARGE, APE_ERROR_READ
};

// Finds the tag in src. Nothing before audioEnd (-1: unknown) is taken
// for a tag: with audioEnd known the tag is looked for first right at
// audioEnd (where this library writes it), then by its footer at the end.
Location locate(ByteSource& src, int64_t audioEnd);

// Reads the items of a located tag. Returns APE_OK, or an error with the
// items that could be read before the damage left in items.
int read_items(ByteSource& src, const Location& where, std::vector<Item>& items);

// Parses an item area. Damage stops the parse (APE_ERROR_TAG_CORRUPT);
// items with invalid keys are dropped (also APE_ERROR_TAG_CORRUPT).
// A later item replaces an earlier one with the same key.
int parse_items(const uint8_t* data, size_t bytes, uint32_t count, uint32_t version,
                std::vector<Item>& items);

// Bytes of the items and footer of a tag holding items (what the size
// field of the header and footer counts).
uint64_t tag_size(const std::vector<Item>& items);

// Header, items, footer; empty for no items.
std::vector<uint8_t> serialize(const std::vector<Item>& items);

// The longest prefix of text[0, length) of at most limit bytes that does
// not end inside a UTF-8 sequence.
size_t utf8_prefix(const char* text, size_t length, size_t limit);

} // namespace monkeys::apetag
