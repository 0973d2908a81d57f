// Any bytes given as a WAVE file, by name and as a stream that cannot seek:
// the layout reader and the encoder end with a result, never a crash; what
// they accept comes back byte for byte.
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "Coding.h"
#include "FuzzFile.h"
#include "MonkeysAudioLib.h"
#include "Wave.h"

namespace {

// Encodes wave into the APE file and decodes it back; aborts when what was
// accepted does not come back whole, or when it had to be accepted.
void round_trip(const APEStream& wave, const uint8_t* data, size_t size, bool mustAccept)
{
    // the folder run-fuzzers makes (memory-backed: the encoder syncs its output)
    static std::string dir = getenv("FUZZ_WORK_DIR") ? getenv("FUZZ_WORK_DIR") : "/tmp";
    static std::string unique = std::to_string(getpid());
    std::string ape = dir + "/" + unique + ".ape", wav = dir + "/" + unique + ".wav";
    monkeys::Progress progress(nullptr, nullptr, nullptr);
    if (monkeys::compress_stream(wave, monkeys::named_stream(ape.c_str()), 1000, nullptr, progress) != APE_OK) {
        if (mustAccept)
            abort();
        return;
    }
    monkeys::Progress back(nullptr, nullptr, nullptr);
    APEStream out = monkeys::named_stream(wav.c_str());
    if (monkeys::decompress_stream(monkeys::named_stream(ape.c_str()), &out, back) != APE_OK)
        abort();
    FILE* f = fopen(wav.c_str(), "rb");
    std::string got(size + 1, '\0');
    size_t n = fread(got.data(), 1, got.size(), f);
    fclose(f);
    if (n != size || std::memcmp(got.data(), data, size) != 0)
        abort();
    unlink(ape.c_str());
    unlink(wav.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzFile file(data, size);
    if (!file.ok() || size > (1u << 22))
        return 0;
    monkeys::WaveLayout layout;
    monkeys::FdInput in(file.fd());
    const bool accepted = monkeys::read_wave_layout(in, layout, [](const uint8_t*, size_t) { return 0; }) == APE_OK;
    round_trip(monkeys::named_stream(file.path()), data, size, accepted);
    MemoryStream stream(data, size);
    round_trip(stream.stream(), data, size, false);
    return 0;
}
