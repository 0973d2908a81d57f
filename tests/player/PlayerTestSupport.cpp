#include "PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

#include <AppFileInfo.h>
#include <Bitmap.h>
#include <File.h>
#include <NodeInfo.h>

#include "CodecTestSupport.h"

namespace player_test {

namespace {

std::vector<uint8_t> to_bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

Sample make_sample(const std::string& folder, const std::string& kind, int channels, int bits, uint32_t rate,
    uint32_t frames, std::vector<int32_t> signal)
{
    Sample s{kind, channels, bits, rate, frames, folder + "/" + std::to_string(channels) + "x" + std::to_string(bits)
        + "-" + std::to_string(rate) + "-" + std::to_string(frames), "", {}};
    s.ape = s.wave + ".ape";
    s.wave += ".wav";
    codectest::WaveSpec spec;
    spec.channels = channels;
    spec.bits = bits;
    spec.rate = rate;
    codectest::write_file(s.wave, codectest::make_wave(spec, signal));
    int progress = 0, kill = 0;
    EXPECT_EQ(codectest::lib().compress(s.wave.c_str(), s.ape.c_str(), 1000, &progress, nullptr, &kill), 0);
    s.pcm = wave_data(s.wave);
    return s;
}

suite_test::TempDir& folder()
{
    static suite_test::TempDir dir("player-samples");
    return dir;
}

}  // namespace

std::vector<uint8_t> Sample::Frames(uint64_t first, uint64_t count) const
{
    const uint64_t begin = std::min<uint64_t>(first * FrameSize(), pcm.size());
    const uint64_t end = std::min<uint64_t>(begin + count * FrameSize(), pcm.size());
    return std::vector<uint8_t>(pcm.begin() + long(begin), pcm.begin() + long(end));
}

const std::vector<Sample>& samples()
{
    static const std::vector<Sample> all = [] {
        struct Kind {
            const char* kind;
            int channels, bits;
            uint32_t rate, frames;
        };
        const Kind kinds[] = {
            {"StereoCD", 2, 16, 44100, 25000},
            {"Mono", 1, 16, 22050, 12000},
            {"EightBit", 2, 8, 11025, 11000},
            {"HighRate24Bit", 2, 24, 96000, 14000},
            {"SixChannels", 6, 16, 48000, 12000},
            {"ShorterThanOneRefill", 2, 16, 44100, 5000},
            {"ExactlyOneRefill", 2, 16, 44100, 10240},
        };
        std::vector<Sample> made;
        for (const Kind& k : kinds) {
            // Tones with a little noise: real frames, not all silence.
            std::vector<int32_t> signal = codectest::tones(k.frames, k.channels, k.bits);
            std::vector<int32_t> hiss = codectest::noise(signal.size(), k.bits - 6, k.frames);
            for (size_t i = 0; i < signal.size(); i++)
                signal[i] += hiss[i];
            made.push_back(make_sample(folder().Path(), k.kind, k.channels, k.bits, k.rate, k.frames, signal));
        }
        return made;
    }();
    return all;
}

const Sample& sample(const std::string& kind)
{
    for (const Sample& s : samples()) {
        if (s.kind == kind)
            return s;
    }
    throw std::runtime_error("no sample " + kind);
}

namespace {

// 16-bit samples with both bytes at least 1.
std::vector<int32_t> without_zero_bytes(std::vector<int32_t> signal)
{
    for (int32_t& v : signal) {
        uint16_t u = uint16_t(v);
        if ((u & 0xFF) == 0)
            u |= 0x01;
        if ((u >> 8) == 0)
            u |= 0x0100;
        v = int16_t(u);
    }
    return signal;
}

} // namespace

const Sample& sample_without_zero_bytes()
{
    static const Sample made = make_sample(folder().Path(), "NoZeroBytes", 2, 16, 44100, 22050,
                                           without_zero_bytes(codectest::noise(22050 * 2, 16, 7)));
    return made;
}

const Sample& sample_of_three_codec_frames()
{
    static const Sample made =
        make_sample(folder().Path(), "ThreeCodecFrames", 1, 16, 44100, 160000,
                    without_zero_bytes(codectest::tones(160000, 1, 16)));
    return made;
}

void tagged_copy(const Sample& from, const std::string& path, const std::map<std::string, std::string>& fields)
{
    suite_test::copy_file(from.ape, path);
    CAPETag* tag = codectest::lib().createTag1(path.c_str());
    ASSERT_NE(tag, nullptr);
    for (const auto& [field, value] : fields)
        ASSERT_EQ(tag->SetFieldString(field.c_str(), value.c_str(), -1, 0), 0) << field;
    ASSERT_EQ(tag->Save(0), 0);
    codectest::lib().destroyTag(tag);
}

std::string codec_library()
{
    return MONKEYS_LIBRARY_PATH;
}

std::string addon_file()
{
    return PLAYER_ADDON_PATH;
}

std::string player()
{
    return PLAYER_PATH;
}

suite_test::Environment player_env(const suite_test::TempHome& home)
{
    suite_test::Environment env = home.Env();
    // Private, or the platform falls back to the shared folder in /tmp.
    suite_test::make_dirs(home / "run");
    chmod((home / "run").c_str(), 0700);
    env["XDG_RUNTIME_DIR"] = home / "run";
    env["LANG"] = "en_US.UTF-8";
    return env;
}

Child::Child(const std::vector<std::string>& argv, const suite_test::Environment& env)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipe";
        return;
    }
    fPid = fork();
    if (fPid == 0) {
        dup2(fds[1], 1);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES"})
            unsetenv(name);
        for (const auto& [name, value] : env) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    fOut = fds[0];
}

