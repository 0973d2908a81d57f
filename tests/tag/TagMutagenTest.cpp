// Interoperation with an outside APEv2 tagger: python3-mutagen.
#include <cstring>

#include <gtest/gtest.h>
#include <unistd.h>

#include "ApeTagFormat.h"
#include "TagTestSupport.h"

using namespace tagtest;

namespace {

constexpr int64_t kAudio = 4096;

// Prints every item as one line: key, kind, then the value in hex.
const char* const kDump = R"(
import sys, mutagen.apev2
tag = mutagen.apev2.APEv2(sys.argv[1])
for key in sorted(tag.keys()):
    value = tag[key]
    data = value.value if value.kind == mutagen.apev2.BINARY else value.value.encode('utf-8')
    print(key, value.kind, data.hex())
)";

// Writes text, a list, a binary item and a link; keeps what is there.
const char* const kWrite = R"(
import sys, mutagen.apev2
try:
    tag = mutagen.apev2.APEv2(sys.argv[1])
except mutagen.apev2.APENoHeaderError:
    tag = mutagen.apev2.APEv2()
tag['Title'] = '日本語のタイトル'
tag['Artist'] = ['Ärtist One', 'Artist Two']
tag['Cover Art (Front)'] = mutagen.apev2.APEValue(b'cover.jpg\x00\xff\xd8\x00\x01\x02', mutagen.apev2.BINARY)
tag['Related'] = mutagen.apev2.APEValue('http://example.org/a', mutagen.apev2.EXTERNAL)
tag.save(sys.argv[1])
)";

std::string hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

class TagMutagen : public ::testing::Test, protected AudioFile {
protected:
    TagMutagen() : AudioFile(kAudio) {}
    void SetUp() override
    {
        if (access("/usr/bin/python3", X_OK) != 0)
            GTEST_SKIP() << "/usr/bin/python3 is missing";
        int status = 0;
        python("import mutagen.apev2\n", {}, &status);
        if (status != 0)
            GTEST_SKIP() << "python3-mutagen is missing";
    }
    std::string dump()
    {
        int status = -1;
        std::string out = python(kDump, {path}, &status);
        EXPECT_EQ(status, 0) << "mutagen could not read the tag";
        return out;
    }
    void mutagen_write()
    {
        int status = -1;
        python(kWrite, {path}, &status);
        ASSERT_EQ(status, 0) << "mutagen could not write the tag";
    }
};

TEST_F(TagMutagen, ReadsWhatWeWrite)
{
    const std::string title = "Σύμφωνο — 日本語";
    const std::string cover("img\0\x89PNG\r\n\x1a\n\0\0", 14);
    {
        TagPtr tag = open_tag(path, kAudio);
        ASSERT_EQ(tag->SetFieldString("Title", title.c_str(), -1, 0), APE_OK);
        ASSERT_EQ(tag->SetFieldString("Year", "2001", -1, 0), APE_OK);
        ASSERT_EQ(tag->SetFieldString("Cover Art (Front)", cover.data(), int(cover.size()),
                                      int(monkeys::apetag::kItemBinary)),
                  APE_OK);
        ASSERT_EQ(tag->Save(0), APE_OK);
    }
    EXPECT_EQ(dump(), "Cover Art (Front) 1 " + hex(cover) + "\nTitle 0 " + hex(title) +
                          "\nYear 0 " + hex("2001") + "\n");

    // Also with an ID3v1 block after our tag.
    Bytes file = concat(read_file(path), id3v1("v1"));
    write_file(path, file);
    set_fields(path, kAudio, {{"Year", "2002"}});
    EXPECT_NE(dump().find("Year 0 " + hex("2002")), std::string::npos);
}

TEST_F(TagMutagen, WeReadWhatMutagenWritesAndKeepItsItems)
{
    mutagen_write();
    const std::string before = dump();
    {
        TagPtr tag = open_tag(path, kAudio);
        EXPECT_EQ(field(*tag, "title"), "日本語のタイトル");
        EXPECT_EQ(field(*tag, "Artist"), "Ärtist One; Artist Two");
        EXPECT_EQ(field(*tag, "Related"), "http://example.org/a");
        EXPECT_EQ(field(*tag, "Cover Art (Front)"), "");
        // Our save of one more field keeps every item of theirs as it was.
        ASSERT_EQ(tag->SetFieldString("Album", "Ours", -1, 0), APE_OK);
        ASSERT_EQ(tag->Save(0), APE_OK);
    }
    EXPECT_EQ(dump(), "Album 0 " + hex("Ours") + "\n" + before);
    Bytes file = read_file(path);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin()));
}

TEST_F(TagMutagen, MutagenRewritingOurTagStaysAfterTheAudio)
{
    set_fields(path, kAudio, {{"Title", "Ours"}, {"Genre", "Jazz"}});
    mutagen_write();
    TagPtr tag = open_tag(path, kAudio);
    EXPECT_EQ(field(*tag, "Title"), "日本語のタイトル");
    EXPECT_EQ(field(*tag, "Genre"), "Jazz");
    Bytes file = read_file(path);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin()));
    EXPECT_EQ(std::memcmp(&file[kAudio], "APETAGEX", 8), 0);
}

} // namespace
