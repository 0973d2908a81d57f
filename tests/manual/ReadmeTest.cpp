// The README followed as a new user follows it: the user install into a
// temporary home, then its everyday commands as written, one after the
// other in one new folder, the outputs it shows, and its folder recipes;
// afterwards man finds the pages in both languages and a new bash the
// completions. The commands are read from the README itself, from the
// blocks after a "<!-- test: NAME -->" line, so the test follows it.
#include <TestSupport.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Programs.h"

namespace {

using namespace suite_test;

const std::vector<std::string> kPrograms = built_programs();

// The indented block after the marker of that name, without its indent.
std::vector<std::string> readme_block(const std::string& name)
{
    const std::vector<std::string> readme = split_lines(read_file(source_dir() + "/README.md"));
    const std::string marker = "<!-- test: " + name + " -->";
    std::vector<std::string> block;
    size_t i = 0;
    while (i < readme.size() && readme[i] != marker)
        ++i;
    EXPECT_LT(i, readme.size()) << "the README has no block " << marker;
    for (++i; i < readme.size() && readme[i].empty(); ++i) {
    }
    for (; i < readme.size() && (readme[i].empty() || readme[i].rfind("    ", 0) == 0); ++i)
        block.push_back(readme[i].empty() ? "" : readme[i].substr(4));
    while (!block.empty() && block.back().empty())
        block.pop_back();
    EXPECT_FALSE(block.empty()) << marker;
    return block;
}

// The commands of a block: comment and blank lines left out, a line that
// ends with "\" or "|" joined with the next.
std::vector<std::string> commands(const std::vector<std::string>& block)
{
    std::vector<std::string> all;
    bool continued = false;
    for (const std::string& line : block) {
        const size_t text = line.find_first_not_of(' ');
        if (!continued && (text == std::string::npos || line[text] == '#'))
            continue;
        if (continued)
            all.back() += "\n" + line;
        else
            all.push_back(line);
        const size_t end = line.find_last_not_of(' ');
        continued = end != std::string::npos && (line[end] == '\\' || line[end] == '|');
    }
    return all;
}

class Readme : public ::testing::Test {
protected:
    // One user install for the whole suite of cases.
    static void SetUpTestSuite()
    {
        sHome = std::make_unique<TempHome>();
        ProgramResult r = run_program({TOOLS_CMAKE, "--install", build_dir(), "--prefix", *sHome / ".local"});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
    }
    static void TearDownTestSuite() { sHome.reset(); }

    // As a user's shell after the install: ~/.local/bin on the PATH, no
    // language, no manual path of its own.
    Environment Env() const
    {
        Environment env = fHome.Env();
        env["PATH"] = fHome / ".local/bin:/usr/bin:/bin";
        env["MANPATH"] = std::nullopt;
        env["MONKEYS_AUDIO_THREADS"] = std::nullopt;
        return env;
    }

    // Runs the commands of a README block in one shell, in folder; the
    // run stops at the first that fails, with its status.
    ProgramResult RunBlock(const std::string& name, const std::string& folder)
    {
        std::string script;
        for (const std::string& command : commands(readme_block(name)))
            script += command + "\nstatus=$?; [ $status = 0 ] || { echo \"ended with status $status:\"; cat <<'EOF'\n"
                      + command + "\nEOF\nexit $status; }\n";
        return run_program({"bash", "--norc", "--noprofile", "-c", script}, Env(), folder);
    }

    // Runs the "$ command" of a README block in folder and checks that it
    // prints the lines shown under it.
    void CheckOutput(const std::string& name, const std::string& folder, int status)
    {
        SCOPED_TRACE("README block " + name);
        const std::vector<std::string> block = readme_block(name);
        ASSERT_EQ(block.front().rfind("$ ", 0), 0u) << block.front();
        std::string shown;
        for (size_t i = 1; i < block.size(); ++i)
            shown += block[i] + "\n";
        ProgramResult r = run_program({"bash", "--norc", "--noprofile", "-c", block.front().substr(2)}, Env(), folder);
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(r.out, shown);
    }

