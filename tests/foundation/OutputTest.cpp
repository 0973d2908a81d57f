#include "FrameworkTestSupport.h"

#include <Common.h>
#include <Locale.h>
#include <TestSupport.h>

#include <gtest/gtest.h>

using namespace suite_test;

namespace {

const char kProgressKey[] = "@Verify_Progress %Done% %Remain%@";

std::string progress(int32 done, int64 elapsed, const char* key = kProgressKey)
{
    return captured([&] { exp_progress(key, done, elapsed); });
}

// Loads a dictionary into be_locale for one test.
class WithDictionary {
public:
    explicit WithDictionary(const std::string& content)
    {
        write_file(fDir / "T.en", content);
        be_locale->SetLanguage("en");
        be_locale->LoadLanguageFile((fDir / "T").c_str());
    }
    ~WithDictionary() { be_locale->UnloadAll(); }

private:
    TempDir fDir;
};

TEST(Progress, DonePercentAndRemainingSeconds)
{
    EXPECT_EQ(progress(50000, 30000000), "\r@Verify_Progress 50 30@ ");
    EXPECT_EQ(progress(100000, 30000000), "\r@Verify_Progress 100 0@ ");
    EXPECT_EQ(progress(33333, 10000000), "\r@Verify_Progress 33 20@ ");
    EXPECT_EQ(progress(1, 0), "\r@Verify_Progress 0 0@ ");
    // Large elapsed times stay in 64 bits.
    EXPECT_EQ(progress(50000, 4000000000000LL), "\r@Verify_Progress 50 4000000@ ");
}

TEST(Progress, NothingDoneMeansNoEstimate)
{
    EXPECT_EQ(progress(0, 5000000), "\r@Verify_Progress 0 ?@ ");
    EXPECT_EQ(progress(-7, 5000000), "\r@Verify_Progress 0 ?@ ");
    EXPECT_EQ(progress(0, 0), "\r@Verify_Progress 0 ?@ ");
    // More than complete never shows a negative time.
    EXPECT_EQ(progress(200000, 10000000), "\r@Verify_Progress 200 0@ ");
}

TEST(Progress, TextWithoutAPlaceholderShowsNoValueAndNoError)
{
    WithDictionary dictionary("@Verify_Progress %Done% %Remain%@\tVerifying %Done% %Done%\n");
    EXPECT_EQ(progress(50000, 30000000), "\rVerifying 50 50 ");
    // Two calls: each starts with a carriage return, neither ends a line.
    const std::string both = captured([] {
        exp_progress(kProgressKey, 10000, 1000000);
        exp_progress(kProgressKey, 20000, 2000000);
    });
    EXPECT_EQ(both, "\rVerifying 10 10 \rVerifying 20 20 ");
    EXPECT_EQ(both.find('\n'), std::string::npos);
}

TEST(Progress, PlaceholderValuesAreNotScannedAgain)
{
    WithDictionary dictionary("K %Done% %Remain%\t%Remain%|%Done%\n");
    EXPECT_EQ(progress(50000, 30000000, "K %Done% %Remain%"), "\r30|50 ");
}

TEST(ErrorLines, GoToStandardOutputWithTheLookedUpPrefix)
{
    EXPECT_EQ(captured([] { exp_err("message"); }), "ERROR: message\n");
    EXPECT_EQ(captured([] { exp_err_load_lib_monkeys_audio(); }),
              "ERROR: @Err_Load_Lib_Monkeys_Audio libMonkeysAudio.so@\n");
    EXPECT_EQ(captured([] { exp_err_get_lib_monkeys_audio_entries(); }),
              "ERROR: @Err_Get_Lib_Monkeys_Audio_Entries libMonkeysAudio.so@\n");
    EXPECT_EQ(captured([] { exp_err_check_lib_monkeys_audio_version(); }),
              "ERROR: @Err_Check_Lib_Monkeys_Audio_Version libMonkeysAudio.so@\n");
    EXPECT_EQ(captured([] { exp_err_bad_option_value("-L=x"); }), "ERROR: @Err_Bad_Option_Value -L=x@\n");

    WithDictionary dictionary("ERROR: \tError! \n@Err_Load_Lib_Monkeys_Audio %FileName%@\tno %FileName% here\n");
    EXPECT_EQ(captured([] { exp_err_load_lib_monkeys_audio(); }), "Error! no libMonkeysAudio.so here\n");
}

TEST(Banner, OnlyWithVerboseAndWithTheAuthorLookedUp)
{
    TOption quiet;
    EXPECT_EQ(captured([&] { exp_app_info(quiet); }), "");
    TOption verbose;
    verbose.verbose = true;
    EXPECT_EQ(captured([&] { exp_app_info(verbose); }),
              "\nTestprog    Ver 9.99\n(C) VELMOR and VELMOR\n\n");
    WithDictionary dictionary("VELMOR\tＶＥＬＭＯＲ\n");
    EXPECT_EQ(captured([&] { exp_app_info(verbose); }),
              "\nTestprog    Ver 9.99\n(C) ＶＥＬＭＯＲ and ＶＥＬＭＯＲ\n\n");
}

TEST(Usage, CommonOptionLines)
{
    EXPECT_EQ(captured([] { exp_usage_common_opt(); }),
              "  @Usage_Help -Help -?@\n  @Usage_Verbose -Verbose -V@\n");
    WithDictionary dictionary("@Usage_Help %Option1% %Option2%@\t%Option2% or %Option1%\n");
    EXPECT_EQ(captured([] { exp_usage_common_opt(); }), "  -? or -Help\n  @Usage_Verbose -Verbose -V@\n");
}

class StartupTest : public ::testing::Test {
protected:
    std::string Run(const TOption& options, int expected)
    {
        int result = 0;
        const std::string out = captured([&] { result = startup(options, 1.4f); });
        EXPECT_EQ(result, expected);
        return out;
    }

