// Beyond 4 GiB: a long 6-channel 24-bit recording as an RF64 stream, piped
// through Fennick and Dovrell and back byte for byte, with a chunk after
// the audio. Mostly silence, which codes fast; a stepped signal every so
// often, so that frames differ also past the 4 GiB mark. Through pipes
// alone, so that only the small APE file takes room on the disk.
#include "ToolsTestSupport.h"

#include <cstdlib>

#include <sys/statvfs.h>

namespace tools_test {
namespace {

using namespace suite_test;

// python3 GENERATOR BLOCKS writes the RF64 stream to standard output.
const char kGenerator[] = R"(
import struct, sys
n = int(sys.argv[1])
ch, rate, align = 6, 48000, 18
data = n * align
fmt = struct.pack('<HHIIHHHHI', 0xFFFE, ch, rate, rate * align, align, 24, 22, 24, 0x3F) + bytes(
    [1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71])
note = b'note' + struct.pack('<I', 4) + b'tail'
out = sys.stdout.buffer
out.write(b'RF64\xff\xff\xff\xffWAVEds64' + struct.pack('<IQQQI', 28, 96 + data + len(note), data, n, 0) +
          b'fmt ' + struct.pack('<I', 40) + fmt + b'data\xff\xff\xff\xff')
for start in range(0, n, 65536):
    k = start // 65536
    block = b''.join(struct.pack('<i', k * 7 + c)[:3] for c in range(ch)) if k % 64 == 0 else bytes(align)
    out.write(block * min(65536, n - start))
out.write(note)
)";

const unsigned long long kNeededMiB = 512;

class LongStream : public ToolTest {};

TEST_F(LongStream, AnRf64StreamPastFourGibComesBackWhole)
{
    struct statvfs disk {};
    const unsigned long long freeMiB =
        statvfs(Work().c_str(), &disk) == 0 ? disk.f_bavail * disk.f_frsize >> 20 : 0;
    if (freeMiB < kNeededMiB)
        GTEST_SKIP() << "the stream past 4 GiB needs " << kNeededMiB << " MiB free in " << Work() << ", which has "
                     << freeMiB << " MiB";
    fHome.InstallLibrary(built_library());
    write_file(InWork("gen.py"), kGenerator);
    Environment env = fHome.Env();
    std::string path;
    for (const char* program : kPrograms)
        path += std::string(TOOLS_APPS_DIR) + "/" + program + ":";
    env["PATH"] = path + std::getenv("PATH");
    // 244.5 million blocks: 4.4 GB of audio.
    const char script[] = "set -o pipefail\n"
                          "python3 gen.py 244500000 | Fennick -L=F - - 2>encode.err | tee long.ape |\n"
                          "  Dovrell - - 2>decode.err | cmp - <(python3 gen.py 244500000) && Tarvin long.ape";
    RunOptions options;
    options.env = env;
    options.cwd = Work();
    options.timeout_seconds = 900;
    const ProgramResult r = run_program({"bash", "-c", script}, options);
    EXPECT_EQ(r.status, 0) << r.out << r.err << read_file(InWork("encode.err")) << read_file(InWork("decode.err"));
    EXPECT_NE(r.out.find("The file is sound."), std::string::npos) << r.out;
    for (const char* log : {"encode.err", "decode.err"})
        EXPECT_EQ(lines(read_file(InWork(log))).end()[-2], "Done.") << log;
}

} // namespace
} // namespace tools_test
