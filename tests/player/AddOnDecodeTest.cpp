// The add-on loaded the way the player loads it (the player's loader
// library, in this process), decoding real APE files of several kinds.
#include <AddOnLoader.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>

#include "PlayerTestSupport.h"

using namespace player_test;

namespace {

// The real codec library in a temporary home that this process's HOME
// names; the add-on, loaded.
class AddOn : public testing::Test {
protected:
    void SetUp() override
    {
        fHome.InstallLibrary(codec_library());
        std::string why;
        fAddOn = TPlayerAddOn::Load(addon_file(), &why);
        ASSERT_NE(fAddOn, nullptr) << why;
    }

    std::unique_ptr<TAddOnDecoder> Open(const std::string& file)
    {
        std::unique_ptr<TAddOnDecoder> decoder = fAddOn->Open(file);
        EXPECT_NE(decoder, nullptr) << file;
        return decoder;
    }

    suite_test::TempHome fHome;
    suite_test::ScopedEnv fHomeEnv{"HOME", fHome.Path().c_str()};
    std::shared_ptr<TPlayerAddOn> fAddOn;
};

// Reads of size bytes until one gives 0 frames: what they copied, each
// read copying bytesPerRead(bytes so far) bytes and reporting their whole
// frames.
std::vector<uint8_t> read_all(TAddOnDecoder& decoder, uint32_t size, uint32_t frameSize,
    const std::function<size_t(size_t)>& bytesPerRead)
{
    std::vector<uint8_t> out;
    std::vector<uint8_t> buffer(size);
    for (;;) {
        const size_t copied = bytesPerRead(out.size());
        const int32_t frames = decoder.Read(buffer.data(), size);
        EXPECT_EQ(uint32_t(frames), copied / frameSize);
        out.insert(out.end(), buffer.begin(), buffer.begin() + long(copied));
        if (frames == 0)
            return out;
    }
}

class EveryKind : public AddOn, public testing::WithParamInterface<std::string> {};

}  // namespace

TEST_P(EveryKind, DecodesEveryByteWithReadsOfAnySize)
{
    const Sample& s = sample(GetParam());
    // Whole frames a read, larger than the add-on's refill.
    std::unique_ptr<TAddOnDecoder> decoder = Open(s.ape);
    ASSERT_NE(decoder, nullptr);
    const uint32_t whole = 70001 * s.FrameSize();
    std::vector<uint8_t> pcm = read_all(*decoder, whole, s.FrameSize(), [&](size_t consumed) {
        // At most a refill (10240 frames) a read.
        return std::min<size_t>({whole, 10240u * s.FrameSize(), s.pcm.size() - consumed});
    });
    EXPECT_EQ(pcm, s.pcm);
    // After the end, reads stay at 0.
    std::vector<uint8_t> buffer(whole);
    EXPECT_EQ(decoder->Read(buffer.data(), whole), 0);

    // A size that is no multiple of the frame size, but divides the
    // refill the add-on reports (frames per read): every read copies the
    // whole size and reports its whole frames, up to the end.
    decoder = Open(s.ape);
    const uint32_t refill = uint32_t(decoder->Info().framesPerRead) * s.FrameSize();
    uint32_t odd = s.FrameSize() + 1;
    while (refill % odd != 0 || odd % s.FrameSize() == 0)
        odd++;
    pcm = read_all(*decoder, odd, s.FrameSize(), [&](size_t consumed) {
        return std::min<size_t>(odd, s.pcm.size() - consumed);
    });
    EXPECT_EQ(pcm, s.pcm) << "reads of " << odd << " bytes";
}

TEST_P(EveryKind, SeeksContinueWithTheSamplesOfTheNewFrame)
{
    const Sample& s = sample(GetParam());
    std::unique_ptr<TAddOnDecoder> decoder = Open(s.ape);
    ASSERT_NE(decoder, nullptr);
    const uint32_t last = s.frames - 1;
    // Forward, back, across a refill, near the end, the end, past it.
    const uint32_t targets[] = {s.frames / 2, 7, 10239 % s.frames, 10241 % s.frames, 0, last - 3, last,
        s.frames, s.frames + 1000, 123};
    std::vector<uint8_t> buffer(300 * s.FrameSize());
    for (uint32_t target : targets) {
        EXPECT_EQ(decoder->Seek(target), 0);
        const int32_t frames = decoder->Read(buffer.data(), uint32_t(buffer.size()));
        const std::vector<uint8_t> expected = s.Frames(target, 300);
        ASSERT_EQ(size_t(frames) * s.FrameSize(), expected.size()) << "after a seek to " << target;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin())) << "after a seek to " << target;
    }
    // The position runs up to a refill ahead of what was read.
    decoder->Seek(100);
    EXPECT_GE(decoder->Position(), 99);
    EXPECT_LE(decoder->Position(), 100 + 10240);
}

