// Damaged and hostile tags: flipped bits, cut files, absurd counts and
// sizes. Each gives an empty or partial tag, never a crash nor a big
// allocation, and a later save still leaves the audio as it was.
#include <filesystem>
#include <cstring>

#include <gtest/gtest.h>
#include <unistd.h>

#include "ApeTagFormat.h"
#include "TagTestSupport.h"

using namespace tagtest;
namespace apetag = monkeys::apetag;

namespace {

constexpr int64_t kAudio = 300;
const char* const kFields[] = {"Title", "Artist", "Album", "Cover Art (Front)", "Comment", "X"};

// Reads every field; the text checks of field() hold for any damage.
void read_all(CAPETag& tag)
{
    for (const char* name : kFields)
        field(tag, name, 64);
}

class TagCorrupt : public ::testing::Test, protected AudioFile {
protected:
    TagCorrupt() : AudioFile(kAudio)
    {
        tagBytes = apetag::serialize({{"Title", "Title text", 0},
                                      {"Artist", "Ärtist", 0},
                                      {"Cover Art (Front)", std::string("c.jpg\0\xff\xd8", 8), 2},
                                      {"Comment", "one\0two", 0}});
        good = concat(concat(audio, tagBytes), id3v1("v1"));
    }
    // A save after damage: the audio stays, and the file then holds a
    // sound tag with the new field.
    void save_and_check(int64_t audioEnd)
    {
        TagPtr tag = open_tag(path, audioEnd);
        ASSERT_EQ(tag->SetFieldString("Album", "Saved", -1, 0), APE_OK);
        int result = tag->Save(0);
        ASSERT_TRUE(audio_intact());
        if (result == APE_OK) {
            ASSERT_EQ(field(*open_tag(path, audioEnd), "Album"), "Saved");
        }
    }
    Bytes tagBytes, good;
};

TEST_F(TagCorrupt, EveryFlippedBitGivesAReadableTag)
{
    int saved = 0;
    for (size_t byte = kAudio; byte < good.size(); ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes damaged = good;
            damaged[byte] ^= uint8_t(1 << bit);
            write_file(path, damaged);
            read_all(*open_tag(path, kAudio));
            read_all(*open_tag(path, -1));
            if ((byte * 8 + size_t(bit)) % 31 == 0) {   // saves flush to disk: a sample
                save_and_check(kAudio);
                ++saved;
            }
            if (HasFatalFailure() || HasFailure()) {
                ADD_FAILURE() << "at byte " << byte << " bit " << bit;
                return;
            }
        }
    }
    EXPECT_GT(saved, 60);
}

TEST_F(TagCorrupt, EveryCutOfTheTagGivesAReadableTag)
{
    for (size_t size = size_t(kAudio); size <= good.size(); ++size) {
        write_file(path, Bytes(good.begin(), good.begin() + ptrdiff_t(size)));
        TagPtr tag = open_tag(path, kAudio);
        read_all(*tag);
        if (size == kAudio + tagBytes.size()) {
            EXPECT_EQ(field(*tag, "Title"), "Title text") << "the tag without its ID3v1";
        }
        if (size % 7 == 0 || size + 1 >= good.size())
            save_and_check(kAudio);
        ASSERT_FALSE(HasFailure()) << "cut at " << size;
    }
}

// Builds a tag whose footer (and header) carry the given size and count.
Bytes lying_tag(uint32_t size, uint32_t count, bool withHeader)
{
    Bytes items = apetag::serialize({{"Title", "x", 0}});
    items = Bytes(items.begin() + 32, items.end() - 32);
    Bytes out(32);
    apetag::Frame frame{apetag::kVersion2, size, count, apetag::kTagHasHeader | apetag::kTagIsHeader};
    apetag::encode_frame(frame, out.data());
    if (!withHeader)
        out.clear();
    out = concat(out, items);
    Bytes footer(32);
    frame.flags = withHeader ? apetag::kTagHasHeader : 0;
    apetag::encode_frame(frame, footer.data());
    return concat(out, footer);
}

