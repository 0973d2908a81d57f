// The plug-in seen through GStreamer's own programs: what
// gst-discoverer-1.0 reports of a file and of the same file over HTTP, the
// errors gst-launch-1.0 shows for files and set-ups that cannot play, and
// the user install (the elements and the encoding profile) found by
// GStreamer and used without any variable set.
#include <gtest/gtest.h>

#include <functional>

#include "CodecTestSupport.h"
#include "GstTestSupport.h"

using namespace gst_test;
using player_test::Sample;
using player_test::sample;
using suite_test::ProgramResult;
using suite_test::TempHome;

namespace {

class GstTools : public testing::Test {
protected:
    void SetUp() override { fHome.InstallLibrary(player_test::codec_library()); }

    // gst-launch-1.0 -q SOURCE... ! decodebin ! fakesink
    ProgramResult Launch(const std::vector<std::string>& source, const suite_test::Environment& changes = {},
        const std::string& input = {})
    {
        std::vector<std::string> argv = {"gst-launch-1.0", "-q"};
        argv.insert(argv.end(), source.begin(), source.end());
        argv.insert(argv.end(), {"!", "decodebin", "!", "fakesink"});
        return run_tool(argv, fHome, changes, input);
    }

    TempHome fHome;
};

}  // namespace

TEST_F(GstTools, DiscovererReportsTheDurationFormatAndTags)
{
    const std::string file = fHome / "tagged.ape";
    player_test::tagged_copy(sample("StereoCD"), file,
        {{"Title", "Seasons \xE6\x98\xA5"}, {"Artist", "Ridi Vuz"}, {"Album", "\x93\xFA\x96\x7B"} /* Shift-JIS */, {"Comment", "take 2"},
            {"Year", "2003"}, {"Genre", "Jazz"}, {"Track", "3/12"}});
    RangeServer http(fHome.Path());
    for (const std::string& uri : {uri_of(file), http.Url("tagged.ape")}) {
        const ProgramResult r = run_tool({"gst-discoverer-1.0", "-v", uri}, fHome);
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        // 25000 frames at 44100 Hz.
        for (const char* line : {"Duration: 0:00:00.566893424", "Seekable: yes", "audio #0: audio/x-velmor-ape",
                 "Sample rate: 44100", "Channels: 2 (front-left, front-right)", "Depth: 16",
                 "title: Seasons \xE6\x98\xA5", "artist: Ridi Vuz", "album: \xE6\x97\xA5\xE6\x9C\xAC", "comment: take 2", "genre: Jazz",
                 "datetime: 2003", "track number: 3", "track count: 12", "audio codec: Monkey's Audio"})
            EXPECT_NE(r.out.find(line), std::string::npos) << line << " not in\n" << r.out;
    }
}

TEST_F(GstTools, FilesAndSetUpsThatCannotPlayGiveClearErrors)
{
    const Sample& s = sample("StereoCD");
    const std::string bytes = suite_test::read_file(s.ape);
    std::string damaged = bytes;
    for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 16; i++)
        damaged[i] = char(~damaged[i]);
    suite_test::write_file(fHome / "damaged.ape", damaged);
    suite_test::write_file(fHome / "cut.ape", bytes.substr(0, bytes.size() / 2));
    std::string noise(4000, '\0');
    for (size_t i = 0; i < noise.size(); i++)
        noise[i] = char((i * 7919 + 13) % 251);
    suite_test::write_file(fHome / "noise.ape", noise);
    suite_test::write_file(fHome / "mac.ape", "MAC " + noise);
    TempHome noLibrary;

    // The element's own errors begin with its name; without the codec
    // library decodebin tells that it could not start the element, and why.
    const std::string ours = "GstOrvaneDec:orvanedec0: ";
    struct Case {
        const char* name;
        std::vector<std::string> source;
        suite_test::Environment env;
        std::string input;
        std::string message;
        bool ours;   // the element's error, or GStreamer's when no element takes the file
    };
    const Case cases[] = {
        {"damaged", {"filesrc", "location=" + fHome / "damaged.ape"}, {}, "",
            ours + "The file is damaged: its audio stops at frame ", true},
        {"cut short", {"filesrc", "location=" + fHome / "cut.ape"}, {}, "", ours + fHome / "cut.ape is cut short",
            true},
        {"cut short, through a pipe", {"fdsrc"}, {}, bytes.substr(0, bytes.size() / 2),
            ours + "fd://0 is cut short: its audio stops at frame 0 of 25000", true},
        {"not APE", {"filesrc", "location=" + fHome / "noise.ape"}, {}, "", "Could not determine type of stream",
            false},
        {"another encoder's APE", {"filesrc", "location=" + fHome / "mac.ape"}, {}, "", "(application/x-ape)",
            false},
        {"no codec library", {"filesrc", "location=" + s.ape}, {{"HOME", noLibrary.Path()}}, "",
            "The codec library libMonkeysAudio.so is missing: not at " + noLibrary / ".local/lib/libMonkeysAudio.so",
            true},
    };
    for (const Case& c : cases) {
        const ProgramResult r = Launch(c.source, c.env, c.input);
        const std::string output = r.out + r.err;
        EXPECT_NE(r.status, 0) << c.name;
        EXPECT_EQ(r.signal, 0) << c.name;
        EXPECT_FALSE(r.timed_out) << c.name;
        EXPECT_NE(output.find(c.message), std::string::npos) << c.name << ":\n" << output;
        EXPECT_EQ(output.find("orvanedec") != std::string::npos, c.ours) << c.name << ":\n" << output;
    }
}

TEST(GstUserInstall, GStreamerFindsTheElementsAndTheEncodingProfile)
{
    TempHome home;
    const ProgramResult install = suite_test::run_program(
        {GST_TEST_CMAKE, "--install", suite_test::build_dir(), "--prefix", home / ".local"});
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    const suite_test::Environment installed = {{"GST_PLUGIN_PATH", std::nullopt}};

    for (const char* element : {"orvanedec", "orvaneenc"}) {
        const ProgramResult inspect = run_tool({"gst-inspect-1.0", element}, home, installed);
        ASSERT_EQ(inspect.status, 0) << inspect.out << inspect.err;
        for (const std::string& text : {std::string("Plays and makes the VELMOR suite's APE files"),
                 home / ".local/share/gstreamer-1.0/plugins/libgstorvane.so"})
            EXPECT_NE(inspect.out.find(text), std::string::npos) << text << " not in\n" << inspect.out;
    }

    // Known by its first bytes, whatever its name.
    const Sample& s = sample("Mono");
    const std::string file = home / "song";
    suite_test::copy_file(s.ape, file);
    const std::string out = home / "out.raw";
    const ProgramResult play = run_tool({"gst-launch-1.0", "-q", "filesrc", "location=" + file, "!", "decodebin",
        "!", "filesink", "location=" + out}, home, installed);
    ASSERT_EQ(play.status, 0) << play.out << play.err;
    const std::string pcm = suite_test::read_file(out);
    EXPECT_EQ(std::vector<uint8_t>(pcm.begin(), pcm.end()), s.pcm);

    // The profile "ape", as a ripper or a transcoder offers it.
    const std::string ape = home / "again.ape";
    const ProgramResult encode = run_tool({"gst-launch-1.0", "-q", "filesrc", "location=" + s.wave, "!", "decodebin",
        "!", "encodebin", "profile=ape", "!", "filesink", "location=" + ape}, home, installed);
    ASSERT_EQ(encode.status, 0) << encode.out << encode.err;
    EXPECT_EQ(codectest::decode_all(ape), s.pcm);
}
