#include "ApeTagFormat.h"

#include <algorithm>
#include <cstring>

#include "MonkeysAudioLib.h"

#include <LittleEndian.h>

namespace monkeys::apetag {

namespace {

constexpr char kPreamble[8] = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};

using little_endian::get32;
using little_endian::put32;

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool read_frame(ByteSource& src, int64_t offset, Frame& frame, bool& ioError)
{
    uint8_t bytes[kFrameBytes];
    if (offset < 0 || offset + int64_t(kFrameBytes) > src.size())
        return false;
    if (!src.read(offset, bytes, kFrameBytes)) {
        ioError = true;
        return false;
    }
    return decode_frame(bytes, frame);
}

bool is_id3v1(ByteSource& src, int64_t offset, bool& ioError)
{
    char magic[3];
    if (offset < 0 || offset + int64_t(kId3v1Bytes) > src.size())
        return false;
    if (!src.read(offset, magic, sizeof magic)) {
        ioError = true;
        return false;
    }
    return std::memcmp(magic, "TAG", 3) == 0;
}

bool same_shape(const Frame& header, const Frame& footer)
{
    return header.version == footer.version && header.size == footer.size &&
           header.count == footer.count;
}

// A footer whose tag ends at tagEnd: fills where when the tag is whole
// and starts at or after lowest.
bool tag_by_footer(ByteSource& src, int64_t tagEnd, int64_t lowest, Location& where,
                   bool& ioError)
{
    Frame footer;
    if (tagEnd - int64_t(kFrameBytes) < lowest ||
        !read_frame(src, tagEnd - int64_t(kFrameBytes), footer, ioError) ||
        (footer.flags & kTagIsHeader))
        return false;
    if (footer.version != kVersion1 && footer.version != kVersion2)
        return false;
    int64_t items = tagEnd - int64_t(footer.size);
    if (footer.size < kFrameBytes || items < lowest) {
        where.status = APE_ERROR_TAG_CORRUPT;
        return false;
    }
    int64_t start = items;
    if (footer.version == kVersion2 && (footer.flags & kTagHasHeader)) {
        // The header must agree; a half-written tag has a footer but no
        // matching header and is not taken for a tag.
        Frame header;
        start = items - int64_t(kFrameBytes);
        if (start < lowest || !read_frame(src, start, header, ioError) ||
            !(header.flags & kTagIsHeader) || !same_shape(header, footer)) {
            where.status = APE_ERROR_TAG_CORRUPT;
            return false;
        }
    }
    where.found = true;
    where.start = start;
    where.items = items;
    where.end = tagEnd;
    where.footer = footer;
    return true;
}

// A header at start (the place this library writes the tag).
bool tag_by_header(ByteSource& src, int64_t start, Location& where, bool& ioError)
{
    Frame header, footer;
    if (!read_frame(src, start, header, ioError) || !(header.flags & kTagIsHeader) ||
        header.version != kVersion2 || header.size < kFrameBytes)
        return false;
    int64_t end = start + int64_t(kFrameBytes) + int64_t(header.size);
    if (end > src.size() || !read_frame(src, end - int64_t(kFrameBytes), footer, ioError) ||
        (footer.flags & kTagIsHeader) || !same_shape(header, footer))
        return false;
    where.found = true;
    where.start = start;
    where.items = start + int64_t(kFrameBytes);
    where.end = end;
    where.footer = footer;
    return true;
}

} // namespace

bool MemorySource::read(int64_t offset, void* buffer, size_t n)
{
    if (offset < 0 || uint64_t(offset) > size_ || n > size_ - size_t(offset))
        return false;
    if (n)
        std::memcpy(buffer, data_ + offset, n);
    return true;
}

bool decode_frame(const uint8_t* bytes, Frame& frame)
{
    if (std::memcmp(bytes, kPreamble, sizeof kPreamble) != 0)
        return false;
    frame.version = get32(bytes + 8);
    frame.size = get32(bytes + 12);
    frame.count = get32(bytes + 16);
    frame.flags = get32(bytes + 20);
    return true;
}

void encode_frame(const Frame& frame, uint8_t* bytes)
{
    std::memcpy(bytes, kPreamble, sizeof kPreamble);
    put32(bytes + 8, frame.version);
    put32(bytes + 12, frame.size);
    put32(bytes + 16, frame.count);
    put32(bytes + 20, frame.flags);
    std::memset(bytes + 24, 0, 8);
}