Child::~Child()
{
    if (fPid > 0) {
        kill(fPid, SIGTERM);
        Wait();
    }
    if (fOut >= 0)
        close(fOut);
}

bool Child::WaitFor(const std::string& text, int seconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        const size_t at = fOutput.find(text, fConsumed);
        if (at != std::string::npos) {
            fConsumed = at + text.size();
            fSeen = fOutput.substr(0, fConsumed);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now()).count();
        pollfd p = {fOut, POLLIN, 0};
        if (fOut < 0 || left <= 0 || poll(&p, 1, int(left)) <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = read(fOut, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        fOutput.append(buffer, size_t(n));
    }
}

int Child::Wait()
{
    if (fPid <= 0)
        return -1;
    int status = 0;
    const pid_t ended = waitpid(fPid, &status, 0);
    fPid = -1;
    return ended > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string icon_of(const std::string& file)
{
    BFile node(file.c_str(), B_READ_ONLY);
    BNodeInfo info(&node);
    BBitmap icon(BRect(0, 0, 31, 31), B_CMAP8);
    if (info.GetIcon(&icon, B_LARGE_ICON) != B_OK)
        return "";
    return std::string(static_cast<const char*>(icon.Bits()), size_t(icon.BitsLength()));
}

std::string version_text_of(const std::string& file)
{
    BFile node(file.c_str(), B_READ_ONLY);
    BAppFileInfo info(&node);
    version_info version;
    return info.GetVersionInfo(&version, B_APP_VERSION_KIND) == B_OK ? version.short_info : "";
}

std::vector<uint8_t> wave_data(const std::string& path)
{
    const std::vector<uint8_t> bytes = to_bytes(suite_test::read_file(path));
    // RIFF, WAVE, then chunks of id, size and body (padded to even).
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint64_t size = codectest::le(bytes, at + 4, 4);
        if (std::equal(bytes.begin() + long(at), bytes.begin() + long(at) + 4, "data"))
            return std::vector<uint8_t>(bytes.begin() + long(at) + 8,
                bytes.begin() + long(std::min<uint64_t>(at + 8 + size, bytes.size())));
        at += 8 + size + (size & 1);
    }
    ADD_FAILURE() << path << " has no data chunk";
    return {};
}

std::vector<uint8_t> without_silence(const std::vector<uint8_t>& bytes, uint32_t frameSize)
{
    std::vector<uint8_t> kept;
    for (size_t at = 0; at + frameSize <= bytes.size(); at += frameSize) {
        const auto frame = bytes.begin() + long(at);
        if (std::any_of(frame, frame + frameSize, [](uint8_t b) { return b != 0; }))
            kept.insert(kept.end(), frame, frame + frameSize);
    }
    return kept;
}

}  // namespace player_test