TEST_P(EveryKind, ReportsTheFileInformation)
{
    const Sample& s = sample(GetParam());
    std::unique_ptr<TAddOnDecoder> decoder = Open(s.ape);
    ASSERT_NE(decoder, nullptr);
    const TAudioFileInfo info = decoder->Info();
    EXPECT_EQ(info.title, "");
    EXPECT_EQ(info.typeDescription, "Monkey's Audio");
    EXPECT_EQ(info.mimeType, "audio/x-ape");
    EXPECT_EQ(info.sampleRate, float(s.rate));
    EXPECT_EQ(info.bitsPerSample, float(s.bits));
    EXPECT_EQ(info.channels, s.channels);
    EXPECT_EQ(info.framesPerRead, 10240);
    // From the length in whole milliseconds.
    const uint64_t milliseconds = uint64_t(s.frames) * 1000 / s.rate;
    EXPECT_EQ(info.frames, int32_t(double(s.rate) * double(milliseconds) / 1000.0));
    EXPECT_EQ(info.bytesPerSample, s.bits / 8);
    EXPECT_EQ(info.seekable, 1);
    EXPECT_EQ(info.littleEndian, 1);
    EXPECT_EQ(info.reserved, 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EveryKind,
    testing::Values("StereoCD", "Mono", "EightBit", "HighRate24Bit", "SixChannels", "ShorterThanOneRefill",
        "ExactlyOneRefill"),
    [](const testing::TestParamInfo<std::string>& info) { return info.param; });

TEST_F(AddOn, DisplayTitleIsArtistAndTitleInUtf8CutBetweenCharacters)
{
    suite_test::TempDir dir;
    std::string artist = "A";
    for (int i = 0; i < 100; i++)
        artist += "\xE6\x98\xA5";   // 春, three bytes
    const struct {
        std::map<std::string, std::string> fields;
        std::string title;
    } cases[] = {
        {{}, ""},
        {{{"Title", "Seasons"}}, "Unknown Artist - Seasons"},
        {{{"Artist", "Ridi Vuz"}}, "Ridi Vuz - Untitled"},
        {{{"Artist", "Ridi Vuz"}, {"Title", "Seasons"}}, "Ridi Vuz - Seasons"},
        // 255 bytes end inside the 85th character, which is left out.
        {{{"Artist", artist}, {"Title", "Seasons"}}, artist.substr(0, 1 + 84 * 3)},
        // as the tag tool stores them in Shift-JIS and JIS: shown in UTF-8
        {{{"Artist", "\x93\xFA\x96\x7B"}, {"Title", "\x1B$BF|K\\\x1B(B"}},
         "\xE6\x97\xA5\xE6\x9C\xAC - \xE6\x97\xA5\xE6\x9C\xAC"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string file = dir / ("tagged" + std::to_string(n++) + ".ape");
        tagged_copy(sample("Mono"), file, c.fields);
        std::unique_ptr<TAddOnDecoder> decoder = Open(file);
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(decoder->Info().title, c.title);
    }
}

TEST_F(AddOn, TakesExactlyTheFilesTheLibraryCanOpen)
{
    suite_test::TempDir dir;
    suite_test::write_file(dir / "song.ape", "MAC not really an APE file");
    suite_test::copy_file(sample("Mono").ape, dir / "song.dat");
    EXPECT_EQ(fAddOn->Open(dir / "song.ape"), nullptr);
    EXPECT_EQ(fAddOn->Open(dir / "missing.ape"), nullptr);
    EXPECT_NE(fAddOn->Open(dir / "song.dat"), nullptr);
}

TEST_F(AddOn, PlayerThreadsStartingAtOnceAllGetWorkingDecoders)
{
    const Sample& s = sample("ShorterThanOneRefill");
    std::vector<std::thread> threads;
    std::vector<int> decoded(8, 0);
    for (size_t i = 0; i < decoded.size(); i++) {
        threads.emplace_back([&, i] {
            std::unique_ptr<TAddOnDecoder> decoder = fAddOn->Open(s.ape);
            std::vector<uint8_t> buffer(s.pcm.size());
            decoded[i] = decoder != nullptr && decoder->Read(buffer.data(), uint32_t(buffer.size())) > 0
                && buffer == s.pcm;
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(decoded, std::vector<int>(decoded.size(), 1));
}

// Without a usable codec library every file is declined; the next file
// after the library is put in place is taken. It needs an add-on that has
// not started yet: a process of its own, as CTest runs every test.
TEST(AddOnStartUp, DeclinesWithoutTheLibraryAndTakesTheNextFileOnceItIsThere)
{
    suite_test::TempHome home;
    suite_test::ScopedEnv homeEnv("HOME", home.Path().c_str());
    std::string why;
    std::shared_ptr<TPlayerAddOn> addOn = TPlayerAddOn::Load(addon_file(), &why);
    ASSERT_NE(addOn, nullptr) << why;
    const std::string file = sample("Mono").ape;
    EXPECT_EQ(addOn->Open(file), nullptr) << "no library";
    home.InstallFakeLibrary("v139");
    EXPECT_EQ(addOn->Open(file), nullptr) << "library 1.39";
    home.InstallLibrary(codec_library());
    EXPECT_NE(addOn->Open(file), nullptr) << "library installed";
}