TEST_F(TagCorrupt, AbsurdSizesAndCountsAreRefusedWithoutBigAllocations)
{
    const uint32_t honest = uint32_t(lying_tag(0, 0, false).size());
    const struct {
        uint32_t size, count;
        bool header;
    } cases[] = {
        {0xFFFFFFFF, 1, true}, {0xFFFFFFFF, 1, false}, {0x7FFFFFFF, 1, false},
        {honest, 0xFFFFFFFF, false}, {honest, 0x10000000, true}, {honest, 2, false},
        {0, 1, false}, {31, 1, false}, {honest + 1, 1, false}, {honest - 1, 1, false},
    };
    for (const auto& c : cases) {
        write_file(path, concat(audio, lying_tag(c.size, c.count, c.header)));
        tagtest::largest_allocation(true);
        int error = -1;
        TagPtr tag = open_tag(path, kAudio, &error);
        read_all(*tag);
        EXPECT_LT(tagtest::largest_allocation(false), size_t(1) << 20) << c.size << " " << c.count;
        save_and_check(kAudio);
    }
    // Value sizes and keys that run past the item area.
    Bytes items(20, 0);
    items[0] = 0xF0; items[1] = 0xFF; items[2] = 0xFF; items[3] = 0xFF;   // value size
    std::memcpy(&items[8], "Title", 5);
    Bytes noNul(300, 'k');
    for (const Bytes& area : {items, noNul}) {
        Bytes tag(32), footer(32);
        apetag::Frame frame{apetag::kVersion2, uint32_t(area.size() + 32), 1, 0};
        apetag::encode_frame(frame, footer.data());
        write_file(path, concat(concat(audio, area), footer));
        tagtest::largest_allocation(true);
        int error = 0;
        TagPtr opened = open_tag(path, kAudio, &error);
        EXPECT_EQ(error, APE_ERROR_TAG_CORRUPT);
        EXPECT_EQ(field(*opened, "Title"), "");
        EXPECT_LT(tagtest::largest_allocation(false), size_t(1) << 20);
    }
}

TEST_F(TagCorrupt, DamageLateInTheTagKeepsTheItemsBeforeIt)
{
    Bytes tag = apetag::serialize({{"Title", "T", 0}, {"Artist", "A", 0}});
    // The second item's value size now runs past the end.
    size_t second = 32 + 8 + 5 + 1 + 1;
    tag[second + 3] = 0x7F;
    write_file(path, concat(audio, tag));
    int error = 0;
    TagPtr opened = open_tag(path, kAudio, &error);
    EXPECT_EQ(error, APE_ERROR_TAG_CORRUPT);
    EXPECT_EQ(field(*opened, "Title"), "T");
    EXPECT_EQ(field(*opened, "Artist"), "");
}

TEST_F(TagCorrupt, TagBeyondTheSizeBoundIsKeptNotReplaced)
{
    // A consistent tag larger than the library reads, as a sparse file.
    const uint32_t size = apetag::kMaxTagBytes + 64;
    Bytes header(32), footer(32);
    apetag::Frame frame{apetag::kVersion2, size, 1, apetag::kTagHasHeader | apetag::kTagIsHeader};
    apetag::encode_frame(frame, header.data());
    frame.flags = apetag::kTagHasHeader;
    apetag::encode_frame(frame, footer.data());
    write_file(path, concat(audio, header));
    ASSERT_EQ(truncate(path.c_str(), off_t(kAudio + 32 + size - 32)), 0);
    {
        FILE* f = fopen(path.c_str(), "ab");
        ASSERT_NE(f, nullptr);
        fwrite(footer.data(), 1, footer.size(), f);
        fclose(f);
    }
    tagtest::largest_allocation(true);
    int error = 0;
    TagPtr tag = open_tag(path, kAudio, &error);
    EXPECT_EQ(error, APE_ERROR_TAG_TOO_LARGE);
    EXPECT_LT(tagtest::largest_allocation(false), size_t(1) << 20);
    ASSERT_EQ(tag->SetFieldString("Title", "T", -1, 0), APE_OK);
    EXPECT_EQ(tag->Save(0), APE_ERROR_TAG_TOO_LARGE);
    EXPECT_EQ(std::filesystem::file_size(path), uintmax_t(kAudio + 32 + size));
}

} // namespace
