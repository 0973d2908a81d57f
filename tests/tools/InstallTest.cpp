// The user install: `cmake --install build --prefix "$HOME/.local"` gives
// each program a folder of its own with its dictionaries, a link in
// $HOME/.local/bin that works from anywhere, and the codec library in
// $HOME/.local/lib, where the programs look first. An install anywhere
// else serves every user: its programs take its own codec library when
// the user has none, with or without a home.
#include "ToolsTestSupport.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tools_test {
namespace {

using namespace suite_test;
namespace fs = std::filesystem;

ProgramResult install(const std::string& prefix, const Environment& env = {})
{
    ProgramResult r = run_program({TOOLS_CMAKE, "--install", build_dir(), "--prefix", prefix}, env);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    return r;
}

void expect_layout(const std::string& prefix)
{
    for (const char* program : kPrograms) {
        SCOPED_TRACE(program);
        const std::string folder = prefix + "/lib/velmor/" + program;
        EXPECT_TRUE(fs::is_regular_file(folder + "/" + program));
        for (const std::string base : {"Halbrook", program})
            for (const char* language : {".en", ".ja"})
                EXPECT_TRUE(fs::is_regular_file(folder + "/Language/Dictionaries/" + base + language))
                    << base << language;
        const std::string link = prefix + "/bin/" + program;
        ASSERT_TRUE(fs::is_symlink(link));
        // Relative, so that a staged (DESTDIR) install works once moved.
        EXPECT_EQ(fs::read_symlink(link).string(), std::string("../lib/velmor/") + program + "/" + program);
        EXPECT_TRUE(fs::equivalent(link, folder + "/" + program));
    }
    EXPECT_TRUE(fs::is_regular_file(prefix + "/lib/libMonkeysAudio.so"));
}

TEST_F(ToolTest, UserInstallWorksThroughTheLinks)
{
    const std::string prefix = fHome / ".local";
    install(prefix);
    expect_layout(prefix);

    // A round trip through the installed programs, found through PATH as a
    // user types them, from a folder of the user's.
    make_dirs(InWork("music"));
    ASSERT_EQ(run_program({"/usr/bin/python3", TOOLS_SAMPLE_SCRIPT, InWork("music/song.wav"), "--seconds", "1"})
                  .status,
              0);
    const Environment path{{"PATH", prefix + "/bin:/usr/bin:/bin"}};
    ProgramResult r = Run("Fennick", {"-L=H", "music/song.wav"}, path);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(lines(r.out)[0], "Encoding music/song.wav -> music/song.ape");
    EXPECT_EQ(r.out.find('@'), std::string::npos) << "a text was not found: " << r.out;
    r = Run("Tarvin", {"music/song.ape"}, path);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(lines(r.out).end()[-2], "The file is sound.");
    r = Run(prefix + "/bin/Dovrell", {"music/song.ape", "music/back.wav"}, {{"LANG", "ja_JP.UTF-8"}});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(lines(r.out)[0], "デコード: music/song.ape -> music/back.wav");
    EXPECT_TRUE(read_file(InWork("music/back.wav")) == read_file(InWork("music/song.wav")));

    // Installing again over the first install is fine.
    install(prefix);
    expect_layout(prefix);
}

TEST_F(ToolTest, AnInstallationServesEveryUserAndTheUsersOwnLibraryComesFirst)
{
    TempDir prefix("suite-prefix");
    install(prefix.Path());
    const std::string own = fs::canonical(prefix / "lib/libMonkeysAudio.so");
    ASSERT_EQ(
        run_program({"/usr/bin/python3", TOOLS_SAMPLE_SCRIPT, InWork("song.wav"), "--seconds", "1"})
            .status,
        0);
    const Environment noHome {{"HOME", "/nonexistent"}};
    ProgramResult r = Run(prefix / "bin/Fennick", {"-V", "song.wav"}, noHome);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\nLibrary file: " + own + "\n\n"), std::string::npos) << r.out;
    r = Run(prefix / "bin/Dovrell", {"song.ape", "back.wav"}, noHome);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(read_file(InWork("back.wav")) == read_file(InWork("song.wav")));

    fHome.InstallFakeLibrary("complete");
    r = Run(prefix / "bin/Tarvin", {"-V", "song.ape"});
    EXPECT_NE(r.out.find("\nLibrary file: " + fHome.LibraryFolder() + "/libMonkeysAudio.so\n\n"),
              std::string::npos)
        << r.out;
}

TEST_F(ToolTest, StagedInstallWithDestdir)
{
    const std::string stage = fHome / "stage";
    install("/usr/local", {{"DESTDIR", stage}});
    expect_layout(stage + "/usr/local");
}

} // namespace
} // namespace tools_test
