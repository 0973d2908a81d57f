// Shared helpers of the suite's tests: temporary folders and homes, the
// fake codec libraries, running a program as a child process (under
// limits, on a small disk, with faults injected), waiting for a condition,
// WAVE files and CRC-32.
//
// Kept stable: other areas' tests build on it.
#pragma once

#include <cstdint>
#include <functional>
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
    // Limits of the child (0: none). Past the file-size limit a write fails
    // with EFBIG (SIGXFSZ is ignored), for root too.
    unsigned long long file_size_limit = 0;     // bytes
    unsigned long long address_space_mib = 0;   // RLIMIT_AS
};

// Runs argv[0] (through PATH when it has no "/", with the child's PATH),
// with argv as its argument vector, and waits for it.
ProgramResult run_program(const std::vector<std::string>& argv, const Environment& env = {},
                          const std::string& cwd = {});
ProgramResult run_program(const std::vector<std::string>& argv, const RunOptions& options);

// The environment a test's child gets: this process's without HOME,
// XDG_CONFIG_HOME and the language variables, then the changes; as
// "NAME=value" entries, and their null-ended pointers for execve.
std::vector<std::string> child_environment(const Environment& changes);
std::vector<char*> pointers(std::vector<std::string>& strings);

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

using Bytes = std::vector<uint8_t>;
Bytes read_bytes(const std::string& path);   // empty when unreadable
void write_bytes(const std::string& path, const Bytes& bytes);

// True in the sanitizer pass of CI (SUITE_SANITIZER_RUN), where every run
// is slower: long tests shrink their inputs.
bool sanitizer_run();

// Polls condition until it holds, for at most seconds (a hang guard, not
// a measurement); false if it never did.
bool eventually(const std::function<bool()>& condition, int seconds = 60);

// CRC-32 as zlib computes it, bit by bit.
uint32_t crc32(const uint8_t* data, size_t size);
inline uint32_t crc32(const Bytes& bytes) { return crc32(bytes.data(), bytes.size()); }

// A WAVE file put together chunk by chunk.
struct WaveSpec {
    int channels = 2;
    int bits = 16;
    uint32_t rate = 44100;
    bool extensible = false;
    std::vector<std::pair<std::string, Bytes>> before;   // chunks before fmt
    std::vector<std::pair<std::string, Bytes>> after;    // chunks after data
    Bytes junk;                                          // bytes after the RIFF chunk
    // RIFF; RF64 (the data's size in a ds64 chunk); Sony's Wave64 (GUIDs,
    // 64-bit sizes).
    enum class Container { Riff, Rf64, Wave64 } container = Container::Riff;
    // The data size the file states, as a streaming writer leaves it (0,
    // all ones); the true size when absent.
    std::optional<uint64_t> statedDataSize;
};
// samples: interleaved, in the signed range of spec.bits (8-bit is made
// unsigned on the way out).
Bytes make_wave(const WaveSpec& spec, const std::vector<int32_t>& samples);

// A run of a program whose folder `folder` is, for that run only, a fresh
// tmpfs of `bytes` bytes (in a mount namespace of its own, so nothing
// stays mounted). `preload` names files copied into it first. Needs the
// right to mount (root); `mounted` is false where it is refused, and the
// test should then skip.
struct SmallDiskRun {
    bool mounted = false;
    ProgramResult result;
    std::vector<std::string> left;   // names in the folder afterwards, sorted
    Bytes kept;                      // the bytes of keep_file afterwards
};
SmallDiskRun run_on_small_disk(const std::vector<std::string>& argv, const RunOptions& options,
                               const std::string& folder, unsigned long long bytes,
                               const std::vector<std::string>& preload = {},
                               const std::string& keep_file = {});

// The nice value the scheduler has for this process's thread whose native
// name (at most 15 bytes) is name; kNoThread when there is none.
constexpr int kNoThread = 1000;
int native_nice(const std::string& name);
// Whether the platform's thread priorities reach the scheduler here: it
// changes nice values only where it may always go back to the start value
// (root, or a high enough RLIMIT_NICE).
bool priorities_reach_the_scheduler();

// The fault shim, to be put in a child's LD_PRELOAD: with
// SUITE_FAULT_NO_TMPFILE=1, open() of an unnamed file (O_TMPFILE) fails
// with EOPNOTSUPP, as on file systems that have none. add_fault_shim puts
// it into an environment, with what a sanitized child needs to accept it;
// the caller sets SUITE_FAULT_NO_TMPFILE.
std::string fault_shim();
void add_fault_shim(Environment& env);

} // namespace suite_test
