// Input that lies: WAVE files whose chunk sizes, formats and lengths are
// wrong, and dictionary files with broken lines. Each either works exactly
// or is refused cleanly; nothing crashes, hangs or is half-written.
#include "HardeningSupport.h"

#include <Locale.h>

#include <sys/stat.h>

#include <cstdint>

using namespace suite_test;
using namespace std::string_literals;

namespace hardening {
namespace {

std::string u16(uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); }
std::string u32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

std::string fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t align, uint16_t bits)
{
    return "fmt " + u32(16) + u16(tag) + u16(channels) + u32(rate) + u32(rate * align) + u16(align)
           + u16(bits);
}

std::string riff(const std::string& chunks, uint32_t size = 0)
{
    return "RIFF" + u32(size ? size : uint32_t(4 + chunks.size())) + "WAVE" + chunks;
}

std::string pcm(size_t bytes)
{
    std::string data(bytes, '\0');
    uint32_t x = 7;
    for (char& c : data)
        c = char((x = x * 1664525u + 1013904223u) >> 24);
    return data;
}

class WaveInputTest : public HardeningTest {
protected:
    // Fennick either refuses the file cleanly or encodes it, and then
    // Dovrell gives back exactly its bytes.
    void Check(const std::string& name, const std::string& wave, bool mustRefuse)
    {
        SCOPED_TRACE(name);
        write_file(InWork("in.wav"), wave);
        ProgramResult encoded = Run("Fennick", {"-L=F", "in.wav", "out.ape"}, Limits{64ull << 20, sanitizer_run() ? 0ull : 1024ull}, 60);
        EXPECT_FALSE(encoded.timed_out);
        EXPECT_EQ(encoded.signal, 0) << encoded.err;
        if (encoded.status == 0) {
            EXPECT_FALSE(mustRefuse) << "accepted: " << encoded.out;
            ProgramResult decoded = Run("Dovrell", {"out.ape", "back.wav"});
            EXPECT_EQ(decoded.status, 0) << decoded.out;
            EXPECT_TRUE(read_file(InWork("back.wav")) == wave) << "not the same bytes";
        } else {
            EXPECT_EQ(encoded.status, 1) << encoded.out;
            EXPECT_NE(encoded.out.find("ERROR: "), std::string::npos) << encoded.out;
            EXPECT_EQ(list_dir(Work()), std::vector<std::string>{"in.wav"});
        }
        EXPECT_TRUE(read_file(InWork("in.wav")) == wave);
        for (const char* out : {"out.ape", "back.wav"})
            ::unlink(InWork(out).c_str());
    }
};

TEST_F(WaveInputTest, LyingChunksAndFormats)
{
    const std::string good = fmt(1, 2, 44100, 4, 16);
    const std::string audio = pcm(40000);
    Check("honest", riff(good + "data" + u32(40000) + audio), false);
    Check("data larger than the file", riff(good + "data" + u32(400000) + audio), true);
    Check("data size 4 GiB", riff(good + "data" + u32(0xFFFFFFFF) + audio), true);
    Check("RIFF size lies", riff(good + "data" + u32(40000) + audio, 0xFFFFFFF0), false);
    Check("RIFF size tiny", riff(good + "data" + u32(40000) + audio, 4), false);
    Check("zero channels", riff(fmt(1, 0, 44100, 4, 16) + "data" + u32(40000) + audio), true);
    Check("zero rate", riff(fmt(1, 2, 0, 4, 16) + "data" + u32(40000) + audio), true);
    Check("huge block align", riff(fmt(1, 2, 44100, 0xFFFF, 16) + "data" + u32(40000) + audio), true);
    Check("zero block align", riff(fmt(1, 2, 44100, 0, 16) + "data" + u32(40000) + audio), true);
    Check("zero bits", riff(fmt(1, 2, 44100, 4, 0) + "data" + u32(40000) + audio), true);
    Check("65535 channels", riff(fmt(1, 0xFFFF, 44100, 0xFFFE, 16) + "data" + u32(40000) + audio), true);
    Check("fmt chunk too short", riff("fmt " + u32(6) + good.substr(8, 6) + "data" + u32(40000) + audio), true);
    Check("fmt size past the end", riff("fmt " + u32(0x7FFFFFFF) + good.substr(8)), true);
    Check("chunk size past the end before data",
          riff(good + "LIST" + u32(0xFFFFFF00) + "junk" + "data" + u32(400) + pcm(400)), true);
    Check("no data chunk", riff(good + "LIST" + u32(4) + "junk"), true);
    Check("data before fmt", riff("data" + u32(400) + pcm(400) + good), false);
    Check("odd chunk at the end", riff(good + "data" + u32(400) + pcm(400) + "odd " + u32(3) + "abc"), false);
    Check("odd chunk at the end without its pad",
          riff(good + "data" + u32(400) + pcm(400) + "odd " + u32(5) + "abcde"), false);
    Check("odd data chunk", riff(fmt(1, 1, 8000, 1, 8) + "data" + u32(401) + pcm(401) + "\0"), false);
    Check("partial chunk header at the end", riff(good + "data" + u32(400) + pcm(400) + "LI"), false);
    Check("half a block at the end", riff(good + "data" + u32(402) + pcm(402)), false);
    Check("empty data", riff(good + "data" + u32(0)), false);
    Check("only RIFF", "RIFF", true);
    Check("empty file", "", true);
}

