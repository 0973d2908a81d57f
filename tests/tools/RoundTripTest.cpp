// Fennick, Tarvin and Dovrell on real audio with the real codec library:
// round trips at every level, and the failures a user meets (a missing
// source, a damaged file, an existing destination, the source named as its
// own destination), each reported with status 1 and nothing lost.
#include "ToolsTestSupport.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace tools_test {
namespace {

using namespace suite_test;

class RealCodec : public ToolTest {
protected:
    static void TearDownTestSuite() { sSamples.reset(); }

    // A sample made by the main job's generator, on first use (each test
    // may run in a process of its own).
    static std::string Sample(const std::string& name)
    {
        if (!sSamples)
            sSamples = std::make_unique<TempDir>("tools-samples");
        const std::string path = *sSamples / name;
        if (file_exists(path))
            return path;
        std::vector<std::string> args{"/usr/bin/python3", TOOLS_SAMPLE_SCRIPT, path, "--seconds", "1"};
        if (name == "mono8.wav")
            args.insert(args.end(), {"--channels", "1", "--bits", "8", "--rate", "11025"});
        else if (name == "hires24.wav")
            args.insert(args.end(), {"--bits", "24", "--rate", "96000"});
        ProgramResult r = run_program(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return path;
    }

    void SetUp() override { fHome.InstallLibrary(built_library()); }

    // Encodes, verifies and decodes source; expects the decoded file to be
    // the source byte for byte.
    void RoundTrip(const std::string& source, const std::string& level)
    {
        SCOPED_TRACE(source + " " + level);
        const std::string ape = InWork("rt-" + level + ".ape");
        const std::string wav = InWork("rt-" + level + ".wav");
        ProgramResult r = Run(built_program("Fennick"), {"-L=" + level, source, ape});
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(lines(r.out).back(), "");
        EXPECT_EQ(lines(r.out).end()[-2], "Done.");
        r = Run(built_program("Tarvin"), {ape});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(lines(r.out).end()[-2], "The file is sound.");
        r = Run(built_program("Dovrell"), {ape, wav});
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(lines(r.out).end()[-2], "Done.");
        EXPECT_TRUE(read_file(wav) == read_file(source)) << "the decoded file differs";
        EXPECT_LT(read_file(ape).size(), read_file(source).size());
    }

    // An APE file of the sample, in the work folder.
    std::string Encoded(const std::string& name)
    {
        const std::string ape = InWork(name);
        ProgramResult r = Run(built_program("Fennick"), {"-L=F", Sample("sample.wav"), ape});
        EXPECT_EQ(r.status, 0) << r.out;
        return ape;
    }

    // The last line of a run that failed.
    static std::string FailureLine(const ProgramResult& r)
    {
        const std::vector<std::string> all = lines(r.out);
        return all.size() >= 2 ? all.end()[-2] : std::string();
    }

    static std::unique_ptr<TempDir> sSamples;
};

std::unique_ptr<TempDir> RealCodec::sSamples;

const char kEncodeFailed[] =
    "ERROR: Encoding failed; nothing was written. The source must be a readable PCM WAVE file, the destination a name that no file has yet (an existing file is never replaced), on a disk with room.";
const char kDecodeFailed[] =
    "ERROR: Decoding failed; nothing was written. The source must be a whole APE file of this suite (APE files of other encoders are refused), the destination a name that no file has yet (an existing file is never replaced), on a disk with room.";
const char kBadApe[] =
    "ERROR: The file is damaged or cannot be read, or it is not an APE file of this suite (APE files of other encoders are refused).";

TEST_F(RealCodec, EveryLevelRoundTrips)
{
    for (const char* level : {"Fast", "N", "high", "EH"})
        RoundTrip(Sample("sample.wav"), level);
}

TEST_F(RealCodec, OtherSampleFormatsRoundTrip)
{
    RoundTrip(Sample("mono8.wav"), "H");
    RoundTrip(Sample("hires24.wav"), "EH");
}

TEST_F(RealCodec, RecordedAudioRoundTrips)
{
    const std::string flac = "/usr/share/sonic-pi/samples/guit_e_slide.flac";
    if (!file_exists(flac) || run_program({"sox", "--version"}).status != 0)
        GTEST_SKIP() << "needs sox and sonic-pi-samples (scripts/packages.txt)";
    const std::string wav = InWork("guitar.wav");
    ASSERT_EQ(run_program({"sox", "-D", "-q", flac, "-r", "44100", "-b", "16", "-c", "2", wav}).status, 0);
    RoundTrip(wav, "High");
}

// The progress of the real library, seen without dictionaries: rising to
// exactly one 100, with the line end only after it.
TEST_F(RealCodec, ProgressLineOfTheRealLibrary)
{
    const std::string ape = InWork("p.ape");
    struct Step {
        std::string program;
        std::vector<std::string> args;
        std::string announcement;
        std::string key;
        std::string success;
    };
    const Step steps[] = {
        {"Fennick", {Sample("sample.wav"), ape}, "Encode file: " + Sample("sample.wav") + " -> " + ape,
         "Encode_Progress", "@Success@"},
        {"Tarvin", {ape}, "Verify file: " + ape, "Verify_Progress", "@Verify_OK@"},
        {"Dovrell", {ape, InWork("p.wav")}, "Decode file: " + ape + " -> " + InWork("p.wav"), "Decode_Progress",
         "@Success@"},
    };
    for (const Step& step : steps) {
        ProgramResult r = Run(Bare(step.program), step.args);
        ASSERT_EQ(r.status, 0) << r.out;
        const std::vector<std::string> all = lines(r.out);
        ASSERT_EQ(all.size(), 4u) << r.out;
        EXPECT_EQ(all[0], step.announcement);
        EXPECT_EQ(check_progress_lines(all[1], step.key), 100);
        const std::string done = "\r@" + step.key + " 100 0@ ";
        EXPECT_EQ(all[1].find(done), all[1].size() - done.size()) << "one 100, at the end";
        EXPECT_EQ(all[2], step.success);
    }
}

TEST_F(RealCodec, MissingSource)
{
    ProgramResult r = Run(built_program("Fennick"), {"nope.wav"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FailureLine(r), kEncodeFailed);
    EXPECT_FALSE(file_exists(InWork("nope.ape")));

    r = Run(built_program("Dovrell"), {"nope.ape"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FailureLine(r), kDecodeFailed);
    EXPECT_FALSE(file_exists(InWork("nope.wav")));

    r = Run(built_program("Tarvin"), {"nope.ape"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FailureLine(r), kBadApe);
}

TEST_F(RealCodec, DamagedFilesAreRefusedWithNoOutput)
{
    const std::string good = read_file(Encoded("good.ape"));
    ASSERT_GT(good.size(), 1000u);
    std::string flipped = good;
    flipped[flipped.size() / 2] ^= 0x5A;
    const std::string damaged[][2] = {
        {"flipped.ape", flipped},
        {"truncated.ape", good.substr(0, good.size() / 2)},
        {"header-only.ape", good.substr(0, 40)},
        {"empty.ape", ""},
        {"wave.ape", read_file(Sample("mono8.wav"))},
        // Another APE encoder's file: recognised and refused, like the rest.
        {"other-encoder.ape", std::string("MAC \x96\x0f\0\0", 8) + good.substr(8)},
    };
    for (const auto& [name, content] : damaged) {
        SCOPED_TRACE(name);
        write_file(InWork(name), content);
        ProgramResult r = Run(built_program("Tarvin"), {name});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(FailureLine(r), kBadApe);
        r = Run(built_program("Dovrell"), {name, "out.wav"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(FailureLine(r), kDecodeFailed);
        EXPECT_FALSE(file_exists(InWork("out.wav")));
        EXPECT_EQ(read_file(InWork(name)), content);
    }
}

TEST_F(RealCodec, AnExistingDestinationIsNeverReplaced)
{
    copy_file(Sample("sample.wav"), InWork("s.wav"));
    write_file(InWork("s.ape"), "keep me");
    ProgramResult r = Run(built_program("Fennick"), {"s.wav"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FailureLine(r), kEncodeFailed);
    EXPECT_EQ(read_file(InWork("s.ape")), "keep me");
    EXPECT_TRUE(read_file(InWork("s.wav")) == read_file(Sample("sample.wav")));

    const std::string ape = Encoded("e.ape");
    const std::string before = read_file(ape);
    write_file(InWork("e.wav"), "keep me too");
    r = Run(built_program("Dovrell"), {"e.ape"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FailureLine(r), kDecodeFailed);
    EXPECT_EQ(read_file(InWork("e.wav")), "keep me too");
    EXPECT_TRUE(read_file(ape) == before);
}

TEST_F(RealCodec, TheSourceIsNeverItsOwnDestination)
{
    copy_file(Sample("sample.wav"), InWork("s.wav"));
    const std::string wave = read_file(InWork("s.wav"));
    ProgramResult r = Run(built_program("Fennick"), {"s.wav", "s.wav"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FailureLine(r), kEncodeFailed);
    EXPECT_TRUE(read_file(InWork("s.wav")) == wave);
    // The same file through another name.
    make_symlink("s.wav", InWork("link.ape"));
    r = Run(built_program("Fennick"), {"s.wav", "link.ape"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(read_file(InWork("s.wav")) == wave);

    // An APE file given to the encoder names itself as the destination.
    const std::string ape = Encoded("x.ape");
    const std::string before = read_file(ape);
    r = Run(built_program("Fennick"), {"x.ape"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(read_file(ape) == before);
    r = Run(built_program("Dovrell"), {"x.ape", "x.ape"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FailureLine(r), kDecodeFailed);
    EXPECT_TRUE(read_file(ape) == before);
    EXPECT_EQ(Run(built_program("Tarvin"), {"x.ape"}).status, 0);
}

} // namespace
} // namespace tools_test

namespace tools_test {
namespace {

uint32_t little_endian(const std::string& bytes, size_t at, int width)
{
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// The main job's sample: the same bytes on every run, a plain CD-format
// WAVE file of the length asked for.
TEST(SampleGenerator, IsDeterministicCdAudio)
{
    suite_test::TempDir dir("tools-sample");
    for (const char* name : {"a.wav", "b.wav"})
        ASSERT_EQ(suite_test::run_program({"/usr/bin/python3", TOOLS_SAMPLE_SCRIPT, dir / name, "--seconds", "1.5"})
                      .status,
                  0);
    const std::string a = suite_test::read_file(dir / "a.wav");
    EXPECT_TRUE(a == suite_test::read_file(dir / "b.wav"));
    ASSERT_EQ(a.size(), 44u + 66150u * 4);
    EXPECT_EQ(a.substr(0, 4), "RIFF");
    EXPECT_EQ(a.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(little_endian(a, 20, 2), 1u);      // PCM
    EXPECT_EQ(little_endian(a, 22, 2), 2u);      // channels
    EXPECT_EQ(little_endian(a, 24, 4), 44100u);  // rate
    EXPECT_EQ(little_endian(a, 34, 2), 16u);     // bits
    // Music, not silence: the samples vary.
    EXPECT_NE(a.substr(44 + 20000, 64), std::string(64, '\0'));
}

} // namespace
} // namespace tools_test
