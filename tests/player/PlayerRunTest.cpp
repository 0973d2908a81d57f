// ApePlayer as a user or a script runs it: a child process with a
// temporary home, its add-on and the real codec library.
#include <gtest/gtest.h>

#include <AppDefs.h>
#include <Messenger.h>

#include <sys/stat.h>
#include <unistd.h>

#include "PlayerTestSupport.h"

using namespace player_test;
using suite_test::ProgramResult;
using suite_test::run_program;

namespace {

class PlayerRun : public testing::Test {
protected:
    void SetUp() override { fHome.InstallLibrary(codec_library()); }

    ProgramResult Player(std::vector<std::string> args, suite_test::Environment extra = {})
    {
        args.insert(args.begin(), player());
        suite_test::Environment env = player_env(fHome);
        for (const auto& [name, value] : extra)
            env[name] = value;
        return run_program(args, env);
    }

    suite_test::TempHome fHome;
    suite_test::TempDir fDir{"player-run"};
};

}  // namespace

TEST_F(PlayerRun, PrintsTheFileInformationAndDecodesWholeOrInParts)
{
    const Sample& s = sample("StereoCD");
    const std::string file = fDir / "tagged.ape";
    tagged_copy(s, file, {{"Artist", "Ridi Vuz"}, {"Title", "Seasons"}});
    ProgramResult info = Player({"-Info", file});
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.out, "File: " + file + "\n"
        "Add-on: APE (Monkey's Audio) decoder (" + addon_file() + ")\n"
        "Title: Ridi Vuz - Seasons\nType: Monkey's Audio\nMIME type: audio/x-ape\n"
        "Sample rate: 44100\nBits per sample: 16\nChannels: 2\nFrames per read: 10240\n"
        "Frames: 24960\nBytes per sample: 2\nSeekable: 1\nLittle endian: 1\nReserved: 0\nLength: 0:00\n\n");

    EXPECT_EQ(Player({"-Decode=" + (fDir / "whole.wav"), file}).status, 0);
    EXPECT_EQ(wave_data(fDir / "whole.wav"), s.pcm);
    // Parts one after another: back, forward, the tail, past the end.
    EXPECT_EQ(Player({"-Decode=" + (fDir / "parts.wav"), "-Seek=20000+100,50+2000,24990,30000+5", file}).status, 0);
    std::vector<uint8_t> parts = s.Frames(20000, 100);
    for (auto part : {s.Frames(50, 2000), s.Frames(24990, 10)})
        parts.insert(parts.end(), part.begin(), part.end());
    EXPECT_EQ(wave_data(fDir / "parts.wav"), parts);

    // An existing file is never replaced.
    ProgramResult again = Player({"-Decode=" + (fDir / "whole.wav"), "-Seek=0+1", file});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(wave_data(fDir / "whole.wav"), s.pcm);
}

TEST_F(PlayerRun, RefusesAnUnknownOptionOrABadValueBeforeDoingAnything)
{
    const std::string file = sample("Mono").ape;
    // The first argument refused is named; nothing after it counts.
    auto refused = [&](std::vector<std::string> args, const std::string& bad) {
        args.push_back(file);
        ProgramResult r = Player(args);
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_EQ(r.out, "ERROR: Unknown option or bad value: " + bad + " (see -Help)\n");
    };
    for (const char* bad :
         {"-V", "-Info=", "-Play:x", "-Seconds=-1", "-Seek=5+", "-PauseAt=5", "-Decode=", "-"})
        refused({bad}, bad);
    refused({"-Info", "-Play"}, "-Play");
    refused({"-bogus=1", "-help"}, "-bogus=1");
    EXPECT_EQ(Player({"-Help=x", "-bogus"}).status, 0);
    EXPECT_EQ(Player({"-info", "-SECONDS:0.5", "-Seek=1,2+3", "-pauseat:1:2", file}).status, 0);
}

TEST_F(PlayerRun, WithoutTheCodecLibraryNoFileIsTakenAndTheAboutBoxSaysWhy)
{
    suite_test::TempHome bare;
    suite_test::Environment env = player_env(bare);
    const std::string file = sample("Mono").ape;
    ProgramResult info = run_program({player(), "-Info", file}, env);
    EXPECT_EQ(info.status, 1);
    EXPECT_EQ(info.out, "ERROR: No add-on can play " + file + ".\n");

    env["SUITE_OFFSCREEN"] = "1";
    Child about({player(), "-About"}, env);
    EXPECT_TRUE(about.WaitFor("Text: libMonkeysAudio.so (1.4 or later) is in neither ~/.local/lib "
                              "nor the suite's installation.\n"))
        << about.Seen();
}

