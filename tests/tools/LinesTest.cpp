// The exact output of Fennick, Dovrell and Tarvin, seen through copies with
// no dictionaries beside them (every text is its key, placeholders filled)
// and a fake codec library that logs what it is handed; then the argument
// rules, and the same runs with the English and Japanese dictionaries.
#include "ToolsTestSupport.h"

#include <string>
#include <vector>

namespace tools_test {
namespace {

using Lines = std::vector<std::string>;

Lines concat(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Lines banner(const std::string& program)
{
    const std::string version = program == "Fennick" ? "Ver 1.30" : "Ver 1.20";
    return {"", program + "    " + version, "Copyright (C) 2003-2026 VELMOR", ""};
}

// The library lines, the file it was loaded from last.
Lines library_lines(const suite_test::TempHome& home, const std::string& version = "Ver 1.50")
{
    return {"Fake Monkey's Audio    " + version, "Copyright (C) the test suite",
            "Components: none (a fake)",
            "@Lib_Monkeys_Audio_File " + home.LibraryFolder() + "/libMonkeysAudio.so@", ""};
}

// The usage text, the empty text after its last line end included.
Lines usage(const std::string& program)
{
    const Lines common{"  @Usage_Help -Help -?@", "  @Usage_Verbose -Verbose -V@"};
    if (program == "Fennick")
        return concat({{"@Encode_Overview Fennick@", "", "=== Usage ===", "@Encode_Cmd_Format@", "",
                        "Option (Case insensitive):", "  @Usage_Level -Level -L@",
                        "    @Usage_Level_Detail Fast F Normal N High H Extrahigh EH@"},
                       common,
                       {"", "Example:", "  Fennick Src.wav Dest.ape -Level=High", "", ""}});
    const std::string kind = program == "Dovrell" ? "Decode" : "Verify";
    return concat({{"@" + kind + "_Overview " + program + "@", "", "=== Usage ===", "@" + kind + "_Cmd_Format@",
                    "", "Option (Case insensitive):"},
                   common,
                   {""}});
}

// What a run of each program prints and hands to the library.
struct Job {
    std::string program;
    std::vector<std::string> args;
    std::string announcement;
    std::string progressKey;
    std::string success;
    std::string failure;
    std::string call;
};

const Job kJobs[] = {
    {"Fennick", {"a.wav"}, "Encode file: a.wav -> a.ape", "Encode_Progress", "@Success@", "@Err_Encode_Failed@",
     "CompressFile|a.wav|a.ape|4000|progress|0"},
    {"Dovrell", {"a.ape"}, "Decode file: a.ape -> a.wav", "Decode_Progress", "@Success@", "@Err_Decode_Failed@",
     "DecompressFile|a.ape|a.wav|progress|0"},
    {"Tarvin", {"a.ape"}, "Verify file: a.ape", "Verify_Progress", "@Verify_OK@", "@Err_Bad_APE_File@",
     "VerifyFile|a.ape|progress|0"},
};

class BareLines : public ToolTest {
protected:
    void SetUp() override { fHome.InstallFakeLibrary("complete"); }
};

TEST_F(BareLines, RunPrintsAnnouncementProgressAndSuccess)
{
    for (const Job& job : kJobs) {
        SCOPED_TRACE(job.program);
        ProgramResult r = Run(Bare(job.program), job.args, {{"FAKE_APE_PROGRESS", "0,25000,100000"}});
        EXPECT_EQ(r.status, 0);
        const std::string head = job.announcement + "\n";
        const std::string tail = "\n" + job.success + "\n";
        ASSERT_GT(r.out.size(), head.size() + tail.size()) << r.out;
        EXPECT_EQ(r.out.substr(0, head.size()), head);
        EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
        const std::string progress = r.out.substr(head.size(), r.out.size() - head.size() - tail.size());
        EXPECT_EQ(check_progress_lines(progress, job.progressKey), 100);
        // No estimate before anything is done; none left at the end.
        EXPECT_EQ(progress.find("\r@" + job.progressKey + " 0 ?@ "), 0u) << progress;
        const std::string done = "\r@" + job.progressKey + " 100 0@ ";
        EXPECT_EQ(progress.substr(progress.size() - done.size()), done);
        EXPECT_EQ(Calls(), Lines{job.call});
        std::remove((fHome / "calls.log").c_str());
    }
}

TEST_F(BareLines, LibraryFailureIsTheFailureLineAndStatusOne)
{
    for (const Job& job : kJobs) {
        SCOPED_TRACE(job.program);
        ProgramResult r = Run(Bare(job.program), job.args, {{"FAKE_APE_RESULT", "1003"}, {"FAKE_APE_PROGRESS", ""}});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, job.announcement + "\n\nERROR: " + job.failure + "\n");
        r = Run(Bare(job.program), job.args, {{"FAKE_APE_RESULT", "3005"}, {"FAKE_APE_PROGRESS", "50000"}});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out.substr(0, job.announcement.size() + 1), job.announcement + "\n");
        const std::string tail = "\nERROR: " + job.failure + "\n";
        ASSERT_GT(r.out.size(), tail.size());
        EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    }
}

TEST_F(BareLines, VerboseRunShowsBannerAndLibraryFirst)
{
    for (const Job& job : kJobs) {
        SCOPED_TRACE(job.program);
        std::vector<std::string> args{"-V"};
        args.insert(args.end(), job.args.begin(), job.args.end());
        ProgramResult r = Run(Bare(job.program), args, {{"FAKE_APE_PROGRESS", "100000"}});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(
            lines(r.out),
            concat({banner(job.program),
                    library_lines(fHome),
                    {job.announcement, "\r@" + job.progressKey + " 100 0@ ", job.success, ""}}));
    }
}

TEST_F(BareLines, UsageTextLineByLine)
{
    for (const char* program : kPrograms) {
        SCOPED_TRACE(program);
        const Lines expected = concat({banner(program), usage(program)});
        // No file at all, and every spelling of the help option.
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {}, {"-HELP"}, {"-help"}, {"-Help"}, {"-?"}, {"--help"}, {"-HELP=anything"}, {"-?", "x"}}) {
            ProgramResult r = Run(Bare(program), args);
            EXPECT_EQ(r.status, 1) << (args.empty() ? "" : args[0]);
            EXPECT_EQ(lines(r.out), expected) << (args.empty() ? "" : args[0]);
        }
        EXPECT_TRUE(Calls().empty());
    }
}

