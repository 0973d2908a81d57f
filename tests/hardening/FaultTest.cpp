// Faults made for real while the programs work: a file-size limit (a full
// disk, for root too), SIGKILL and SIGINT part-way, two taggers at once.
// Whatever happens, nothing is lost: no partial output, the source and the
// audio whole, a tag old or new but never broken.
#include "HardeningSupport.h"

#include <signal.h>

using namespace suite_test;

namespace hardening {
namespace {

class FaultTest : public HardeningTest {
protected:
    void SetUp() override
    {
        fWave = make_wave(sanitizer_run() ? 2.0 : 6.0);
        write_file(InWork("a.wav"), fWave);
    }

    // a.ape beside a.wav, made and checked by the programs themselves.
    void Encode()
    {
        ProgramResult made = Run("Fennick", {"-L=N", "a.wav", "a.ape"});
        ASSERT_EQ(made.status, 0) << made.out;
    }

    // The audio of an APE file decodes back to the WAVE file it came from.
    void ExpectDecodesToOriginal(const std::string& ape)
    {
        ProgramResult decoded = Run("Dovrell", {ape, "check.wav"});
        EXPECT_EQ(decoded.status, 0) << decoded.out;
        if (decoded.status == 0) {
            EXPECT_TRUE(read_file(InWork("check.wav")) == fWave) << "audio differs";
        }
        ::unlink(InWork("check.wav").c_str());
    }

    std::string Title(const std::string& ape)
    {
        ProgramResult shown = Run("Lumbrel", {ape});
        EXPECT_EQ(shown.status, 0) << shown.out;
        for (const std::string& line : split_lines(shown.out))
            if (line.rfind("Title: ", 0) == 0)
                return line.substr(7);
        ADD_FAILURE() << "no title line: " << shown.out;
        return {};
    }

    std::string fWave;
};

// A failure line ends the output and the status is 1.
void expect_failure(const ProgramResult& result)
{
    EXPECT_EQ(result.status, 1) << result.out;
    EXPECT_EQ(result.signal, 0);
    const std::vector<std::string> lines = split_lines(result.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("ERROR: ", 0), 0u) << result.out;
}

TEST_F(FaultTest, EncodeAndDecodePastAFileSizeLimit)
{
    const Limits small{fWave.size() / 8, 0};
    expect_failure(Run("Fennick", {"a.wav", "a.ape"}, small));
    EXPECT_EQ(list_dir(Work()), std::vector<std::string>{"a.wav"});
    EXPECT_TRUE(read_file(InWork("a.wav")) == fWave);

    Encode();
    const std::string ape = read_file(InWork("a.ape"));
    expect_failure(Run("Dovrell", {"a.ape", "b.wav"}, small));
    EXPECT_EQ(list_dir(Work()), (std::vector<std::string>{"a.ape", "a.wav"}));
    EXPECT_TRUE(read_file(InWork("a.ape")) == ape);

    // An existing destination keeps its contents, limit or not.
    write_file(InWork("old.wav"), "old contents");
    expect_failure(Run("Dovrell", {"a.ape", "old.wav"}, small));
    EXPECT_EQ(read_file(InWork("old.wav")), "old contents");
    write_file(InWork("old.ape"), "old contents");
    expect_failure(Run("Fennick", {"a.wav", "old.ape"}, small));
    EXPECT_EQ(read_file(InWork("old.ape")), "old contents");
}

TEST_F(FaultTest, TagSavePastAFileSizeLimitLeavesTheFileAsItWas)
{
    Encode();
    ASSERT_EQ(Run("Lumbrel", {"a.ape", "-T=Old title", "-A=Someone"}).status, 0);
    const std::string before = read_file(InWork("a.ape"));
    const std::string longText(1500, 'x');
    ProgramResult failed = Run("Lumbrel", {"a.ape", "-T=" + longText, "-C=" + longText},
                               Limits{before.size(), 0});
    EXPECT_EQ(failed.status, 1) << failed.out;
    EXPECT_NE(failed.out.find("ERROR: "), std::string::npos) << failed.out;
    EXPECT_TRUE(read_file(InWork("a.ape")) == before) << "a failed save changed the file";
    EXPECT_EQ(Run("Tarvin", {"a.ape"}).status, 0);
    EXPECT_EQ(Title("a.ape"), "Old title");
    ExpectDecodesToOriginal("a.ape");
}

// A full disk (ENOSPC on a small tmpfs), with and without unnamed files
// (O_TMPFILE, taken away by the fault shim as on file systems that lack
// it): encode and decode fail with nothing left behind, not even a hidden
// temporary file, and a failed tag save leaves the file as it was. Without
// unnamed files, the outputs still appear whole where there is room.
class FullDiskTest : public FaultTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        FaultTest::SetUp();
        if (!GetParam()) {
            add_fault_shim(fExtraEnv);
            fExtraEnv["SUITE_FAULT_NO_TMPFILE"] = "1";
        }
    }
};