    // Runs a folder recipe on ~/Music; the files it names as failed.
    std::vector<std::string> RunRecipe(const std::string& name, int status)
    {
        SCOPED_TRACE("README block " + name);
        ProgramResult r = RunBlock(name, fHome.Path());
        EXPECT_EQ(r.status, status) << r.out << r.err;
        std::vector<std::string> named;
        for (const std::string& line : split_lines(r.err)) {
            const size_t at = line.find(Music());
            EXPECT_NE(at, std::string::npos) << line;
            if (at != std::string::npos)
                named.push_back(line.substr(at + Music().size() + 1));
        }
        std::sort(named.begin(), named.end());
        return named;
    }

    std::string Music() const { return fHome / "Music"; }

    static std::unique_ptr<TempHome> sHome;
    const TempHome& fHome = *sHome;
};

std::unique_ptr<TempHome> Readme::sHome;

TEST_F(Readme, WorksAsWrittenTopToBottom)
{
    // From the top of the checkout, where the README's commands start.
    ProgramResult r = RunBlock("everyday", source_dir());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const std::string folder = fHome / "ape-try";
    EXPECT_TRUE(read_file(folder + "/copy.wav") == read_file(folder + "/song.wav"));
    EXPECT_TRUE(file_exists(folder + "/high.ape"));
    CheckOutput("refused", folder, 1);
    CheckOutput("tag", folder, 0);

    // The recipes on a folder of the user's: every failure named, xargs'
    // status 123 when there is one.
    make_dirs(Music() + "/album");
    copy_file(folder + "/song.wav", Music() + "/one.wav");
    copy_file(folder + "/song.wav", Music() + "/album/two.wav");
    write_file(Music() + "/noise.wav", "not a WAVE file");
    EXPECT_EQ(RunRecipe("encode-folder", 123), std::vector<std::string>{"noise.wav"});
    EXPECT_EQ(RunRecipe("verify-folder", 0), std::vector<std::string>{});
    write_file(Music() + "/broken.ape", "not an APE file");
    EXPECT_EQ(RunRecipe("verify-folder", 123), std::vector<std::string>{"broken.ape"});
    // one.wav is still there, so its APE file is not decoded over it.
    std::remove((Music() + "/album/two.wav").c_str());
    EXPECT_EQ(RunRecipe("decode-folder", 123), (std::vector<std::string>{"broken.ape", "one.ape"}));
    EXPECT_TRUE(read_file(Music() + "/album/two.wav") == read_file(folder + "/song.wav"));
}

TEST_F(Readme, ManFindsThePagesAndBashTheCompletions)
{
    const bool japanese = run_program({"sh", "-c", "locale -a | grep -qix 'ja_JP.utf-\\?8'"}).status == 0;
    if (!japanese)
        ADD_FAILURE() << "no ja_JP.UTF-8 locale: man cannot show the Japanese pages (scripts/install-deps makes it)";
    struct Language {
        const char* lang;
        const char* folder;
        const char* name;  // the NAME section's title
    };
    for (const Language& language : {Language{nullptr, "man1", "NAME"}, Language{"ja_JP.UTF-8", "ja/man1", "名前"}}) {
        if (language.lang && !japanese)
            continue;
        Environment env = Env();
        if (language.lang)
            env["LANG"] = language.lang;
        env["MANWIDTH"] = "80";
        for (const std::string& program : kPrograms) {
            SCOPED_TRACE(program + " " + language.folder);
            ProgramResult r = run_program({"man", "-w", program}, env);
            EXPECT_EQ(r.out, fHome / ".local/share/man/" + language.folder + "/" + program + ".1\n") << r.err;
            // Shown as man shows it, without a word from groff.
            r = run_program({"man", program}, env);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_NE(r.out.find(std::string("\n") + language.name + "\n       " + program + " - "), std::string::npos)
                << r.out.substr(0, 300);
        }
    }

    // bash-completion loads a program's completion the first time it is
    // completed, from the user's folder.
    if (!file_exists("/usr/share/bash-completion/bash_completion"))
        GTEST_SKIP() << "needs bash-completion (scripts/packages.txt)";
    std::string script = "source /usr/share/bash-completion/bash_completion\n";
    for (const std::string& program : kPrograms)
        script += "_completion_loader " + program + "; complete -p " + program + "\n";
    ProgramResult r = run_program({"bash", "--norc", "--noprofile", "-c", script}, Env());
    std::string expected;
    for (const std::string& program : kPrograms)
        expected += "complete -F _velmor_" + program + " " + program + "\n";
    EXPECT_EQ(r.out, expected) << r.err;
}

} // namespace