TEST_F(BareLines, HelpWithVerboseAddsTheLibraryLines)
{
    for (const char* program : kPrograms) {
        SCOPED_TRACE(program);
        const Lines expected = concat({banner(program), library_lines(fHome), usage(program)});
        for (const std::vector<std::string>& args :
             std::vector<std::vector<std::string>>{{"-V", "-HELP"}, {"-HELP", "-v", "a.wav"}, {"-verbose", "-?"}}) {
            ProgramResult r = Run(Bare(program), args);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(lines(r.out), expected) << args[0] << " " << args[1];
        }
        EXPECT_TRUE(Calls().empty());
    }
}

// Option errors come before the banner and before the library is loaded:
// no library is installed here, and none of the runs says so.
TEST_F(ToolTest, OptionErrorsComeFirst)
{
    struct Case {
        std::string program;
        std::vector<std::string> args;
        std::string out;
    };
    const Case cases[] = {
        {"Fennick", {"-LEVEL=INSANE", "a.wav"}, "ERROR: @Err_Bad_Option_Value -LEVEL=INSANE@\n"},
        {"Fennick", {"a.wav", "-LEVEL"}, "ERROR: @Err_Bad_Option_Value -LEVEL@\n"},
        {"Fennick", {"-l:", "a.wav"}, "ERROR: @Err_Bad_Option_Value -l:@\n"},
        {"Fennick", {"-V", "-L=Extra", "a.wav"}, "ERROR: @Err_Bad_Option_Value -L=Extra@\n"},
        {"Fennick", {"-HELP", "-Level=h=x"}, "ERROR: @Err_Bad_Option_Value -Level=h=x@\n"},
        {"Fennick", {"-L=F", "-L=bad", "-L=H", "a.wav"}, "ERROR: @Err_Bad_Option_Value -L=bad@\n"},
        {"Fennick", {"-x.wav"}, "ERROR: @Err_Unknown_Option -x.wav@\n"},
        {"Fennick", {"--VERBOSE", "a.wav"}, "ERROR: @Err_Unknown_Option --VERBOSE@\n"},
        {"Fennick", {"-V", "-Foo=Bar", "-Y"}, "ERROR: @Err_Unknown_Option -Foo=Bar@\n"},
        {"Fennick", {"-LEVELS=High", "a.wav"}, "ERROR: @Err_Unknown_Option -LEVELS=High@\n"},
        {"Dovrell", {"-LEVEL=HIGH", "a.ape"}, "ERROR: @Err_Unknown_Option -LEVEL=HIGH@\n"},
        {"Dovrell", {"a.ape", "-L=H"}, "ERROR: @Err_Unknown_Option -L=H@\n"},
        {"Dovrell", {"-X", "-Y"}, "ERROR: @Err_Unknown_Option -X@\n"},
        {"Dovrell", {"-song.ape"}, "ERROR: @Err_Unknown_Option -song.ape@\n"},
        {"Tarvin", {"-LEVEL=HIGH", "a.ape"}, "ERROR: @Err_Unknown_Option -LEVEL=HIGH@\n"},
        {"Tarvin", {"-V", "--Verbose"}, "ERROR: @Err_Unknown_Option --Verbose@\n"},
    };
    for (const Case& c : cases) {
        ProgramResult r = Run(Bare(c.program), c.args);
        EXPECT_EQ(r.status, 1) << c.program << " " << c.args[0];
        EXPECT_EQ(r.out, c.out) << c.program << " " << c.args[0];
    }
}