TEST_P(FullDiskTest, NothingIsLeftAndNothingIsLost)
{
    const unsigned long long small = 64 * 1024;
    SmallDiskRun encode = RunOnSmallDisk("Fennick", {InWork("a.wav"), "a.ape"}, small);
    if (!encode.mounted)
        GTEST_SKIP() << "no right to mount a tmpfs here";
    expect_failure(encode.result);
    EXPECT_TRUE(encode.left.empty()) << encode.left.front();

    Encode();   // on the real disk: the outputs appear whole there
    ExpectDecodesToOriginal("a.ape");
    EXPECT_EQ(list_dir(Work()), (std::vector<std::string>{"a.ape", "a.wav", "disk"}));
    SmallDiskRun decode = RunOnSmallDisk("Dovrell", {InWork("a.ape"), "b.wav"}, small);
    expect_failure(decode.result);
    EXPECT_TRUE(decode.left.empty()) << decode.left.front();

    // The APE file fills its disk to the page; a tag of four long fields
    // (2047 bytes each at most) does not fit in what is left.
    const std::string ape = read_file(InWork("a.ape"));
    const unsigned long long full = (ape.size() + 4095) / 4096 * 4096;
    const std::string text(2047, 'x');
    SmallDiskRun save = RunOnSmallDisk(
        "Lumbrel", {"a.ape", "-T=" + text, "-A=" + text, "-L=" + text, "-C=" + text}, full,
        {"a.ape"}, "a.ape");
    EXPECT_EQ(save.result.status, 1) << save.result.out;
    EXPECT_NE(save.result.out.find("ERROR: "), std::string::npos) << save.result.out;
    EXPECT_EQ(save.left, std::vector<std::string>{"a.ape"});
    EXPECT_TRUE(std::string(save.kept.begin(), save.kept.end()) == ape) << "a failed save changed the file";
}

