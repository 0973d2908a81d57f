// The common main sequence, run as a child process with a temporary home:
// the probe program Velprobe on the framework, with and without its
// dictionaries, through links, relative paths and PATH, in two languages.
#include <TestSupport.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

using namespace suite_test;

namespace {

const std::string kProbeDir = VELPROBE_DIR;
const std::string kProbe = kProbeDir + "/Velprobe";

const char kRawBanner[] = "\nVelprobe    Ver 0.90\nCopyright (C) 2026 VELMOR\n\n";
// The library lines, the file it was loaded from last.
std::string raw_library_info(const TempHome& home, const std::string& version = "Ver 1.50")
{
    return "Fake Monkey's Audio    " + version +
        "\nCopyright (C) the test suite\nComponents: none (a fake)\n"
        "@Lib_Monkeys_Audio_File " +
        home.LibraryFolder() + "/libMonkeysAudio.so@\n\n";
}
const char kRawUsage[] =
    "@Probe_Overview Velprobe@\n"
    "\n"
    "=== Usage ===\n"
    "@Probe_Cmd_Format@\n"
    "\n"
    "Option (Case insensitive):\n"
    "  @Probe_Usage_Mode -Mode -M@\n"
    "  @Usage_Help -Help -?@\n"
    "  @Usage_Verbose -Verbose -V@\n"
    "\n"
    "Example:\n"
    "  Velprobe File.ape -Mode=Verify\n"
    "\n";
const char kRawLoadError[] = "ERROR: @Err_Load_Lib_Monkeys_Audio libMonkeysAudio.so@\n";

class MainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A copy without dictionaries beside it shows the raw keys.
        make_dirs(bare / "bin");
        copy_file(kProbe, bare / "bin/Velprobe");
        chmod((bare / "bin/Velprobe").c_str(), 0755);
    }

    ProgramResult Run(const std::string& program, std::vector<std::string> args, Environment env = {},
                      const std::string& cwd = {})
    {
        args.insert(args.begin(), program);
        Environment full = home.Env();
        for (const auto& [name, value] : env)
            full[name] = value;
        ProgramResult result = run_program(args, full, cwd);
        EXPECT_EQ(result.err, "") << "standard error must stay empty";
        EXPECT_EQ(result.signal, 0);
        return result;
    }
    ProgramResult RunRaw(std::vector<std::string> args, Environment env = {})
    {
        return Run(bare / "bin/Velprobe", std::move(args), std::move(env));
    }

    TempHome home;
    TempDir bare;
};

TEST_F(MainTest, VerboseRunPrintsBannerAndLibraryBeforeItsWork)
{
    home.InstallFakeLibrary("complete");
    const ProgramResult r = RunRaw({"-V", "a.ape"});
    EXPECT_EQ(r.out,
              std::string(kRawBanner) + raw_library_info(home) +
                  "Probe file: a.ape\n@Probe_Done@\n");
    EXPECT_EQ(r.status, 0);
    const ProgramResult quiet = RunRaw({"a.ape"});
    EXPECT_EQ(quiet.out, "Probe file: a.ape\n@Probe_Done@\n");
    EXPECT_EQ(quiet.status, 0);
}

TEST_F(MainTest, HelpPrintsBannerAndUsageAndFails)
{
    home.InstallFakeLibrary("complete");
    for (const char* option : {"-HELP", "-help", "-?", "--HELP", "-Help=x"}) {
        const ProgramResult r = RunRaw({option, "a.ape"});
        EXPECT_EQ(r.out, std::string(kRawBanner) + kRawUsage) << option;
        EXPECT_EQ(r.status, 1) << option;
    }
    // No file given is a usage request too.
    const ProgramResult none = RunRaw({});
    EXPECT_EQ(none.out, std::string(kRawBanner) + kRawUsage);
    EXPECT_EQ(none.status, 1);
    // Help and verbose together: all three.
    const ProgramResult all = RunRaw({"-V", "-?"});
    EXPECT_EQ(all.out, std::string(kRawBanner) + raw_library_info(home) + kRawUsage);
    EXPECT_EQ(all.status, 1);
}

