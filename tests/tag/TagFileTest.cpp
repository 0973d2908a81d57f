// Reading, writing and removing the tag of a file with a known audio part.
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ApeTagFormat.h"
#include "TagTestSupport.h"

using namespace tagtest;
namespace apetag = monkeys::apetag;

namespace {

constexpr int64_t kAudio = 1000;

class TagFile : public ::testing::Test, protected AudioFile {
protected:
    TagFile() : AudioFile(kAudio) {}
    void ExpectAudioIntact() { EXPECT_TRUE(audio_intact()) << "audio changed"; }
};

TEST_F(TagFile, UntaggedFileReadsEmptyAndIsLeftAlone)
{
    int error = -1;
    TagPtr tag = open_tag(path, kAudio, &error);
    EXPECT_EQ(error, APE_OK);
    char buffer[16] = "junk";
    int bytes = sizeof buffer;
    EXPECT_EQ(tag->GetFieldString("Title", buffer, &bytes), APE_ERROR_TAG_NO_FIELD);
    EXPECT_EQ(bytes, 0);
    EXPECT_STREQ(buffer, "");
    // Nothing changed: Save does not touch the file, Remove(0) neither.
    EXPECT_EQ(tag->Remove(0), APE_OK);
    EXPECT_EQ(tag->Save(0), APE_OK);
    EXPECT_EQ(read_file(path), audio);
}

TEST_F(TagFile, FieldsWrittenReadBackAfterTheAudio)
{
    set_fields(path, kAudio, {{"Title", "Song"}, {"Artist", "Band"}, {"Year", "1999"}});
    Bytes file = read_file(path);
    ExpectAudioIntact();
    ASSERT_GT(file.size(), size_t(kAudio) + 64);
    EXPECT_EQ(std::memcmp(&file[kAudio], "APETAGEX", 8), 0) << "the tag starts right after the audio";
    EXPECT_EQ(std::memcmp(&file[file.size() - 32], "APETAGEX", 8), 0) << "and ends the file";

    TagPtr tag = open_tag(path, kAudio);
    EXPECT_EQ(field(*tag, "Title"), "Song");
    EXPECT_EQ(field(*tag, "ARTIST"), "Band") << "keys are case-insensitive";
    EXPECT_EQ(field(*tag, "year"), "1999");
    EXPECT_EQ(field(*tag, "Album"), "");
}

TEST_F(TagFile, RewritesReplaceOnlyTheGivenFields)
{
    set_fields(path, kAudio, {{"Title", "A rather long first title"}, {"Album", "Kept"}});
    set_fields(path, kAudio, {{"TITLE", "Short"}});   // shrinks the tag
    {
        TagPtr tag = open_tag(path, kAudio);
        EXPECT_EQ(field(*tag, "Title"), "Short");
        EXPECT_EQ(field(*tag, "Album"), "Kept");
    }
    set_fields(path, kAudio, {{"Comment", std::string(5000, 'c')}});   // grows it
    TagPtr tag = open_tag(path, kAudio);
    EXPECT_EQ(field(*tag, "Title"), "Short");
    EXPECT_EQ(field(*tag, "Comment", 6000), std::string(5000, 'c'));
    ExpectAudioIntact();
    // One item per key, whatever the case it was written with.
    Bytes file = read_file(path);
    apetag::MemorySource mem(file.data(), file.size());
    apetag::Location where = apetag::locate(mem, kAudio);
    ASSERT_TRUE(where.found);
    EXPECT_EQ(where.footer.count, 3u);
    EXPECT_EQ(where.end, int64_t(file.size()));
}

TEST_F(TagFile, EmptyValueRemovesTheField)
{
    set_fields(path, kAudio, {{"Title", "T"}, {"Genre", "Rock"}});
    set_fields(path, kAudio, {{"Genre", ""}});
    TagPtr tag = open_tag(path, kAudio);
    EXPECT_EQ(field(*tag, "Genre"), "");
    char buffer[8];
    int bytes = sizeof buffer;
    EXPECT_EQ(tag->GetFieldString("Genre", buffer, &bytes), APE_ERROR_TAG_NO_FIELD);
    EXPECT_EQ(field(*tag, "Title"), "T");
}

TEST_F(TagFile, RemoveAllThenSaveLeavesOnlyTheAudio)
{
    set_fields(path, kAudio, {{"Title", "T"}, {"Artist", "A"}});
    TagPtr tag = open_tag(path, kAudio);
    EXPECT_EQ(tag->Remove(1), APE_OK);
    EXPECT_EQ(field(*tag, "Title"), "");
    EXPECT_EQ(tag->Save(0), APE_OK);
    EXPECT_EQ(read_file(path), audio);
}

TEST_F(TagFile, RemoveAllWithNewFieldsKeepsExactlyThose)
{
    set_fields(path, kAudio, {{"Title", "T"}, {"Artist", "A"}});
    TagPtr tag = open_tag(path, kAudio);
    tag->Remove(1);
    ASSERT_EQ(tag->SetFieldString("Artist", "y", -1, 0), APE_OK);
    ASSERT_EQ(tag->Save(0), APE_OK);
    TagPtr again = open_tag(path, kAudio);
    EXPECT_EQ(field(*again, "Artist"), "y");
    EXPECT_EQ(field(*again, "Title"), "");
}

TEST_F(TagFile, Id3v1BlockIsKeptThroughWritesAndRemoval)
{
    Bytes id3 = id3v1("Old title");
    write_file(path, concat(audio, id3));
    set_fields(path, kAudio, {{"Title", "New"}});
    Bytes file = read_file(path);
    ASSERT_GE(file.size(), id3.size());
    EXPECT_TRUE(std::equal(id3.begin(), id3.end(), file.end() - 128)) << "ID3v1 not last";
    set_fields(path, kAudio, {{"Title", std::string(300, 'x')}});
    set_fields(path, kAudio, {{"Title", "y"}});
    file = read_file(path);
    EXPECT_TRUE(std::equal(id3.begin(), id3.end(), file.end() - 128));
    EXPECT_EQ(field(*open_tag(path, kAudio), "Title"), "y");

    TagPtr tag = open_tag(path, kAudio);
    tag->Remove(1);
    ASSERT_EQ(tag->Save(0), APE_OK);
    EXPECT_EQ(read_file(path), concat(audio, id3));
}

TEST_F(TagFile, BinaryItemsSurviveRewritesByteForByte)
{
    static const char kCover[] = "front.jpg\0\xff\xd8\xff\xe0\0\0binary\0data";
    const std::string cover(kCover, sizeof kCover - 1);
    {
        TagPtr tag = open_tag(path, kAudio);
        ASSERT_EQ(tag->SetFieldString("Cover Art (Front)", cover.data(), int(cover.size()),
                                      int(apetag::kItemBinary)),
                  APE_OK);
        ASSERT_EQ(tag->Save(0), APE_OK);
    }
    set_fields(path, kAudio, {{"Title", "T"}});
    set_fields(path, kAudio, {{"Title", "Longer title"}});
    TagPtr tag = open_tag(path, kAudio);
    char buffer[64];
    int bytes = sizeof buffer;
    EXPECT_EQ(tag->GetFieldString("Cover Art (Front)", buffer, &bytes), APE_ERROR_TAG_NOT_TEXT);
    EXPECT_EQ(bytes, 0);
    Bytes file = read_file(path);
    apetag::MemorySource src(file.data(), file.size());
    std::vector<apetag::Item> items;
    ASSERT_EQ(apetag::read_items(src, apetag::locate(src, kAudio), items), APE_OK);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].value, cover);
    EXPECT_EQ(items[0].flags, apetag::kItemBinary);
}

