#include "FrameworkTestSupport.h"

#include <Installation.h>
#include <TestSupport.h>
#include <UsingLibMonkeysAudio.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace suite_test;

namespace {

bool table_empty()
{
    return !create_capetag_1 && !create_capetag_2 && !destroy_capetag && !lib_monkeys_audio_components
        && !lib_monkeys_audio_copyright && !lib_monkeys_audio_name && !lib_monkeys_audio_version
        && !compress_file && !create_iapedecompress && !decompress_file && !verify_file;
}

bool table_full()
{
    return create_capetag_1 && create_capetag_2 && destroy_capetag && lib_monkeys_audio_components
        && lib_monkeys_audio_copyright && lib_monkeys_audio_name && lib_monkeys_audio_version
        && compress_file && create_iapedecompress && decompress_file && verify_file;
}

class BindingTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        unload_lib_monkeys_audio(&image);
        EXPECT_TRUE(table_empty());
    }

    // Loads the named fake from the temporary home; the load's result.
    int Load(const std::string& fake)
    {
        home.InstallFakeLibrary(fake);
        return load_lib_monkeys_audio(&image);
    }

    TempHome home;
    ScopedEnv homeEnv{"HOME", home.Path().c_str()};
    image_id image = -1;
};

TEST_F(BindingTest, OutsideAnInstallationTheOnlyPlaceIsTheUserLibraryFolder)
{
    // This test program lies in the build tree, in no installation.
    EXPECT_EQ(own_installation_prefix(), "");
    EXPECT_EQ(path_name_lib_monkeys_audio(), "");
    home.InstallFakeLibrary("complete");
    EXPECT_EQ(path_name_lib_monkeys_audio(), (home / ".local/lib/libMonkeysAudio.so").c_str());
    // A library anywhere else, even on the loader's path, is not found.
    TempHome other;
    ScopedEnv otherHome("HOME", other.Path().c_str());
    ScopedEnv libraryPath("LD_LIBRARY_PATH", (other.Path()).c_str());
    copy_file(fake_library("complete"), other / "libMonkeysAudio.so");
    EXPECT_EQ(load_lib_monkeys_audio(&image), -1);
    EXPECT_LT(image, 0);
}