// The dictionary reader on files a user or a broken copy might leave.
class DictionaryFileTest : public ::testing::Test {
protected:
    void Load(const std::string& content)
    {
        write_file(fDir / "Test.en", content);
        ScopedEnv lang("LANG", "en_US.UTF-8"), all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr);
        fLocale.UnloadAll();
        fLocale.SetLanguage("en");
        EXPECT_EQ(fLocale.LoadLanguageFile((fDir / "Test").c_str()), B_OK);
    }
    std::string Get(const std::string& key) { return fLocale.GetString(key.c_str()).String(); }

    TempDir fDir{"dictionary"};
    BLocale fLocale;
};

TEST_F(DictionaryFileTest, BrokenLinesAreSkippedTheRestIsRead)
{
    Load("good\tGood\n"
         "no tab here\n"
         "\tno key\n"
         "bad\\escape\tx\n"
         "unfinished\tx\\\n"
         "nul\tbe\0fore\n"
         "\xC3\x28\tinvalid UTF-8 key\n"
         "latin\tcaf\xE9\n"
         "overlong\t\xC0\xAF\n"
         "surrogate\t\xED\xA0\x80\n"
         "crlf\tWindows\r\n"
         "escapes\ta\\tb\\nc\\\\d\n"
         "# comment\tnot a key\n"
         "last\tNo line end"s);
    EXPECT_EQ(Get("good"), "Good");
    EXPECT_EQ(Get("crlf"), "Windows");
    EXPECT_EQ(Get("escapes"), "a\tb\nc\\d");
    EXPECT_EQ(Get("last"), "No line end");
    for (const char* skipped : {"no tab here", "bad\\escape", "unfinished", "nul", "latin",
                                "overlong", "surrogate", "# comment"})
        EXPECT_EQ(Get(skipped), skipped);
}

TEST_F(DictionaryFileTest, VeryLongLinesAndManyLines)
{
    const std::string longText(1 << 20, 'x');
    std::string content = "long\t" + longText + "\n" + std::string(1 << 20, 'y') + "\n";
    for (int i = 0; i < 20000; i++)
        content += "k" + std::to_string(i) + "\tv" + std::to_string(i) + "\n";
    content += "end\tEnd";
    Load(content);
    EXPECT_EQ(Get("long"), longText);
    EXPECT_EQ(Get("k19999"), "v19999");
    EXPECT_EQ(Get("end"), "End");
}

TEST_F(DictionaryFileTest, BinaryGarbageAndTooLargeFiles)
{
    Load(pcm(1 << 16) + "\nafter\tgarbage\n");
    EXPECT_EQ(Get("after"), "garbage");
    // Past the size bound the file is not read at all.
    write_file(fDir / "Big.en", "big\tBig\n" + std::string(size_t(BLocale::kMaxFileSize), '#'));
    EXPECT_EQ(fLocale.LoadLanguageFile((fDir / "Big").c_str()), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(Get("big"), "big");
}

// A program whose dictionary is broken still runs, in raw keys where its
// texts are missing.
TEST_F(WaveInputTest, ProgramWithABrokenDictionary)
{
    const std::string copy = fHome / "apps/Tarvin";
    make_dirs(copy + "/Language/Dictionaries");
    copy_file(program("Tarvin"), copy + "/Tarvin");
    ::chmod((copy + "/Tarvin").c_str(), 0755);
    write_file(copy + "/Language/Dictionaries/Tarvin.en", pcm(5000) + "\n@Verify_OK@\tFine.");
    write_file(copy + "/Language/Dictionaries/Halbrook.en", std::string(100000, '\t') + "\xFF\xFE");
    write_file(InWork("a.wav"), make_wave(0.2));
    ASSERT_EQ(Run("Fennick", {"-L=F", "a.wav", "a.ape"}).status, 0);
    ProgramResult result = Run(copy + "/Tarvin", {"a.ape"});
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_NE(result.out.find("Fine."), std::string::npos) << result.out;
}

} // namespace
} // namespace hardening
