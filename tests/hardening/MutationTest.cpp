// Thousands of damaged copies of real APE files made by the library: bits
// flipped, tails cut, frames spliced (also re-signed, so that only the
// audio's MD5 can tell), header and tag fields edited (also with the header
// CRC made right again). Tarvin, Dovrell, Lumbrel and the decompressor
// object each end every one with a clear result: never a signal, a hang or
// unbounded memory, and never "sound" for audio that differs.
#include "HardeningSupport.h"

#include <MonkeysAudioLib.h>

#include <dlfcn.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <random>

using namespace suite_test;

namespace hardening {
namespace {

uint64_t get(const std::string& f, size_t at, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; i--)
        v = (v << 8) | uint8_t(f[at + i]);
    return v;
}

void put(std::string& f, size_t at, int bytes, uint64_t v)
{
    for (int i = 0; i < bytes; i++, v >>= 8)
        f[at + i] = char(v & 0xFF);
}

struct Layout {
    size_t headerSize, frameCount, seekTable, frames, trailer, audioEnd;
};

Layout layout_of(const std::string& f)
{
    return {size_t(get(f, 10, 2)), size_t(get(f, 36, 8)), size_t(get(f, 60, 8)),
            size_t(get(f, 68, 8)), size_t(get(f, 76, 8)), size_t(get(f, 92, 8))};
}

void sign_header(std::string& f, const Layout& l)
{
    put(f, l.headerSize - 4, 4, crc32(reinterpret_cast<const uint8_t*>(f.data()), l.headerSize - 4));
}

// Frames 0 and 1 change places, each with its index, CRC and seek entry
// made right: every check but the audio's MD5 holds.
std::string forged_swap(std::string f)
{
    const Layout l = layout_of(f);
    auto start = [&](size_t i) { return size_t(get(f, l.seekTable + 8 * i, 8)); };
    const size_t a = start(0), b = start(1), c = l.frameCount > 2 ? start(2) : l.trailer;
    std::string first = f.substr(a, b - a), second = f.substr(b, c - b);
    for (auto [frame, index] : {std::pair{&first, 1}, std::pair{&second, 0}}) {
        put(*frame, 4, 4, uint32_t(index));
        std::string signedPart = frame->substr(0, 20) + frame->substr(24);
        put(*frame, 20, 4, crc32(reinterpret_cast<const uint8_t*>(signedPart.data()), signedPart.size()));
    }
    f.replace(a, c - a, second + first);
    put(f, l.seekTable + 8, 8, a + second.size());
    put(f, 124, 4, crc32(reinterpret_cast<const uint8_t*>(f.data()) + l.seekTable, 8 * l.frameCount));
    sign_header(f, l);
    return f;
}

const uint64_t kOdd[] = {0, 1, 2, 7, 8, 24, 132, 255, 0x7FFF, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF,
                         0x100000000ULL, 0x7FFFFFFFFFFFFFFFULL, 0xFFFFFFFFFFFFFFFFULL};

// One damaged copy of the file, chosen by the seed.
std::string mutate(const std::string& original, uint32_t seed)
{
    std::mt19937 rng(seed);
    auto below = [&](size_t n) { return n ? size_t(rng() % n) : 0; };
    std::string f = original;
    const Layout l = layout_of(f);
    switch (seed % 8) {
    case 0: // a few bits anywhere
        for (int i = 1 + below(8); i > 0; i--)
            f[below(f.size())] ^= char(1 << below(8));
        break;
    case 1: // the tail cut
        f.resize(below(f.size()));
        break;
    case 2: { // a piece of one place copied over another
        const size_t len = 1 + below(4096), from = below(f.size() - len), to = below(f.size() - len);
        f.replace(to, len, original.substr(from, len));
        break;
    }
    case 3: { // a whole frame put in place of another, or twice
        const size_t i = below(l.frameCount), j = below(l.frameCount);
        auto start = [&](size_t k) { return size_t(get(original, l.seekTable + 8 * k, 8)); };
        auto end = [&](size_t k) { return k + 1 < l.frameCount ? start(k + 1) : l.trailer; };
        const std::string frame = original.substr(start(j), end(j) - start(j));
        if (rng() & 1)
            f.replace(start(i), end(i) - start(i), frame);
        else
            f.insert(start(i), frame);
        break;
    }
    case 4: // the frames re-signed in the wrong order
        f = forged_swap(f);
        if (rng() & 1)
            f[l.frames + 24 + below(64)] ^= char(1 << below(8));
        break;
    case 5: // a header field edited, its CRC made right again or not
    case 6: {
        static const std::pair<int, int> fields[] = {{8, 2}, {10, 2}, {12, 2}, {14, 2}, {16, 2},
            {18, 2}, {20, 4}, {24, 4}, {28, 8}, {36, 8}, {44, 8}, {52, 8}, {60, 8}, {68, 8},
            {76, 8}, {84, 8}, {92, 8}, {116, 4}, {120, 4}, {124, 4}};
        const auto [at, bytes] = fields[below(std::size(fields))];
        const uint64_t old = get(f, at, bytes);
        const uint64_t value = rng() & 1 ? kOdd[below(std::size(kOdd))] : old + below(9) - 4;
        put(f, at, bytes, value);
        if (seed % 8 == 6)
            sign_header(f, l);
        break;
    }
    default: { // the tag's bytes: sizes, counts, flags, keys
        if (f.size() <= l.audioEnd + 32)
            break;
        const size_t tagBytes = f.size() - l.audioEnd;
        const size_t footer = f.size() - 32;
        if (rng() & 1) {
            static const int fields[] = {8, 12, 16, 20};
            const size_t at = (rng() & 1 ? footer : l.audioEnd) + fields[below(4)];
            put(f, at, 4, kOdd[below(12)]);
        } else {
            for (int i = 1 + below(4); i > 0; i--)
                f[l.audioEnd + below(tagBytes)] = char(rng());
        }
        break;
    }
    }
    return f;
}

class MutationTest : public HardeningTest {
protected:
    static void SetUpTestSuite()
    {
        sDir = new TempDir("mutation-base");
        // Mono, 16-bit, three frames and a bit; tagged by Lumbrel.
        sWave = new std::string(make_wave(sanitizer_run() ? 20.0 : 30.0, 1, 8000, 16));
        write_file(*sDir / "a.wav", *sWave);
        sLibrary = dlopen(library().c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_TRUE(sLibrary) << dlerror();
        auto compress = reinterpret_cast<CompressFileFn*>(dlsym(sLibrary, "CompressFile"));
        int progress = 0, kill = 0;
        ASSERT_EQ(compress((*sDir / "a.wav").c_str(), (*sDir / "a.ape").c_str(), 2000, &progress,
                           nullptr, &kill), 0);
    }
    static void TearDownTestSuite()
    {
        delete sDir;
        delete sWave;
    }

    void SetUp() override
    {
        copy_file(*sDir / "a.ape", InWork("base.ape"));
        ProgramResult tagged = Run("Lumbrel", {"base.ape", "-T=Mutation", "-A=Base", "-C=A comment"});
        ASSERT_EQ(tagged.status, 0) << tagged.out;
        fBase = read_file(InWork("base.ape"));
        ASSERT_GE(layout_of(fBase).frameCount, 3u);
    }

    // The decompressor object on the file in a child with an alarm and an
    // address-space bound: 0 when it decoded to the end or gave up with an
    // error, 1 when every block read back was the original audio.
    int DecodeInChild(const std::string& path, uint32_t seed)
    {
        const pid_t pid = fork();
        if (pid == 0) {
            alarm(20);
            if (!sanitizer_run()) {
                struct rlimit limit = {1024ULL << 20, 1024ULL << 20};
                setrlimit(RLIMIT_AS, &limit);
            }
            auto create = reinterpret_cast<CreateIAPEDecompressFn*>(dlsym(sLibrary, "CreateIAPEDecompress"));
            int error = 0;
            IAPEDecompress* d = create(path.c_str(), &error);
            if (!d)
                _exit(error != 0 ? 0 : 3);
            const intptr_t align = d->GetInfo(APE_INFO_BLOCK_ALIGN);
            const intptr_t total = d->GetInfo(APE_DECOMPRESS_TOTAL_BLOCKS);
            d->GetInfo(APE_INFO_SAMPLE_RATE);
            d->GetInfo(APE_INFO_LENGTH_MS);
            if (auto* tag = reinterpret_cast<CAPETag*>(d->GetInfo(APE_INFO_TAG))) {
                char text[256];
                int bytes = sizeof text;
                tag->GetFieldString("Title", text, &bytes);
            }
            if (align <= 0 || align > 4 * 32)
                _exit(4);
            std::mt19937 rng(seed);
            if (rng() & 1)
                d->Seek(int(rng() % (total + 2)));
            d->Seek(0);
            std::string pcm;
            std::vector<char> buffer(size_t(align) * 4096);
            for (;;) {
                int got = 0;
                if (d->GetData(buffer.data(), 4096, &got) != 0 || got <= 0)
                    break;
                pcm.append(buffer.data(), size_t(got) * align);
                if (pcm.size() > sWave->size())
                    break;
            }
            delete d;
            _exit(pcm == sWave->substr(44) ? 1 : 0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_FALSE(WIFSIGNALED(status)) << "decompressor object, signal " << WTERMSIG(status);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << "status " << WEXITSTATUS(status);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // A program on the file: a clear 0 or 1, in time, in bounded memory.
    ProgramResult Bounded(const std::string& name, const std::vector<std::string>& args)
    {
        ProgramResult result = Run(name, args, Limits{0, sanitizer_run() ? 0ull : 1024ull}, 30);
        EXPECT_FALSE(result.timed_out) << name << " hung";
        EXPECT_EQ(result.signal, 0) << name << " died: " << result.out << result.err;
        EXPECT_TRUE(result.status == 0 || result.status == 1) << name << ": " << result.out;
        return result;
    }

    static TempDir* sDir;
    static std::string* sWave;
    static void* sLibrary;
    std::string fBase;
};

TempDir* MutationTest::sDir;
std::string* MutationTest::sWave;
void* MutationTest::sLibrary;

TEST_F(MutationTest, TheBaseFileIsSound)
{
    EXPECT_EQ(DecodeInChild(InWork("base.ape"), 1), 1);
    EXPECT_EQ(Bounded("Tarvin", {"base.ape"}).status, 0);
}

TEST_F(MutationTest, ReSignedSwappedFramesAreCaughtByTheMd5)
{
    write_file(InWork("m.ape"), forged_swap(fBase));
    EXPECT_EQ(Bounded("Tarvin", {"m.ape"}).status, 1);
    EXPECT_EQ(Bounded("Dovrell", {"m.ape", "m.wav"}).status, 1);
    EXPECT_FALSE(file_exists(InWork("m.wav")));
}

TEST_F(MutationTest, EveryMutantEndsWithAClearResult)
{
    // The decompressor object sees every mutant, the programs a share of
    // them (each run is a process start).
    // (programEvery is odd, so that every kind of mutant reaches the programs)
    const uint32_t mutants = sanitizer_run() ? 300 : 1500;
    const uint32_t programEvery = sanitizer_run() ? 9 : 7;
    int sound = 0, refused = 0;
    for (uint32_t seed = 0; seed < mutants && !HasFailure(); seed++) {
        const std::string mutant = mutate(fBase, seed);
        write_file(InWork("m.ape"), mutant);
        SCOPED_TRACE("mutant " + std::to_string(seed) + " (kind " + std::to_string(seed % 8) + ")");
        DecodeInChild(InWork("m.ape"), seed);
        if (seed % programEvery != 0)
            continue;
        const ProgramResult verified = Bounded("Tarvin", {"m.ape"});
        const ProgramResult decoded = Bounded("Dovrell", {"m.ape", "m.wav"});
        if (decoded.status == 0) {
            EXPECT_TRUE(read_file(InWork("m.wav")) == *sWave) << "Dovrell gave other audio";
        } else {
            EXPECT_FALSE(file_exists(InWork("m.wav"))) << "Dovrell left a partial file";
        }
        // Tarvin says "sound" only for the original audio, and then Dovrell agrees.
        if (verified.status == 0) {
            sound++;
            EXPECT_EQ(decoded.status, 0) << "Tarvin said sound, Dovrell refused";
        } else {
            refused++;
        }
        ::unlink(InWork("m.wav").c_str());
        Bounded("Lumbrel", {"m.ape"});
        if (seed % (programEvery * 4) == 0) {
            Bounded("Lumbrel", {"m.ape", "-T=Rewritten", "-REMOVEALL"});
            // A save never touches the audio: what was sound stays sound.
            if (verified.status == 0) {
                EXPECT_EQ(Bounded("Tarvin", {"m.ape"}).status, 0);
            }
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(sound, 0) << "no mutant left the audio whole (the tag kinds should)";
}

} // namespace
} // namespace hardening