TEST_F(BareLines, LevelNamesInAnyCaseAndTheLaterLevelWins)
{
    struct Case {
        std::vector<std::string> args;
        int level;
    };
    const Case cases[] = {
        {{"a.wav"}, 4000},
        {{"-l=fast", "a.wav"}, 1000},
        {{"a.wav", "-Level:Normal"}, 2000},
        {{"-LEVEL=eh", "a.wav"}, 4000},
        {{"-L=h", "a.wav"}, 3000},
        {{"-L=F", "-L=H", "a.wav"}, 3000},
        {{"-L=H", "a.wav", "-L:f"}, 1000},
        {{"-level=ExtraHigh", "a.wav"}, 4000},
        {{"-L:n", "a.wav"}, 2000},
        {{"-lEvEl=hIgH", "a.wav"}, 3000},
        {{"-V:no", "-L=N", "a.wav"}, 2000},
    };
    for (const Case& c : cases) {
        std::remove((fHome / "calls.log").c_str());
        ProgramResult r = Run(Bare("Fennick"), c.args);
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(Calls(), Lines{"CompressFile|a.wav|a.ape|" + std::to_string(c.level) + "|progress|0"})
            << c.args[0];
    }
}

TEST_F(BareLines, SourceAndDestinationNames)
{
    struct Case {
        std::string program;
        std::vector<std::string> args;
        std::string call;  // without the progress and kill words
    };
    const Case cases[] = {
        {"Fennick", {"song.wav"}, "CompressFile|song.wav|song.ape|4000"},
        {"Fennick", {"a.wav", "b.ape", "c.ape"}, "CompressFile|a.wav|c.ape|4000"},
        {"Fennick", {"a.wav", "-L=F", "b.ape"}, "CompressFile|a.wav|b.ape|1000"},
        {"Fennick", {"my.music/song"}, "CompressFile|my.music/song|my.music/song.ape|4000"},
        {"Fennick", {"song."}, "CompressFile|song.|song.ape|4000"},
        {"Fennick", {"a.tar.gz"}, "CompressFile|a.tar.gz|a.tar.ape|4000"},
        {"Fennick", {"a=b.wav"}, "CompressFile|a=b.wav|a=b.ape|4000"},
        {"Fennick", {"song.ape"}, "CompressFile|song.ape|song.ape|4000"},
        {"Fennick", {"./-dash.wav"}, "CompressFile|./-dash.wav|./-dash.ape|4000"},
        {"Dovrell", {"song.ape"}, "DecompressFile|song.ape|song.wav"},
        {"Dovrell", {"a.ape", "b.wav", "c.wav"}, "DecompressFile|a.ape|c.wav"},
        {"Dovrell", {"dir.x/song"}, "DecompressFile|dir.x/song|dir.x/song.wav"},
        {"Dovrell", {"-V", "a.ape", "-?", "b.wav"}, ""},
        {"Tarvin", {"a.ape", "b.ape"}, "VerifyFile|b.ape"},
        {"Tarvin", {"a.ape", "-V", "b.ape", "c.ape"}, "VerifyFile|c.ape"},
    };
    for (const Case& c : cases) {
        std::remove((fHome / "calls.log").c_str());
        ProgramResult r = Run(Bare(c.program), c.args);
        if (c.call.empty()) {
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(Calls().empty());
            continue;
        }
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(Calls(), Lines{c.call + "|progress|0"}) << c.program << " " << c.args[0];
    }
}

