#include <StringUtils.h>

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* path;
    const char* ext;
    const char* expected;
};

TEST(StringUtils, ReextReplacesTheExtensionOfTheFinalComponentOnly)
{
    const Case cases[] = {
        {"song.wav", "ape", "song.ape"},
        {"song", "ape", "song.ape"},
        {"song.", "ape", "song.ape"},
        {"my.music/song", "ape", "my.music/song.ape"},
        {"a.tar.gz", "ape", "a.tar.ape"},
        {".hidden", "ape", ".ape"},
        {"", "ape", ".ape"},
        {"/abs/dir.x/song.WAV", "ape", "/abs/dir.x/song.ape"},
        {"dir/", "ape", "dir/.ape"},
        {"song.wav", "", "song."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(reext(c.path, c.ext), c.expected) << c.path;
}

TEST(StringUtils, AddExtLeavesAnyExistingExtension)
{
    const Case cases[] = {
        {"song", "ape", "song.ape"},
        {"song.wav", "ape", "song.wav"},
        {"dir/", "ape", "dir/.ape"},
        {"my.music/song", "ape", "my.music/song.ape"},
        {"", "ape", ".ape"},
        {"song.", "ape", "song."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(add_ext(c.path, c.ext), c.expected) << c.path;
}

TEST(StringUtils, ExtractFileExtLooksAtTheWholeText)
{
    EXPECT_EQ(extract_file_ext("a/b.wav"), "wav");
    EXPECT_EQ(extract_file_ext("a.dir/b"), "dir/b");
    EXPECT_EQ(extract_file_ext("noext"), "");
    EXPECT_EQ(extract_file_ext("trailing."), "");
    EXPECT_EQ(extract_file_ext(""), "");
    EXPECT_EQ(extract_file_ext("a.tar.gz"), "gz");
}

TEST(StringUtils, FolderPathKernelCountsFromTheLastSlash)
{
    EXPECT_EQ(extract_file_folder_path_kernel("/boot/apps/x", 1), "/boot/apps/");
    EXPECT_EQ(extract_file_folder_path_kernel("/boot/apps/x", 0), "/boot/apps");
    EXPECT_EQ(extract_file_folder_path_kernel("x", 1), "");
    EXPECT_EQ(extract_file_folder_path_kernel("/x", 1), "/");
    EXPECT_EQ(extract_file_folder_path_kernel("/x", 0), "");
    EXPECT_EQ(extract_file_folder_path_kernel("dir/", 1), "dir/");
    // A count beyond the end gives the whole text, without wrapping round.
    EXPECT_EQ(extract_file_folder_path_kernel("a/bc", 5), "a/bc");
    EXPECT_EQ(extract_file_folder_path_kernel("a/bc", 0x7fffffff), "a/bc");
    EXPECT_EQ(extract_file_folder_path_kernel("ab/c", -5), "");
}

TEST(StringUtils, ExtractFileNameAndBody)
{
    EXPECT_EQ(extract_file_name("/boot/apps/x"), "x");
    EXPECT_EQ(extract_file_name("dir/"), "");
    EXPECT_EQ(extract_file_name("x"), "x");
    EXPECT_EQ(extract_file_name(""), "");

    EXPECT_EQ(extract_file_body("a/b.c.d"), "b.c");
    EXPECT_EQ(extract_file_body("a.b/c"), "c");
    EXPECT_EQ(extract_file_body(".hidden"), "");
    EXPECT_EQ(extract_file_body("song."), "song");
    EXPECT_EQ(extract_file_body("plain"), "plain");
    EXPECT_EQ(extract_file_body("dir/"), "");
}

TEST(StringUtils, TrimRemovesOnlyBlanksAndTabs)
{
    EXPECT_EQ(trim(" \tab c\t "), "ab c");
    EXPECT_EQ(trim(""), "");
    EXPECT_EQ(trim(" \t \t"), "");
    EXPECT_EQ(trim("\nab\r"), "\nab\r");
    EXPECT_EQ(trim("x"), "x");
}

TEST(StringUtils, BytesAreNotCharacters)
{
    // A multi-byte name is split at the separators only.
    EXPECT_EQ(reext("曲/歌.wav", "ape"), "曲/歌.ape");
    EXPECT_EQ(extract_file_name("曲/歌.wav"), "歌.wav");
    EXPECT_EQ(extract_file_body("曲/歌.wav"), "歌");
}

} // namespace