INSTANTIATE_TEST_SUITE_P(UnnamedFiles, FullDiskTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Present" : "Absent"; });

// Out of memory (a small address space): each run either does its work
// exactly or ends with the failure line and leaves no output; the smallest
// limit makes the codec fail, the largest lets it work.
TEST_F(FaultTest, OutOfMemoryEndsInAClearFailure)
{
    if (sanitizer_run())
        GTEST_SKIP() << "the sanitizers reserve more address space than any limit here";
    Encode();
    const std::string ape = read_file(InWork("a.ape"));
    int failures = 0;
    for (unsigned long long mib : {6ull, 10ull, 14ull, 256ull}) {
        for (const auto& [program, output] : {std::pair{"Fennick", "m.ape"}, std::pair{"Dovrell", "m.wav"}}) {
            const std::string source = std::string(program) == "Fennick" ? "a.wav" : "a.ape";
            ProgramResult r = Run(program, {source, output}, Limits{0, mib});
            SCOPED_TRACE(std::string(program) + " in " + std::to_string(mib) + " MiB");
            if (r.status == 0) {
                if (std::string(program) == "Fennick")
                    EXPECT_EQ(Run("Tarvin", {"m.ape"}).status, 0);
                else
                    EXPECT_TRUE(read_file(InWork("m.wav")) == fWave);
                ::unlink(InWork(output).c_str());
            } else {
                expect_failure(r);
                failures++;
            }
            EXPECT_EQ(list_dir(Work()), (std::vector<std::string>{"a.ape", "a.wav"}));
            if (mib == 6)
                EXPECT_NE(r.status, 0);
            if (mib == 256)
                EXPECT_EQ(r.status, 0) << r.out;
        }
    }
    EXPECT_GE(failures, 2);
    EXPECT_TRUE(read_file(InWork("a.ape")) == ape);
}

// Runs the program part-way and signals it at several points of its run;
// afterwards the folder holds what it held (or, when the run finished
// first, also the complete output) and the source is unchanged.
class KillTest : public FaultTest, public ::testing::WithParamInterface<int> {};

TEST_P(KillTest, EncodeAndDecodeLeaveNoPartialOutput)
{
    const int sig = GetParam();
    Encode();
    const std::string ape = read_file(InWork("a.ape"));
    const long encodeTime = TimeOfRun("Fennick", {"-L=EH", "a.wav", "t.ape"});
    ::unlink(InWork("t.ape").c_str());
    const long decodeTime = TimeOfRun("Dovrell", {"a.ape", "t.wav"});
    ::unlink(InWork("t.wav").c_str());
    const std::vector<std::string> before = list_dir(Work());

    int interrupted = 0;
    for (int step = 1; step <= 4; step++) {
        Ending encode = RunAndSignal("Fennick", {"-L=EH", "a.wav", "out.ape"},
                                     encodeTime * step / 5, sig);
        // A signal that comes after the output was linked in (while the
        // program ends) finds it complete.
        if (encode.status == 0 || file_exists(InWork("out.ape"))) {
            EXPECT_EQ(Run("Tarvin", {"out.ape"}).status, 0);
            ::unlink(InWork("out.ape").c_str());
        }
        if (encode.status != 0) {
            interrupted++;
            EXPECT_TRUE(encode.signalled ? encode.signal == sig : encode.status == 1)
                << "signal " << encode.signal << " status " << encode.status;
        }
        EXPECT_EQ(list_dir(Work()), before) << "encode, step " << step;

        Ending decode = RunAndSignal("Dovrell", {"a.ape", "out.wav"}, decodeTime * step / 5, sig);
        if (decode.status == 0 || file_exists(InWork("out.wav"))) {
            EXPECT_TRUE(read_file(InWork("out.wav")) == fWave);
            ::unlink(InWork("out.wav").c_str());
        }
        if (decode.status != 0) {
            interrupted++;
            EXPECT_TRUE(decode.signalled ? decode.signal == sig : decode.status == 1)
                << "signal " << decode.signal << " status " << decode.status;
        }
        EXPECT_EQ(list_dir(Work()), before) << "decode, step " << step;
    }
    EXPECT_TRUE(read_file(InWork("a.wav")) == fWave);
    EXPECT_TRUE(read_file(InWork("a.ape")) == ape);
    EXPECT_GT(interrupted, 0) << "no run was caught part-way";
}

TEST_P(KillTest, TagSaveKeepsTheAudioAndAWholeTag)
{
    const int sig = GetParam();
    Encode();
    ASSERT_EQ(Run("Lumbrel", {"a.ape", "-T=Old title"}).status, 0);
    const std::string longText(2000, 'y');
    const std::vector<std::string> args = {"a.ape", "-T=New title", "-C=" + longText,
                                           "-A=" + longText, "-L=" + longText};
    const long saveTime = TimeOfRun("Lumbrel", args);
    ASSERT_EQ(Run("Lumbrel", {"a.ape", "-REMOVEALL", "-T=Old title"}).status, 0);
    const std::vector<std::string> before = list_dir(Work());

    const int steps = sanitizer_run() ? 6 : 16;
    for (int step = 0; step < steps; step++) {
        RunAndSignal("Lumbrel", args, saveTime * step / steps, sig);
        EXPECT_EQ(list_dir(Work()), before);
        // Old tag, new tag, or (killed between the two) none; never a mix.
        const std::string title = Title("a.ape");
        EXPECT_TRUE(title == "Old title" || title == "New title" || title.empty()) << "title " << title;
        ExpectDecodesToOriginal("a.ape");
        ASSERT_EQ(Run("Lumbrel", {"a.ape", "-REMOVEALL", "-T=Old title"}).status, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, KillTest, ::testing::Values(SIGKILL, SIGINT),
                         [](const auto& info) { return info.param == SIGKILL ? "KILL" : "INT"; });

TEST_F(FaultTest, TwoTaggersAtOnceLeaveOneWholeVersion)
{
    Encode();
    const std::vector<std::string> first = {"a.ape", "-T=First", "-A=One", "-Y=2001", "-C=" + std::string(900, '1')};
    const std::vector<std::string> second = {"a.ape", "-T=Second", "-A=Two", "-Y=2002", "-C=" + std::string(300, '2')};
    const int rounds = sanitizer_run() ? 8 : 30;
    for (int round = 0; round < rounds; round++) {
        const pid_t a = Start("Lumbrel", first);
        const pid_t b = Start("Lumbrel", second);
        const Ending endA = Wait(a), endB = Wait(b);
        EXPECT_FALSE(endA.signalled || endB.signalled);
        ProgramResult shown = Run("Lumbrel", {"a.ape"});
        ASSERT_EQ(shown.status, 0) << shown.out;
        const bool isFirst = shown.out.find("Title: First\nArtist: One\n") != std::string::npos
                             && shown.out.find("Year: 2001\n") != std::string::npos
                             && shown.out.find(std::string(900, '1')) != std::string::npos;
        const bool isSecond = shown.out.find("Title: Second\nArtist: Two\n") != std::string::npos
                              && shown.out.find("Year: 2002\n") != std::string::npos
                              && shown.out.find(std::string(300, '2') + "\n") != std::string::npos;
        EXPECT_TRUE(isFirst != isSecond) << "round " << round << ":\n" << shown.out;
        // The version left is one whose writer said it saved.
        if (isFirst) {
            EXPECT_EQ(endA.status, 0);
        }
        if (isSecond) {
            EXPECT_EQ(endB.status, 0);
        }
        EXPECT_EQ(Run("Tarvin", {"a.ape"}).status, 0);
        if (HasFailure())
            break;
    }
    ExpectDecodesToOriginal("a.ape");
}

} // namespace
} // namespace hardening
