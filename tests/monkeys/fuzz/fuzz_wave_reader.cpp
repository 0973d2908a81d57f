// Any bytes given as a WAVE file: the layout reader and the encoder end with
// a result, never a crash; what they accept comes back byte for byte.
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "Coding.h"
#include "FuzzFile.h"
#include "MonkeysAudioLib.h"
#include "Wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzFile file(data, size);
    if (!file.ok())
        return 0;
    monkeys::WaveLayout layout;
    if (monkeys::read_wave_layout(file.fd(), size, layout) != APE_OK || layout.dataBytes > (1u << 22))
        return 0;
    // the folder run-fuzzers makes (memory-backed: the encoder syncs its output)
    static std::string dir = getenv("FUZZ_WORK_DIR") ? getenv("FUZZ_WORK_DIR") : "/tmp";
    static std::string unique = std::to_string(getpid());
    std::string ape = dir + "/" + unique + ".ape", wav = dir + "/" + unique + ".wav";
    monkeys::Progress progress(nullptr, nullptr, nullptr);
    if (monkeys::compress_file(file.path(), ape.c_str(), 1000, progress) != APE_OK)
        abort();
    monkeys::Progress back(nullptr, nullptr, nullptr);
    if (monkeys::decompress_file(ape.c_str(), wav.c_str(), back) != APE_OK)
        abort();
    FILE* f = fopen(wav.c_str(), "rb");
    std::string out(size + 1, '\0');
    size_t n = fread(out.data(), 1, out.size(), f);
    fclose(f);
    if (n != size || std::memcmp(out.data(), data, size) != 0)
        abort();
    unlink(ape.c_str());
    unlink(wav.c_str());
    return 0;
}