TEST_F(PlayerRun, PlaysThePcmThroughTheSoundOutputWithPauseAndSeek)
{
    // SDL's disk driver writes what reaches the output to a file, silence
    // included: while paused, and around the file's own samples.
    const Sample& s = sample_without_zero_bytes();
    ProgramResult played = Player({"-Play", "-PauseAt=3000:30", "-SeekAt=15000:4000", s.ape},
        {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", fDir / "output.raw"}, {"SDL_DISKAUDIODELAY", "1"}});
    ASSERT_EQ(played.status, 0) << played.out << played.err;
    std::vector<uint8_t> expected = s.Frames(0, 15000);
    const std::vector<uint8_t> rest = s.Frames(4000, s.frames);
    expected.insert(expected.end(), rest.begin(), rest.end());
    const std::vector<uint8_t> output(
        [&] { std::string raw = suite_test::read_file(fDir / "output.raw"); return std::vector<uint8_t>(raw.begin(), raw.end()); }());
    EXPECT_EQ(without_silence(output, s.FrameSize()), expected);

    // The same playback into a WAVE file, a tenth of a second of it.
    EXPECT_EQ(Player({"-Play", "-Seconds=0.1", "-Output=" + (fDir / "tenth.wav"), s.ape}).status, 0);
    EXPECT_EQ(wave_data(fDir / "tenth.wav"), s.Frames(0, 4410));
}

TEST_F(PlayerRun, AFileNotPlayedWholeIsNamedLeavesNoWaveFileAndFailsTheRun)
{
    const Sample& s = sample_of_three_codec_frames();
    const std::string bytes = suite_test::read_file(s.ape);
    const std::string wave = fDir / "out.wav";
    auto sound = [&](const std::string& name) {
        suite_test::Environment env = player_env(fHome);
        env["SDL_AUDIODRIVER"] = "disk";
        env["SDL_DISKAUDIOFILE"] = fDir / name;
        env["SDL_DISKAUDIODELAY"] = "1";
        return env;
    };
    auto damaged = [](const std::string& file) {
        return "ERROR: " + file + " is damaged: its audio stops before its end.\n";
    };

    // At rest: one bit flipped in the first, second or last codec frame,
    // or the file cut short; into a WAVE file either way. (The sound
    // output and the window come below.)
    std::vector<std::pair<std::string, std::string>> files; // the file, its error
    for (size_t at : {bytes.size() / 5, bytes.size() / 2, bytes.size() - 100}) {
        std::string copy = bytes;
        copy[at] = char(copy[at] ^ 0x08);
        files.emplace_back(fDir / ("flipped-at-" + std::to_string(at) + ".ape"), copy);
    }
    files.emplace_back(fDir / "cut.ape", bytes.substr(0, bytes.size() * 2 / 3));
    for (auto& [file, content] : files) {
        suite_test::write_file(file, content);
        content =
            file.ends_with("cut.ape") ? "ERROR: No add-on can play " + file + ".\n" : damaged(file);
        for (const auto& args : {std::vector<std::string> {"-Decode=" + wave, file},
                                 {"-Play", "-Output=" + wave, file}}) {
            ProgramResult r = Player(args);
            EXPECT_EQ(r.status, 1) << file << " " << args[0];
            EXPECT_TRUE(r.out.ends_with(content)) << args[0] << ": " << r.out;
            EXPECT_FALSE(suite_test::file_exists(wave)) << file << " " << args[0];
        }
    }

    // While it plays, paused long after the first refill: a file cut then
    // is damaged; one removed then plays whole from the open file.
    const std::string shrinking = fDir / "shrinking.ape";
    const std::string removed = fDir / "removed.ape";
    suite_test::write_file(shrinking, bytes);
    suite_test::write_file(removed, bytes);
    Child cut({player(), "-Play", "-PauseAt=1000:2000", shrinking}, sound("cut.raw"));
    Child gone({player(), "-Play", "-PauseAt=1000:2000", removed}, sound("gone.raw"));
    ASSERT_TRUE(cut.WaitFor("Playing: ") && gone.WaitFor("Playing: "));
    ASSERT_EQ(truncate(shrinking.c_str(), off_t(bytes.size() / 2)), 0);
    ASSERT_EQ(unlink(removed.c_str()), 0);
    EXPECT_TRUE(cut.WaitFor(damaged(shrinking))) << cut.Seen();
    EXPECT_EQ(cut.Wait(), 1);
    EXPECT_EQ(gone.Wait(), 0);
    const std::string played = suite_test::read_file(fDir / "gone.raw");
    EXPECT_EQ(without_silence(std::vector<uint8_t>(played.begin(), played.end()), s.FrameSize()),
              s.pcm);

    // The window tells it in its status line (and on the terminal), goes
    // on to the next file, and the run ends with status 1.
    suite_test::Environment env = sound("window.raw");
    env["SUITE_OFFSCREEN"] = "1";
    const Sample& next = sample_without_zero_bytes();
    Child window({player(), files[1].first, next.ape}, env);
    EXPECT_TRUE(window.WaitFor(files[1].second)) << window.Seen();
    EXPECT_TRUE(suite_test::eventually(
        [&] {
            const std::string raw = suite_test::read_file(fDir / "window.raw");
            const std::vector<uint8_t> heard =
                without_silence(std::vector<uint8_t>(raw.begin(), raw.end()), 2);
            return heard.size() >= next.pcm.size() &&
                std::equal(next.pcm.begin(), next.pcm.end(), heard.end() - long(next.pcm.size()));
        },
        30))
        << "the next file was not played";
    suite_test::ScopedEnv runtime("XDG_RUNTIME_DIR", (fHome / "run").c_str());
    EXPECT_EQ(BMessenger("application/x-vnd.VELMOR-ApePlayer").SendMessage(B_QUIT_REQUESTED), B_OK);
    EXPECT_EQ(window.Wait(), 1);
}

TEST(PlayerInstall, InstalledPlayerLoadsItsAddOnWhoseResourcesSurviveACopy)
{
    suite_test::TempDir prefix("player-prefix");
    ProgramResult install = run_program({SUITE_CMAKE, "--install", suite_test::build_dir(), "--prefix", prefix.Path()});
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    const std::string addOns = prefix / "lib/velmor/ApePlayer/add-ons";
    EXPECT_TRUE(suite_test::file_exists(addOns + "/Language/Dictionaries/Orvane.ja"));

    suite_test::TempHome home;
    home.InstallLibrary(codec_library());
    ProgramResult info = run_program({prefix / "bin/ApePlayer", "-Info", sample("Mono").ape}, player_env(home));
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find("Add-on: APE (Monkey's Audio) decoder (" + addOns + "/Orvane.so)\n"), std::string::npos)
        << info.out;
    // A user's own add-on of the same name comes first.
    const std::string userAddOns = home / ".local/lib/velmor/ApePlayer/add-ons";
    suite_test::make_dirs(userAddOns);
    suite_test::copy_file(addon_file(), userAddOns + "/Orvane.so");
    info = run_program({prefix / "bin/ApePlayer", "-Info", sample("Mono").ape}, player_env(home));
    EXPECT_NE(
        info.out.find("Add-on: APE (Monkey's Audio) decoder (" + userAddOns + "/Orvane.so)\n"),
        std::string::npos)
        << info.out;

    // The icon and version record are in the file's bytes: the install and
    // a plain copy keep them.
    suite_test::TempDir copies;
    ASSERT_EQ(run_program({"/bin/cp", addOns + "/Orvane.so", copies / "Copy.so"}).status, 0);
    const std::string built = icon_of(addon_file());
    ASSERT_EQ(built.size(), 32u * 32u);
    for (const std::string& file : {addOns + "/Orvane.so", copies / "Copy.so"}) {
        EXPECT_EQ(icon_of(file), built) << file;
        EXPECT_EQ(version_text_of(file), "SoundPlay Orvane") << file;
    }
}

TEST(PlayerInstall, TheUserInstallTeachesTheDesktopTheFilesAndOffersThePlayer)
{
    if (run_program({"/bin/sh", "-c", "command -v xdg-mime && command -v gio"}).status != 0)
        GTEST_SKIP() << "needs xdg-mime and gio (xdg-utils, libglib2.0-bin: scripts/packages.txt)";
    suite_test::TempHome home;
    ProgramResult install = run_program(
        {SUITE_CMAKE, "--install", suite_test::build_dir(), "--prefix", home / ".local"});
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    // As a file manager sees them (GIO): by their first bytes, under any
    // name that no other type claims alone; the other APE format's files
    // stay its own.
    suite_test::Environment desktop = home.Env();
    desktop["XDG_CURRENT_DESKTOP"] = "GNOME";
    const std::string ours = sample("Mono").ape;
    suite_test::write_file(home / "other.ape", "MAC " + std::string(60, 'x'));
    for (const char* name : {"song", "song.ape", "Track 01.dat"}) {
        suite_test::copy_file(ours, home / name);
        EXPECT_EQ(run_program({"xdg-mime", "query", "filetype", home / name}, desktop).out,
                  "audio/x-velmor-ape\n")
            << name;
    }
    EXPECT_EQ(run_program({"xdg-mime", "query", "filetype", home / "other.ape"}, desktop).out,
              "audio/x-ape\n");
    EXPECT_EQ(run_program({"xdg-mime", "query", "default", "audio/x-velmor-ape"}, desktop).out,
              "velmor-apeplayer.desktop\n");
}
