// The tag bytes themselves: what other writers produce, and what we make.
#include <cstring>

#include <gtest/gtest.h>

#include "ApeTagFormat.h"
#include "MonkeysAudioLib.h"

namespace apetag = monkeys::apetag;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes item(const std::string& key, const std::string& value, uint32_t flags = 0)
{
    Bytes out(8);
    for (int i = 0; i < 4; ++i) {
        out[size_t(i)] = uint8_t(value.size() >> (8 * i));
        out[size_t(4 + i)] = uint8_t(flags >> (8 * i));
    }
    out.insert(out.end(), key.begin(), key.end());
    out.push_back(0);
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

Bytes footer(uint32_t version, uint32_t size, uint32_t count, uint32_t flags)
{
    Bytes out(32);
    apetag::encode_frame({version, size, count, flags}, out.data());
    return out;
}

TEST(TagFormat, SerializedTagParsesBackTheSame)
{
    std::vector<apetag::Item> items = {{"Title", "t", 0},
                                       {"Cover Art (Back)", std::string("\0\1\2", 3), 2},
                                       {"Link", "file:///x", 5}};
    Bytes bytes = apetag::serialize(items);
    ASSERT_EQ(bytes.size(), 32 + apetag::tag_size(items));
    apetag::MemorySource src(bytes.data(), bytes.size());
    apetag::Location where = apetag::locate(src, 0);
    ASSERT_TRUE(where.found);
    EXPECT_EQ(where.start, 0);
    EXPECT_EQ(where.footer.version, 2000u);
    std::vector<apetag::Item> back;
    ASSERT_EQ(apetag::read_items(src, where, back), APE_OK);
    ASSERT_EQ(back.size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(back[i].key, items[i].key);
        EXPECT_EQ(back[i].value, items[i].value);
        EXPECT_EQ(back[i].flags, items[i].flags);
    }
    EXPECT_TRUE(apetag::serialize({}).empty());
}

TEST(TagFormat, FooterOnlyAndVersion1TagsAreRead)
{
    Bytes items = item("Title", "old style");
    Bytes area = items;
    Bytes file(50, 'x');
    file.insert(file.end(), area.begin(), area.end());
    Bytes foot = footer(1000, uint32_t(items.size() + 32), 1, 0);
    file.insert(file.end(), foot.begin(), foot.end());
    apetag::MemorySource src(file.data(), file.size());
    apetag::Location where = apetag::locate(src, 50);
    ASSERT_TRUE(where.found);
    EXPECT_EQ(where.start, 50);
    std::vector<apetag::Item> back;
    ASSERT_EQ(apetag::read_items(src, where, back), APE_OK);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].value, "old style");
    // Before the audio end it is not a tag, nor an error: it is audio.
    EXPECT_FALSE(apetag::locate(src, 51).found);
    apetag::Location inAudio = apetag::locate(src, int64_t(file.size()));
    EXPECT_FALSE(inAudio.found);
    EXPECT_EQ(inAudio.status, APE_OK);
}

TEST(TagFormat, HeaderThatDisagreesWithTheFooterIsNoTag)
{
    Bytes bytes = apetag::serialize({{"Title", "t", 0}});
    bytes[16] ^= 1;   // the header's item count
    apetag::MemorySource src(bytes.data(), bytes.size());
    apetag::Location where = apetag::locate(src, 0);
    EXPECT_FALSE(where.found);
    EXPECT_EQ(where.status, APE_ERROR_TAG_CORRUPT);
}

TEST(TagFormat, DuplicateKeysKeepTheLastAndOddKeysAreDropped)
{
    Bytes area;
    for (const Bytes& one : {item("Title", "first"), item("TITLE", "second"), item("x", "short key"),
                             item("tag", "other taggers allow it")})
        area.insert(area.end(), one.begin(), one.end());
    std::vector<apetag::Item> items;
    EXPECT_EQ(apetag::parse_items(area.data(), area.size(), 4, 2000, items), APE_ERROR_TAG_CORRUPT);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].key, "TITLE");
    EXPECT_EQ(items[0].value, "second");
    EXPECT_EQ(items[1].key, "tag");
}

TEST(TagFormat, Id3v1IsFoundAfterTheTagOrTheAudio)
{
    Bytes tag = apetag::serialize({{"Title", "t", 0}});
    Bytes id3(128, 0);
    std::memcpy(id3.data(), "TAG", 3);
    Bytes file(10, 'a');
    file.insert(file.end(), tag.begin(), tag.end());
    file.insert(file.end(), id3.begin(), id3.end());
    apetag::MemorySource src(file.data(), file.size());
    apetag::Location where = apetag::locate(src, -1);
    ASSERT_TRUE(where.found);
    EXPECT_EQ(where.start, 10);
    EXPECT_EQ(where.id3v1, int64_t(10 + tag.size()));

    Bytes plain(10, 'a');
    plain.insert(plain.end(), id3.begin(), id3.end());
    apetag::MemorySource noTag(plain.data(), plain.size());
    EXPECT_EQ(apetag::locate(noTag, 10).id3v1, 10);
    EXPECT_EQ(apetag::locate(noTag, 11).id3v1, -1) << "an ID3v1 inside the audio is audio";
}

TEST(TagFormat, Utf8PrefixStopsBeforeAnIncompleteCharacter)
{
    const char* text = "\xe6\x97\xa5\xe6\x9c\xac";   // two 3-byte characters
    EXPECT_EQ(apetag::utf8_prefix(text, 6, 6), 6u);
    EXPECT_EQ(apetag::utf8_prefix(text, 6, 5), 3u);
    EXPECT_EQ(apetag::utf8_prefix(text, 6, 4), 3u);
    EXPECT_EQ(apetag::utf8_prefix(text, 6, 3), 3u);
    EXPECT_EQ(apetag::utf8_prefix(text, 6, 2), 0u);
    // Not UTF-8 (stray continuation bytes): cut where asked.
    EXPECT_EQ(apetag::utf8_prefix("\x80\x80\x80\x80\x80", 5, 4), 4u);
}

} // namespace