TEST_F(MainTest, WithoutALibraryEvenHelpEndsWithTheLoadError)
{
    const ProgramResult help = RunRaw({"-HELP"});
    EXPECT_EQ(help.out, std::string(kRawBanner) + kRawLoadError);
    EXPECT_EQ(help.status, 1);
    const ProgramResult work = RunRaw({"a.ape"});
    EXPECT_EQ(work.out, kRawLoadError);
    EXPECT_EQ(work.status, 1);
}

TEST_F(MainTest, LibraryErrors)
{
    home.InstallFakeLibrary("no_verify");
    ProgramResult r = RunRaw({"-V", "a.ape"});
    EXPECT_EQ(r.out, std::string(kRawBanner) + "ERROR: @Err_Get_Lib_Monkeys_Audio_Entries libMonkeysAudio.so@\n");
    EXPECT_EQ(r.status, 1);

    home.InstallFakeLibrary("v139");
    r = RunRaw({"-V", "a.ape"});
    EXPECT_EQ(r.out,
              std::string(kRawBanner) + raw_library_info(home, "Ver 1.39") +
                  "ERROR: @Err_Check_Lib_Monkeys_Audio_Version libMonkeysAudio.so@\n");
    EXPECT_EQ(r.status, 1);

    home.InstallFakeLibrary("vbad");
    r = RunRaw({"a.ape"});
    EXPECT_EQ(r.out, "ERROR: @Err_Check_Lib_Monkeys_Audio_Version libMonkeysAudio.so@\n");
    EXPECT_EQ(r.status, 1);

    home.InstallFakeLibrary("v140");
    r = RunRaw({"a.ape"});
    EXPECT_EQ(r.status, 0);
}

TEST_F(MainTest, OptionErrorsComeBeforeBannerAndLibrary)
{
    // No library is installed: an option error is all there is to see,
    // because the library is never loaded.
    ProgramResult r = RunRaw({"-V", "-Foo=Bar", "-Other", "a.ape"});
    EXPECT_EQ(r.out, "ERROR: @Err_Unknown_Option -Foo=Bar@\n");
    EXPECT_EQ(r.status, 1);
    r = RunRaw({"-"});
    EXPECT_EQ(r.out, "ERROR: @Err_Unknown_Option -@\n");
    EXPECT_EQ(r.status, 1);
    r = RunRaw({"--VERBOSE"});
    EXPECT_EQ(r.out, "ERROR: @Err_Unknown_Option --VERBOSE@\n");
    r = RunRaw({"a.ape", "-Mode=Bogus", "-Foo"});
    EXPECT_EQ(r.out, "ERROR: @Err_Bad_Option_Value -Mode=Bogus@\n");
    EXPECT_EQ(r.status, 1);
    // A lone "-" after the help option still stops the run.
    r = RunRaw({"-HELP", "-"});
    EXPECT_EQ(r.out, "ERROR: @Err_Unknown_Option -@\n");
}

TEST_F(MainTest, FileArgumentsMayHoldSeparators)
{
    home.InstallFakeLibrary("complete");
    const ProgramResult r = RunRaw({"-m:print", "a=b:c.ape"});
    EXPECT_EQ(r.out, "Probe file: a=b:c.ape\n@Probe_Done@\n");
    EXPECT_EQ(r.status, 0);
}

