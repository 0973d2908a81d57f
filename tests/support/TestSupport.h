// Shared helpers of the suite's tests: temporary folders and homes, the
// fake codec libraries, and running a program as a child process.
//
// Kept stable: other areas' tests build on it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace suite_test {

struct ProgramResult {
    int status = -1;          // exit status; -1 when it did not exit normally
    int signal = 0;           // the signal that ended it, or 0
    bool timed_out = false;   // killed after the time limit
    std::string out;          // everything written to standard output
    std::string err;          // everything written to standard error
};

// Changes to the child's environment: a value sets a variable, nullopt
// removes it. The child starts from this process's environment without
// HOME, XDG_CONFIG_HOME, LANG, LANGUAGE and LC_*, so that a test states
// the home and the language it means (with none, the language is English).
using Environment = std::map<std::string, std::optional<std::string>>;

struct RunOptions {
    Environment env;
    std::string cwd;              // empty: this process's folder
    std::string input;            // written to standard input, then closed
    int timeout_seconds = 300;    // a hang guard, not a measurement
};

// Runs argv[0] (through PATH when it has no "/", with the child's PATH),
// with argv as its argument vector, and waits for it.
ProgramResult run_program(const std::vector<std::string>& argv, const Environment& env = {},
                          const std::string& cwd = {});
ProgramResult run_program(const std::vector<std::string>& argv, const RunOptions& options);

// A fresh folder under $TMPDIR (or /tmp), removed with all it holds.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "suite-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return fPath; }
    // Path() + "/" + relative
    std::string operator/(const std::string& relative) const;

private:
    std::string fPath;
};

// The path of a fake codec library built by the tests:
// complete, no_verify, v139, v140, v2, vbad, short, verify_data (see
// cmake/SuiteTesting.cmake) or one made with suite_fake_monkeys_audio.
std::string fake_library(const std::string& name);

// A temporary home folder for programs under test.
class TempHome : public TempDir {
public:
    TempHome() : TempDir("suite-home") {}

    // HOME set to this folder, XDG_CONFIG_HOME removed.
    Environment Env() const;
    // $HOME/.local/lib, where the programs look for the codec library.
    std::string LibraryFolder() const;
    // Copies a library file to $HOME/.local/lib/libMonkeysAudio.so.
    void InstallLibrary(const std::string& libraryFile) const;
    // Installs the fake codec library of that name (see fake_library).
    void InstallFakeLibrary(const std::string& name) const { InstallLibrary(fake_library(name)); }
};

// The top of the build tree and of the source tree.
std::string build_dir();
std::string source_dir();

// Sets (or, with null, removes) a variable of this process's environment
// for the life of the object, and then puts the old state back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string fName;
    std::optional<std::string> fOld;
};

// Small file helpers; each fails the current test on error.
void make_dirs(const std::string& path);
void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);
void copy_file(const std::string& from, const std::string& to);
void make_symlink(const std::string& target, const std::string& link);
bool file_exists(const std::string& path);

// Splits text at "\n"; a final line without "\n" counts as a line.
std::vector<std::string> split_lines(const std::string& text);

} // namespace suite_test