TEST(Installation, KnownByTheFolderItPutsAnImageIn)
{
    const std::string app = SUITE_INSTALL_APP_DIR;
    const struct {
        std::string image;
        const char* prefix;
    } cases[] = {
        {"/opt/suite/" + app + "/Fennick/Fennick", "/opt/suite/"},
        {"/" + app + "/Fennick/Fennick", "/"},
        {"/opt/suite/" + app + "/ApePlayer/add-ons/Orvane.so", "/opt/suite/"},
        {std::string("/opt/suite/") + SUITE_INSTALL_GST_PLUGIN_DIR + "/libgstorvane.so",
         "/opt/suite/"},
        {"/opt/suite/build/apps/Fennick/Fennick", ""},
        {"/opt/suite/my" + app + "/Fennick/Fennick", ""},
        {"/opt/suite/" + app + "/Fennick", ""},
        {app + "/Fennick/Fennick", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(installation_prefix(c.image.c_str()), c.prefix) << c.image;
}

TEST_F(BindingTest, NoLibraryLeavesANegativeHandleAndUnloadDoesNothing)
{
    EXPECT_EQ(load_lib_monkeys_audio(&image), -1);
    EXPECT_LT(image, 0);
    const image_id failed = image;
    unload_lib_monkeys_audio(&image);
    EXPECT_EQ(image, failed);
    make_dirs(home.LibraryFolder() + "/libMonkeysAudio.so");
    EXPECT_EQ(load_lib_monkeys_audio(&image), -1);
    EXPECT_LT(image, 0);
}

TEST_F(BindingTest, ACompleteLibraryIsResolvedAndAccepted)
{
    ASSERT_EQ(Load("complete"), 0);
    EXPECT_GT(image, 0);
    ASSERT_EQ(get_lib_monkeys_audio_entries(image), 0);
    EXPECT_TRUE(table_full());
    EXPECT_STREQ(lib_monkeys_audio_name(), "Fake Monkey's Audio");
    EXPECT_EQ(check_lib_monkeys_audio_version(1.4f), 0);
    EXPECT_EQ(check_lib_monkeys_audio_version(1.5f), 0);
    EXPECT_EQ(check_lib_monkeys_audio_version(1.51f), -1);
    EXPECT_EQ(verify_file("x.ape", nullptr, nullptr, nullptr), 0);
    unload_lib_monkeys_audio(&image);
    EXPECT_EQ(image, -1);
    EXPECT_TRUE(table_empty());
    // Twice is harmless.
    unload_lib_monkeys_audio(&image);
    EXPECT_EQ(image, -1);
    unload_lib_monkeys_audio(nullptr);
}

TEST_F(BindingTest, ALibraryLackingOneEntryIsNeverTakenIntoUse)
{
    ASSERT_EQ(Load("no_verify"), 0);
    EXPECT_EQ(get_lib_monkeys_audio_entries(image), -1);
    EXPECT_TRUE(table_empty());
    EXPECT_EQ(check_lib_monkeys_audio_version(1.4f), -1);
}

TEST_F(BindingTest, AnEntryThatIsDataIsMissing)
{
    ASSERT_EQ(Load("verify_data"), 0);
    EXPECT_EQ(get_lib_monkeys_audio_entries(image), -1);
    EXPECT_TRUE(table_empty());
}

TEST_F(BindingTest, AFailedResolveKeepsAnEarlierCompleteTable)
{
    ASSERT_EQ(Load("complete"), 0);
    ASSERT_EQ(get_lib_monkeys_audio_entries(image), 0);
    // The loader knows a loaded library by its path: another home.
    TempHome other;
    other.InstallFakeLibrary("no_verify");
    ScopedEnv otherHome("HOME", other.Path().c_str());
    image_id second = -1;
    ASSERT_EQ(load_lib_monkeys_audio(&second), 0);
    EXPECT_EQ(get_lib_monkeys_audio_entries(second), -1);
    EXPECT_TRUE(table_full());
    EXPECT_STREQ(lib_monkeys_audio_version(), "Ver 1.50");
    unload_lib_monkeys_audio(&second);
}

TEST_F(BindingTest, VersionTextsAgainstOnePointFour)
{
    const struct {
        const char* fake;
        int expected;
    } cases[] = {
        {"complete", 0}, {"v140", 0}, {"v2", 0}, {"v139", -1}, {"vbad", -1}, {"short", -1},
    };
    for (const auto& c : cases) {
        // A home of its own each: the loader may keep a closed library.
        TempHome each;
        ScopedEnv eachHome("HOME", each.Path().c_str());
        each.InstallFakeLibrary(c.fake);
        ASSERT_EQ(load_lib_monkeys_audio(&image), 0) << c.fake;
        ASSERT_EQ(get_lib_monkeys_audio_entries(image), 0) << c.fake;
        EXPECT_EQ(check_lib_monkeys_audio_version(1.4f), c.expected) << c.fake;
        unload_lib_monkeys_audio(&image);
    }
}

TEST_F(BindingTest, VersionTextsAreReadAsDecimalNumbers)
{
    ASSERT_EQ(Load("complete"), 0);
    ASSERT_EQ(get_lib_monkeys_audio_entries(image), 0);
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"Ver 1.4", 0},      {"Ver 1.40", 0},   {"Ver 1.399999", -1}, {"Ver 1.4 beta", 0},
        {"Ver 1.41-rc", 0},  {"Ver  1.5", 0},   {"Ver +2", 0},        {"Ver 14e-1", 0},
        {"Ver 1e", -1},      {"Ver 2.", 0},     {"Ver .5", -1},       {"Ver -2", -1},
        {"Ver nan", -1},     {"Ver inf", -1},   {"Ver 0x2", -1},      {"Ver ", -1},
        {"", -1},            {"Ver", -1},       {"1.50", -1},         {"XXXX3", 0},
        {"Ver 1e999", -1},
    };
    for (const auto& c : cases) {
        ScopedEnv version("FAKE_APE_VERSION", c.text);
        EXPECT_EQ(check_lib_monkeys_audio_version(1.4f), c.expected) << '"' << c.text << '"';
    }
}

TEST(BindingVersion, NeedsAResolvedTable)
{
    EXPECT_EQ(check_lib_monkeys_audio_version(0.0f), -1);
}

TEST(BindingPath, EmptyWithoutAnyHome)
{
    ScopedEnv home("HOME", "/nonexistent-home");
    EXPECT_EQ(path_name_lib_monkeys_audio(), "");
    image_id image = 0;
    EXPECT_EQ(load_lib_monkeys_audio(&image), -1);
    EXPECT_LT(image, 0);
}

} // namespace