bool same_key(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

bool valid_key(std::string_view key, bool writing)
{
    if (key.size() < 2 || key.size() > 255)
        return false;
    for (char c : key)
        if (c < 0x20 || c > 0x7E)
            return false;
    for (std::string_view reserved : {"ID3", "TAG", "OggS", "MP+"})
        if (writing ? same_key(key, reserved) : key == reserved)
            return false;
    return true;
}

Location locate(ByteSource& src, int64_t audioEnd)
{
    Location where;
    const int64_t size = src.size();
    const int64_t lowest = std::max<int64_t>(audioEnd, 0);
    bool ioError = false;
    if (lowest > size)
        return where;   // the file ends inside its audio: no room for a tag

    if (!(audioEnd >= 0 && tag_by_header(src, lowest, where, ioError)) &&
        !tag_by_footer(src, size, lowest, where, ioError) &&
        is_id3v1(src, size - int64_t(kId3v1Bytes), ioError))
        tag_by_footer(src, size - int64_t(kId3v1Bytes), lowest, where, ioError);

    if (where.found) {
        where.status = 0;
        if (where.footer.size > kMaxTagBytes)
            where.status = APE_ERROR_TAG_TOO_LARGE;
    }
    // An ID3v1 block follows the tag, or is the last thing in the file.
    const int64_t last = size - int64_t(kId3v1Bytes);
    if (where.found && is_id3v1(src, where.end, ioError))
        where.id3v1 = where.end;
    else if (last >= (where.found ? where.end : lowest) && is_id3v1(src, last, ioError))
        where.id3v1 = last;
    if (ioError)
        where.status = APE_ERROR_READ;
    return where;
}

int parse_items(const uint8_t* data, size_t bytes, uint32_t count, uint32_t version,
                std::vector<Item>& items)
{
    int result = APE_OK;
    size_t pos = 0;
    uint32_t parsed = 0;
    for (; parsed < count && parsed < kMaxItems; ++parsed) {
        if (bytes - pos < kMinItemBytes)
            return APE_ERROR_TAG_CORRUPT;
        uint32_t valueBytes = get32(data + pos);
        uint32_t flags = get32(data + pos + 4);
        const char* key = reinterpret_cast<const char*>(data + pos + 8);
        size_t keyRoom = std::min<size_t>(bytes - pos - 8, 256);
        const void* nul = std::memchr(key, 0, keyRoom);
        if (!nul)
            return APE_ERROR_TAG_CORRUPT;
        size_t keyBytes = static_cast<const char*>(nul) - key;
        size_t valueAt = pos + 8 + keyBytes + 1;
        if (valueBytes > bytes - valueAt)
            return APE_ERROR_TAG_CORRUPT;
        pos = valueAt + valueBytes;

        std::string_view name(key, keyBytes);
        if (!valid_key(name, false)) {
            result = APE_ERROR_TAG_CORRUPT;
            continue;
        }
        Item item{std::string(name),
                  std::string(reinterpret_cast<const char*>(data + valueAt), valueBytes),
                  version == kVersion1 ? kItemText : flags};
        auto same = std::find_if(items.begin(), items.end(),
                                 [&](const Item& i) { return same_key(i.key, item.key); });
        if (same != items.end())
            *same = std::move(item);
        else
            items.push_back(std::move(item));
    }
    return parsed < count ? APE_ERROR_TAG_CORRUPT : result;
}

int read_items(ByteSource& src, const Location& where, std::vector<Item>& items)
{
    if (!where.found)
        return where.status;
    if (where.status)
        return where.status;
    size_t bytes = where.footer.size - kFrameBytes;
    // Every item takes at least kMinItemBytes: a count beyond that is a lie,
    // found before anything is allocated for it.
    if (where.footer.count > bytes / kMinItemBytes || where.footer.count > kMaxItems)
        return APE_ERROR_TAG_CORRUPT;
    std::vector<uint8_t> data(bytes);
    if (bytes && !src.read(where.items, data.data(), bytes))
        return APE_ERROR_READ;
    return parse_items(data.data(), bytes, where.footer.count, where.footer.version, items);
}

uint64_t tag_size(const std::vector<Item>& items)
{
    uint64_t size = kFrameBytes;
    for (const Item& item : items)
        size += 8 + item.key.size() + 1 + item.value.size();
    return size;
}

std::vector<uint8_t> serialize(const std::vector<Item>& items)
{
    std::vector<uint8_t> out;
    if (items.empty())
        return out;
    const uint64_t size = tag_size(items);
    out.resize(kFrameBytes + size);
    Frame frame{kVersion2, uint32_t(size), uint32_t(items.size()), kTagHasHeader | kTagIsHeader};
    encode_frame(frame, out.data());
    size_t pos = kFrameBytes;
    for (const Item& item : items) {
        put32(&out[pos], uint32_t(item.value.size()));
        put32(&out[pos + 4], item.flags);
        pos += 8;
        std::memcpy(&out[pos], item.key.data(), item.key.size());
        pos += item.key.size();
        out[pos++] = 0;
        if (!item.value.empty())
            std::memcpy(&out[pos], item.value.data(), item.value.size());
        pos += item.value.size();
    }
    frame.flags = kTagHasHeader;
    encode_frame(frame, &out[pos]);
    return out;
}

size_t utf8_prefix(const char* text, size_t length, size_t limit)
{
    if (length <= limit)
        return length;
    // Step back over the continuation bytes at the cut to the lead byte of
    // the sequence that the cut would split.
    size_t lead = limit;
    while (lead > 0 && limit - lead < 3 &&
           (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80)
        --lead;
    if (lead == 0)
        return limit;   // no lead byte: not UTF-8, cut where asked
    auto first = static_cast<unsigned char>(text[lead - 1]);
    size_t sequence = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (first >= 0xC0 && (lead - 1) + sequence > limit)
        return lead - 1;
    return limit;
}

} // namespace monkeys::apetag