TEST_F(ToolTest, LibraryProblemsAreReportedAndNothingIsCalled)
{
    for (const Job& job : kJobs) {
        SCOPED_TRACE(job.program);
        const std::string program = Bare(job.program);
        ProgramResult r = Run(program, job.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "ERROR: @Err_Load_Lib_Monkeys_Audio libMonkeysAudio.so@\n");
        // Even the usage text needs a usable library.
        r = Run(program, {"-HELP"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(lines(r.out), concat({banner(job.program),
                                        {"ERROR: @Err_Load_Lib_Monkeys_Audio libMonkeysAudio.so@", ""}}));

        fHome.InstallFakeLibrary("v139");
        r = Run(program, job.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "ERROR: @Err_Check_Lib_Monkeys_Audio_Version libMonkeysAudio.so@\n");
        r = Run(program, {"-V", job.args[0]});
        EXPECT_EQ(
            lines(r.out),
            concat({banner(job.program),
                    library_lines(fHome, "Ver 1.39"),
                    {"ERROR: @Err_Check_Lib_Monkeys_Audio_Version libMonkeysAudio.so@", ""}}));

        // Every program needs all eleven entries, VerifyFile included.
        fHome.InstallFakeLibrary("no_verify");
        r = Run(program, job.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "ERROR: @Err_Get_Lib_Monkeys_Audio_Entries libMonkeysAudio.so@\n");
        EXPECT_TRUE(Calls().empty());

        fHome.InstallFakeLibrary("v140");
        r = Run(program, job.args, {{"FAKE_APE_PROGRESS", ""}});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, job.announcement + "\n\n" + job.success + "\n");
        std::remove((fHome / "calls.log").c_str());
        std::remove((fHome.LibraryFolder() + "/libMonkeysAudio.so").c_str());
    }
}

// With the dictionaries beside the programs no key is left unlooked-up.
TEST_F(ToolTest, DictionariesLeaveNoKeyBehind)
{
    struct Run_ {
        std::vector<std::string> args;
        Environment env;
        const char* library;  // fake library to install, or null for none
    };
    for (const char* language : {"en", "ja"}) {
        for (const Job& job : kJobs) {
            SCOPED_TRACE(job.program + " " + language);
            const std::string file = job.args[0];
            const Run_ runs[] = {
                {{file}, {}, "complete"},
                {{"-V", file}, {{"FAKE_APE_RESULT", "1"}}, "complete"},
                {{}, {}, "complete"},
                {{"-V", "-HELP"}, {}, "complete"},
                {{"-Bogus"}, {}, nullptr},
                {{"-L=Q", file}, {}, nullptr},
                {{file}, {}, nullptr},
                {{file}, {}, "v139"},
                {{file}, {}, "no_verify"},
            };
            for (const Run_& run : runs) {
                if (run.library)
                    fHome.InstallFakeLibrary(run.library);
                else
                    std::remove((fHome.LibraryFolder() + "/libMonkeysAudio.so").c_str());
                Environment env = run.env;
                if (std::string(language) == "ja")
                    env["LANG"] = "ja_JP.UTF-8";
                ProgramResult r = Run(built_program(job.program), run.args, env);
                EXPECT_EQ(r.out.find('@'), std::string::npos) << r.out;
                EXPECT_NE(r.out, "");
            }
        }
    }
}

// Each run starts at 0 %, where no remaining time is known yet.
TEST_F(BareLines, EnglishAndJapaneseTextsOfARun)
{
    struct Case {
        std::string program;
        std::string file;
        Lines english;
        Lines japanese;
    };
    const Case cases[] = {
        {"Fennick", "a.wav", {"Encoding a.wav -> a.ape", "Encoding... 0%, ? s remaining", "Done."},
         {"エンコード: a.wav -> a.ape", "エンコード中... 0%（残り ? 秒）", "完了しました。"}},
        {"Dovrell", "a.ape", {"Decoding a.ape -> a.wav", "Decoding... 0%, ? s remaining", "Done."},
         {"デコード: a.ape -> a.wav", "デコード中... 0%（残り ? 秒）", "完了しました。"}},
        {"Tarvin", "a.ape", {"Verifying a.ape", "Verifying... 0%, ? s remaining", "The file is sound."},
         {"検証: a.ape", "検証中... 0%（残り ? 秒）", "ファイルは正常です。"}},
    };
    for (const Case& c : cases) {
        for (const bool japanese : {false, true}) {
            Environment env{{"FAKE_APE_PROGRESS", "0"}};
            if (japanese)
                env["LANG"] = "ja_JP.UTF-8";
            ProgramResult r = Run(built_program(c.program), {c.file}, env);
            const Lines& words = japanese ? c.japanese : c.english;
            EXPECT_EQ(lines(r.out), (Lines{words[0], "\r" + words[1] + " ", words[2], ""}));
        }
    }
}

} // namespace
} // namespace tools_test