TEST_F(MainTest, WorkFailurePrintsItsReasonAndEndsWithStatusOne)
{
    home.InstallFakeLibrary("complete");
    const ProgramResult r = RunRaw({"-MODE=fail", "a.ape"});
    EXPECT_EQ(r.out, "Probe file: a.ape\nERROR: @Probe_Failed@\n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(MainTest, ProgressLineIsRewrittenInPlace)
{
    home.InstallFakeLibrary("complete");
    const ProgramResult r = RunRaw({"-M=verify", "a.ape"}, {{"FAKE_APE_PROGRESS", "0,50000,100000"}});
    EXPECT_EQ(r.out, "Probe file: a.ape\n"
                     "\r@Verify_Progress 0 ?@ \r@Verify_Progress 50 0@ \r@Verify_Progress 100 0@ \n"
                     "@Probe_Done@\n");
    EXPECT_EQ(r.status, 0);
    const ProgramResult failed =
        RunRaw({"-M=verify", "a.ape"}, {{"FAKE_APE_PROGRESS", "100000"}, {"FAKE_APE_RESULT", "3005"}});
    EXPECT_EQ(failed.out, "Probe file: a.ape\n\r@Verify_Progress 100 0@ \nERROR: @Probe_Failed@\n");
    EXPECT_EQ(failed.status, 1);
}

TEST_F(MainTest, DictionariesBesideTheProgramGiveEnglishTexts)
{
    home.InstallFakeLibrary("complete");
    const ProgramResult r = Run(kProbe, {"-HELP"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.find('@'), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  -Help, -?: show this help\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Options (case-insensitive):\n"), std::string::npos) << r.out;
    // The program's own dictionary, loaded second, overrides the shared one.
    EXPECT_NE(r.out.find("\nExample (probe):\n"), std::string::npos) << r.out;
    const ProgramResult e = Run(kProbe, {"-x"});
    EXPECT_EQ(e.out, "ERROR: Unknown option: -x\n");
}

TEST_F(MainTest, JapaneseWithLang)
{
    home.InstallFakeLibrary("complete");
    ProgramResult r = Run(kProbe, {"-x"}, {{"LANG", "ja_JP.UTF-8"}});
    EXPECT_EQ(r.out, "エラー: 不明なオプションです: -x\n");
    r = Run(kProbe, {"-HELP"}, {{"LANG", "ja_JP.UTF-8"}});
    EXPECT_NE(r.out.find("\nVelprobe    Ver 0.90\nCopyright (C) 2026 ＶＥＬＭＯＲ\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("=== 使い方 ===\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  -Help, -?: このヘルプを表示します\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('@'), std::string::npos) << r.out;
    // LC_ALL wins over LANG.
    r = Run(kProbe, {"-x"}, {{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", "en_US.UTF-8"}});
    EXPECT_EQ(r.out, "ERROR: Unknown option: -x\n");
    // A language without dictionaries falls back to English.
    r = Run(kProbe, {"-x"}, {{"LANG", "fr_FR.UTF-8"}});
    EXPECT_EQ(r.out, "ERROR: Unknown option: -x\n");
}

TEST_F(MainTest, FindsItsFolderThroughLinksRelativePathsAndPath)
{
    home.InstallFakeLibrary("complete");
    const std::string expected = "ExePath: " + kProbeDir + "/\nExeName: Velprobe\n";
    TempDir elsewhere;
    make_symlink(kProbe, elsewhere / "probe-link");
    make_dirs(elsewhere / "deeper");
    make_symlink("../probe-link", elsewhere / "deeper/second-link");

    ProgramResult r = Run(elsewhere / "probe-link", {"-M=where", "x"});
    EXPECT_EQ(r.out, expected);
    r = Run(elsewhere / "deeper/second-link", {"-x"});
    EXPECT_EQ(r.out, "ERROR: Unknown option: -x\n");

    r = Run("./Velprobe", {"-M=where", "x"}, {}, kProbeDir);
    EXPECT_EQ(r.out, expected);
    r = Run("../Velprobe", {"-M=where", "x"}, {}, kProbeDir + "/Language");
    EXPECT_EQ(r.out, expected);
    r = Run("Velprobe/Velprobe", {"-M=where", "x"}, {}, kProbeDir + "/..");
    EXPECT_EQ(r.out, expected);
    r = Run("./probe-link", {"-x"}, {}, elsewhere.Path());
    EXPECT_EQ(r.out, "ERROR: Unknown option: -x\n");

    r = Run("probe-link", {"-M=where", "x"}, {{"PATH", elsewhere.Path() + ":/usr/bin:/bin"}},
            elsewhere / "deeper");
    EXPECT_EQ(r.out, expected);
}

} // namespace