    TempHome home;
    ScopedEnv homeEnv{"HOME", home.Path().c_str()};
    UnloadAfter unload;
};

const char kBanner[] = "\nTestprog    Ver 9.99\n(C) VELMOR and VELMOR\n\n";
// The library lines, the file it was loaded from last.
std::string library_info(const TempHome& home, const std::string& version = "Ver 1.50")
{
    return "Fake Monkey's Audio    " + version +
        "\nCopyright (C) the test suite\nComponents: none (a fake)\n"
        "@Lib_Monkeys_Audio_File " +
        home.LibraryFolder() + "/libMonkeysAudio.so@\n\n";
}

TEST_F(StartupTest, QuietRunWithALibraryPrintsNothing)
{
    home.InstallFakeLibrary("complete");
    EXPECT_EQ(Run(TOption(), 0), "");
    EXPECT_GT(gAppPrivacy.lib_image, 0);
    EXPECT_TRUE(verify_file != nullptr);
}

TEST_F(StartupTest, VerboseGivesBannerThenLibraryInformation)
{
    home.InstallFakeLibrary("complete");
    TOption options;
    options.verbose = true;
    options.Calc();
    EXPECT_EQ(Run(options, 0), std::string(kBanner) + library_info(home));
}

TEST_F(StartupTest, HelpGivesBannerAndUsageButNoLibraryInformation)
{
    home.InstallFakeLibrary("complete");
    TOption options;
    options.help = true;
    options.Calc();
    EXPECT_EQ(Run(options, -1), std::string(kBanner) + "USAGE\n");
    options.verbose = options.lma_info = true;
    unload_lib_monkeys_audio(&gAppPrivacy.lib_image);
    EXPECT_EQ(Run(options, -1), std::string(kBanner) + library_info(home) + "USAGE\n");
}

TEST_F(StartupTest, HelpWithoutALibraryEndsWithTheLoadError)
{
    TOption options;
    options.help = true;
    options.Calc();
    EXPECT_EQ(Run(options, -1), std::string(kBanner) + "ERROR: @Err_Load_Lib_Monkeys_Audio libMonkeysAudio.so@\n");
    EXPECT_LT(gAppPrivacy.lib_image, 0);
}

TEST_F(StartupTest, MissingEntryIsReportedBeforeTheLibraryInformation)
{
    home.InstallFakeLibrary("no_verify");
    TOption options;
    options.verbose = true;
    options.Calc();
    EXPECT_EQ(Run(options, -1),
              std::string(kBanner) + "ERROR: @Err_Get_Lib_Monkeys_Audio_Entries libMonkeysAudio.so@\n");
}

TEST_F(StartupTest, OldLibraryIsReportedAfterTheLibraryInformation)
{
    home.InstallFakeLibrary("v139");
    TOption options;
    options.verbose = options.help = true;
    options.Calc();
    EXPECT_EQ(Run(options, -1),
              std::string(kBanner) + library_info(home, "Ver 1.39") +
                  "ERROR: @Err_Check_Lib_Monkeys_Audio_Version libMonkeysAudio.so@\n");
    unload_lib_monkeys_audio(&gAppPrivacy.lib_image);
    EXPECT_EQ(Run(TOption(), -1), "ERROR: @Err_Check_Lib_Monkeys_Audio_Version libMonkeysAudio.so@\n");
}

} // namespace