TEST_F(TagFile, ListValuesReadAsOneText)
{
    TagPtr tag = open_tag(path, kAudio);
    ASSERT_EQ(tag->SetFieldString("Artist", "One\0Two\0\0Three\0", 15, 0), APE_OK);
    EXPECT_EQ(field(*tag, "Artist"), "One; Two; Three");
    EXPECT_EQ(field(*tag, "Artist", 6), "One") << "no dangling separator";
    EXPECT_EQ(field(*tag, "Artist", 7), "One; T");
}

TEST_F(TagFile, CutValuesNeverSplitAUtf8Character)
{
    // "aé" then a 3-byte and a 4-byte character: a c3a9 e697a5 f09f8eb5
    const std::string value = "a\xc3\xa9\xe6\x97\xa5\xf0\x9f\x8e\xb5z";
    TagPtr tag = open_tag(path, kAudio);
    ASSERT_EQ(tag->SetFieldString("Title", value.c_str(), -1, 0), APE_OK);
    const std::pair<int, std::string> cuts[] = {
        {1, ""},
        {2, "a"},
        {3, "a"},            // é would need 2
        {4, "a\xc3\xa9"},
        {5, "a\xc3\xa9"},
        {6, "a\xc3\xa9"},
        {7, "a\xc3\xa9\xe6\x97\xa5"},
        {10, "a\xc3\xa9\xe6\x97\xa5"},
        {11, "a\xc3\xa9\xe6\x97\xa5\xf0\x9f\x8e\xb5"},
        {12, value},
        {2048, value},
    };
    for (const auto& [capacity, expected] : cuts)
        EXPECT_EQ(field(*tag, "Title", capacity), expected) << "capacity " << capacity;

    char buffer[4];
    int bytes = 0;
    EXPECT_EQ(tag->GetFieldString("Title", buffer, &bytes), APE_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(bytes, 0);
    bytes = 4;
    EXPECT_EQ(tag->GetFieldString("Title", nullptr, &bytes), APE_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(tag->GetFieldString("Title", buffer, nullptr), APE_ERROR_BAD_ARGUMENT);
}

TEST_F(TagFile, InvalidFieldsAndArgumentsAreRefused)
{
    TagPtr tag = open_tag(path, kAudio);
    for (const char* key : {"", "T", "tag", "ID3", "OggS", "mp+", "Bad\x7fKey", "Tab\tKey"})
        EXPECT_EQ(tag->SetFieldString(key, "v", -1, 0), APE_ERROR_TAG_BAD_FIELD) << key;
    EXPECT_EQ(tag->SetFieldString(std::string(256, 'k').c_str(), "v", -1, 0), APE_ERROR_TAG_BAD_FIELD);
    EXPECT_EQ(tag->SetFieldString(std::string(255, 'k').c_str(), "v", -1, 0), APE_OK);
    EXPECT_EQ(tag->SetFieldString(nullptr, "v", -1, 0), APE_ERROR_TAG_BAD_FIELD);
    EXPECT_EQ(tag->SetFieldString("Title", nullptr, -1, 0), APE_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(tag->SetFieldString("Title", "v", -2, 0), APE_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(tag->SetFieldString("Title", "v", -1, 6), APE_ERROR_BAD_ARGUMENT) << "reserved type";
    EXPECT_EQ(tag->SetFieldString("Title", "v", -1, 8), APE_ERROR_BAD_ARGUMENT) << "unknown flag";
    EXPECT_EQ(tag->SetFieldString("Title", "v", -1, 1), APE_OK) << "read-only flag is stored";
    const std::string huge(apetag::kMaxTagBytes, 'x');
    EXPECT_EQ(tag->SetFieldString("Comment", huge.data(), int(huge.size()), 0), APE_ERROR_TAG_TOO_LARGE);
    EXPECT_EQ(field(*tag, "Comment"), "");
    EXPECT_EQ(tag->Save(1), APE_ERROR_BAD_ARGUMENT) << "no ID3v1 writing";
    EXPECT_EQ(read_file(path), audio);
}

TEST_F(TagFile, TagIsNeverLookedForBeforeTheAudioEnd)
{
    // A complete tag inside the "audio": found without an audio end, never with one.
    Bytes tagBytes = apetag::serialize({{"Title", "inside", 0}});
    Bytes file = concat(fake_audio(200), tagBytes);
    write_file(path, file);
    EXPECT_EQ(field(*open_tag(path, -1), "Title"), "inside");
    const int64_t audioEnd = int64_t(file.size());
    EXPECT_EQ(field(*open_tag(path, audioEnd), "Title"), "");
    EXPECT_EQ(field(*open_tag(path, audioEnd - 10), "Title"), "");
    set_fields(path, audioEnd - 1, {{"Title", "after"}});
    Bytes now = read_file(path);
    EXPECT_TRUE(std::equal(file.begin(), file.end() - 1, now.begin()));
    EXPECT_EQ(field(*open_tag(path, audioEnd - 1), "Title"), "after");
}

TEST_F(TagFile, JunkAfterTheAudioIsReplacedBySave)
{
    write_file(path, concat(audio, Bytes(77, 0xAB)));
    TagPtr tag = open_tag(path, kAudio);
    EXPECT_EQ(field(*tag, "Title"), "");
    ASSERT_EQ(tag->SetFieldString("Title", "T", -1, 0), APE_OK);
    ASSERT_EQ(tag->Save(0), APE_OK);
    Bytes file = read_file(path);
    EXPECT_EQ(file.size(), size_t(kAudio) + apetag::serialize({{"Title", "T", 0}}).size());
    ExpectAudioIntact();
}

TEST_F(TagFile, FileShorterThanItsAudioIsNotWritten)
{
    TagPtr tag = open_tag(path, kAudio + 10);
    ASSERT_EQ(tag->SetFieldString("Title", "T", -1, 0), APE_OK);
    EXPECT_EQ(tag->Save(0), APE_ERROR_TRUNCATED);
    EXPECT_EQ(read_file(path), audio);
}

TEST_F(TagFile, FileReplacedSinceReadingIsNotWritten)
{
    TagPtr tag = open_tag(path, kAudio);
    ASSERT_EQ(tag->SetFieldString("Title", "T", -1, 0), APE_OK);
    Bytes other = fake_audio(3000);
    write_file(dir.file("other"), other);
    ASSERT_EQ(rename(dir.file("other").c_str(), path.c_str()), 0);
    EXPECT_EQ(tag->Save(0), APE_ERROR_TAG_FILE_CHANGED);
    EXPECT_EQ(read_file(path), other);
}

TEST_F(TagFile, SaveBeyondTheFileSizeLimitFailsAndKeepsEverything)
{
    set_fields(path, kAudio, {{"Title", "Old"}, {"Artist", "Kept"}});
    const Bytes before = read_file(path);
    // In a child: a size limit just above the file (this holds for root as
    // well), with SIGXFSZ ignored as the tools do, and with SIGXFSZ left
    // alone, where the save must fail before it writes rather than die;
    // then without a limit.
    enum Mode { kLimitIgnored, kLimitDefault, kNoLimit };
    for (Mode mode : {kLimitIgnored, kLimitDefault, kNoLimit}) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (mode == kLimitIgnored)
                signal(SIGXFSZ, SIG_IGN);
            rlimit limit{rlim_t(before.size() + 100), rlim_t(before.size() + 100)};
            if (mode != kNoLimit && setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(100);
            CAPETag* tag = monkeys::open_file_tag(path.c_str(), kAudio, nullptr);
            tag->SetFieldString("Comment", std::string(4000, 'c').c_str(), -1, 0);
            int result = tag->Save(0);
            delete tag;
            _exit(result == APE_OK ? 0 : result == APE_ERROR_TAG_WRITE ? 1 : 2);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "mode " << mode;
        if (mode != kNoLimit) {
            EXPECT_EQ(WEXITSTATUS(status), 1) << "mode " << mode;
            EXPECT_EQ(read_file(path), before) << "a failed save changed the file";
        } else {
            EXPECT_EQ(WEXITSTATUS(status), 0);
        }
    }
    TagPtr tag = open_tag(path, kAudio);
    EXPECT_EQ(field(*tag, "Artist"), "Kept");
    EXPECT_EQ(field(*tag, "Comment", 5000), std::string(4000, 'c'));
    ExpectAudioIntact();
}

TEST_F(TagFile, ReadOnlyFileIsReadButNotWritten)
{
    set_fields(path, kAudio, {{"Title", "T"}});
    const Bytes before = read_file(path);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    // In a child, as an ordinary user when the tests run as root (root
    // writes read-only files).
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(10);
        if (access(path.c_str(), W_OK) == 0)
            _exit(11);
        CAPETag* tag = monkeys::open_file_tag(path.c_str(), kAudio, nullptr);
        char buffer[8];
        int bytes = sizeof buffer;
        tag->GetFieldString("Title", buffer, &bytes);
        if (std::strcmp(buffer, "T") != 0)
            _exit(12);
        tag->SetFieldString("Title", "U", -1, 0);
        _exit(tag->Save(0) == APE_ERROR_TAG_READ_ONLY ? 0 : 13);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 10 || WEXITSTATUS(status) == 11)
        GTEST_SKIP() << "cannot run as a user without the right to write the file";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_file(path), before);
}

TEST_F(TagFile, MissingAndOddFilesGiveAnEmptyTagThatCannotBeSaved)
{
    int error = 0;
    TagPtr missing = open_tag(dir.file("none"), -1, &error);
    EXPECT_EQ(error, APE_ERROR_SOURCE_NOT_FOUND);
    EXPECT_EQ(field(*missing, "Title"), "");
    missing->SetFieldString("Title", "T", -1, 0);
    EXPECT_EQ(missing->Save(0), APE_ERROR_SOURCE_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(dir.file("none")));

    TagPtr folder = open_tag(dir.path(), -1, &error);
    EXPECT_EQ(error, APE_ERROR_SOURCE_NOT_REGULAR);
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    TagPtr fifo = open_tag(dir.file("fifo"), -1, &error);   // must not block
    EXPECT_EQ(error, APE_ERROR_SOURCE_NOT_REGULAR);
}

TEST_F(TagFile, LibraryEntriesOpenByName)
{
    set_fields(path, -1, {{"Title", "By name"}});
    int error = -1;
    CAPETag* tag = create_capetag_2(path.c_str(), &error);
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(error, APE_OK);
    EXPECT_EQ(field(*tag, "Title"), "By name");
    destroy_capetag(tag);
    CAPETag* plain = create_capetag_1(path.c_str());
    ASSERT_NE(plain, nullptr);
    destroy_capetag(plain);

    EXPECT_EQ(create_capetag_2(dir.file("none").c_str(), &error), nullptr);
    EXPECT_EQ(error, APE_ERROR_SOURCE_NOT_FOUND);
    EXPECT_EQ(create_capetag_2(nullptr, &error), nullptr);
    EXPECT_EQ(error, APE_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(create_capetag_1(dir.path().c_str()), nullptr);
    destroy_capetag(nullptr);
}

TEST_F(TagFile, UnknownAudioEndAppendsAndKeepsFollowingBytes)
{
    // Without an audio end nothing but a found tag is ever replaced.
    set_fields(path, -1, {{"Title", "First"}});
    set_fields(path, -1, {{"Title", "Second, longer"}});
    Bytes file = read_file(path);
    EXPECT_EQ(file.size(), size_t(kAudio) + apetag::serialize({{"Title", "Second, longer", 0}}).size());
    ExpectAudioIntact();
    TagPtr tag = open_tag(path, -1);
    tag->Remove(1);
    ASSERT_EQ(tag->Save(0), APE_OK);
    EXPECT_EQ(read_file(path), audio);
}

TEST(TagBase, DefaultBodiesAreAnEmptyTagThatCannotBeSaved)
{
    CAPETag base;
    char buffer[4] = "x";
    int bytes = sizeof buffer;
    EXPECT_EQ(base.GetFieldString("Title", buffer, &bytes), APE_ERROR_TAG_NO_FIELD);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(base.SetFieldString("Title", "v", -1, 0), APE_ERROR_TAG_READ_ONLY);
    EXPECT_EQ(base.Remove(1), APE_OK);
    EXPECT_EQ(base.Save(0), APE_ERROR_TAG_WRITE);
}

} // namespace
