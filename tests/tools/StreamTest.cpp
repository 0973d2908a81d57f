// Fennick, Dovrell and Tarvin in real pipelines with "-": sox and flac into
// the encoder, the decoder into cmp and into a pipe that closes early, the
// verifier reading a pipe. Whenever standard output carries the data, every
// line the program prints goes to standard error.
#include "ToolsTestSupport.h"

#include <cstdlib>

namespace tools_test {
namespace {

using namespace suite_test;

class Pipes : public ToolTest {
protected:
    void SetUp() override
    {
        fHome.InstallLibrary(built_library());
        // The sample (a CD-format WAVE file), its raw samples and a FLAC file of it.
        ASSERT_EQ(run_program({"/usr/bin/python3", TOOLS_SAMPLE_SCRIPT, InWork("s.wav"), "--seconds", "2"}).status, 0);
        ASSERT_EQ(Shell("sox s.wav -t raw s.raw && flac -s s.wav -o s.flac && Fennick -l=f s.wav s.ape >/dev/null")
                      .status,
                  0);
    }

    // Runs a bash command line in the work folder, the built programs on
    // its PATH.
    ProgramResult Shell(const std::string& command)
    {
        Environment env = fHome.Env();
        std::string path;
        for (const char* program : kPrograms)
            path += std::string(TOOLS_APPS_DIR) + "/" + program + ":";
        env["PATH"] = path + std::getenv("PATH");
        return run_program({"bash", "-c", "set -o pipefail; " + command}, env, Work());
    }

    struct Case {
        const char* name;
        std::string command;
        int status;
        std::string lastLine;       // the last line printed (before the final line end)
        bool linesOnStderr;         // standard output carries the data
        std::string same[2];        // two files that must hold the same bytes
    };

    void RunTable(const std::vector<Case>& cases)
    {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            const ProgramResult r = Shell(c.command);
            EXPECT_EQ(r.status, c.status) << r.out << r.err;
            const std::vector<std::string> printed = lines(c.linesOnStderr ? r.err : r.out);
            ASSERT_GE(printed.size(), 2u) << r.out << r.err;
            EXPECT_EQ(printed.end()[-2], c.lastLine);
            if (c.linesOnStderr) {
                EXPECT_EQ(r.out, "");
            }
            if (!c.same[0].empty()) {
                EXPECT_TRUE(read_file(InWork(c.same[0])) == read_file(InWork(c.same[1])))
                    << c.same[0] << " and " << c.same[1] << " differ";
            }
        }
    }
};

// sox to a pipe states sizes it cannot know (0x7ffff000), flac -c the real ones.
const char kSoxStream[] = "sox -q -t raw -r 44100 -b 16 -c 2 -e signed s.raw -t wav - | cat";

TEST_F(Pipes, FennickReadsAndWritesStandardStreams)
{
    RunTable({
        {"sox into Fennick", std::string(kSoxStream) + " | tee sox.wav | Fennick - sox.ape && Dovrell sox.ape sox.back",
         0, "Done.", false, {"sox.wav", "sox.back"}},
        {"flac -c into Fennick", "flac -s -d -c s.flac | Fennick -L=H - flac.ape && Dovrell flac.ape flac.wav", 0,
         "Done.", false, {"flac.wav", "s.wav"}},
        {"to standard output", "Fennick -l=f s.wav - > out.ape", 0, "Done.", true, {"out.ape", "s.ape"}},
        {"pipe to pipe", "cat s.wav | Fennick -l=f - | cat > piped.ape", 0, "Done.", true, {"piped.ape", "s.ape"}},
        {"not WAVE", "echo hello | Fennick - none.ape",
         1, "ERROR: Encoding failed; nothing was written. The source must be a readable PCM WAVE file, the destination "
            "a name that no file has yet (an existing file is never replaced), on a disk with room.",
         false, {}},
        {"not WAVE to standard output", "echo hello | Fennick - -", 1,
         "ERROR: Encoding failed; what was written to standard output is incomplete. The source must be a PCM WAVE "
         "file (RIFF, RF64 or Wave64).",
         true, {}},
    });
    EXPECT_FALSE(file_exists(InWork("none.ape")));
}

TEST_F(Pipes, DovrellReadsAndWritesStandardStreams)
{
    RunTable({
        {"into cmp", "Dovrell s.ape - | cmp - s.wav", 0, "Done.", true, {}},
        {"from a pipe", "cat s.ape | Dovrell - p.wav", 0, "Done.", false, {"p.wav", "s.wav"}},
        {"pipe to pipe", "cat s.ape | Dovrell - | cat > pp.wav", 0, "Done.", true, {"pp.wav", "s.wav"}},
        // head leaves after its bytes; Dovrell ends with an error, never "Done."
        {"into a pipe that closes", "Dovrell s.ape - | head -c 1000 > head.wav; exit ${PIPESTATUS[0]}", 1,
         "ERROR: The output was closed before the end: the program reading it has stopped.", true, {}},
        {"a damaged stream", "head -c 20000 s.ape | Dovrell - cut.wav", 1,
         "ERROR: Decoding failed; nothing was written. The source must be a whole APE file of this suite (APE files "
         "of other encoders are refused), the destination a name that no file has yet (an existing file is never "
         "replaced), on a disk with room.",
         false, {}},
    });
    EXPECT_EQ(read_file(InWork("head.wav")), read_file(InWork("s.wav")).substr(0, 1000));
    EXPECT_FALSE(file_exists(InWork("cut.wav")));
}

TEST_F(Pipes, TarvinReadsStandardInput)
{
    RunTable({
        {"from a pipe", "cat s.ape | Tarvin -", 0, "The file is sound.", false, {}},
        {"from a file", "Tarvin - < s.ape", 0, "The file is sound.", false, {}},
        {"a damaged stream", "head -c 20000 s.ape | Tarvin -", 1,
         "ERROR: The file is damaged or cannot be read, or it is not an APE file of this suite (APE files of other "
         "encoders are refused).",
         false, {}},
    });
}

} // namespace
} // namespace tools_test
