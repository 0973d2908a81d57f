// The programs and the codec library as built, run the way faults reach a
// user: child processes under limits, killed part-way, as another user.
#pragma once

#include <TestSupport.h>

#include <gtest/gtest.h>

#include <sys/types.h>

#include <string>
#include <vector>

namespace hardening {

using suite_test::Environment;
using suite_test::ProgramResult;

std::string program(const std::string& name);
std::string library();

using suite_test::sanitizer_run;

// A deterministic, music-like PCM WAVE file (tones and a little noise).
std::string make_wave(double seconds, int channels = 2, int rate = 44100, int bits = 16);

// The names in a folder, sorted, without "." and "..".
std::vector<std::string> list_dir(const std::string& folder);

struct Limits {
    unsigned long long file_size = 0;  // bytes; 0 none
    unsigned long long memory_mib = 0; // address space; 0 none
};

// How a child started by spawn_and_signal ended.
struct Ending {
    bool signalled = false;  // ended by the signal sent (or another)
    int signal = 0;
    int status = -1;         // exit status when it exited
};

class HardeningTest : public ::testing::Test {
protected:
    HardeningTest();

    // Runs a program (by name, or a path) in Work() under the limits, with
    // the temporary home and English texts.
    ProgramResult Run(const std::string& name, const std::vector<std::string>& args,
                      const Limits& limits = {}, int timeoutSeconds = 120);

    // The same run with Work()/disk a small tmpfs of bytes bytes for that
    // run only (see suite_test::run_on_small_disk); preload names files of
    // Work() copied into it first, keep one whose bytes come back.
    suite_test::SmallDiskRun RunOnSmallDisk(const std::string& name,
                                            const std::vector<std::string>& args,
                                            unsigned long long bytes,
                                            const std::vector<std::string>& preload = {},
                                            const std::string& keep = {});
    // Variables added to the environment of every run from here on.
    Environment fExtraEnv;
    // The temporary home, English texts and fExtraEnv.
    suite_test::RunOptions Options() const;

    // Starts the program in Work(), sends sig after delayMicros and waits.
    // Its output goes nowhere.
    Ending RunAndSignal(const std::string& name, const std::vector<std::string>& args,
                        long delayMicros, int sig);

    // Starts the program in Work() with its output going nowhere; Wait
    // collects it.
    pid_t Start(const std::string& name, const std::vector<std::string>& args);
    Ending Wait(pid_t pid);

    // Wall time of one whole run, in microseconds, to aim signals with.
    long TimeOfRun(const std::string& name, const std::vector<std::string>& args);

    std::string Work() const { return fHome / "work"; }
    std::string InWork(const std::string& name) const { return Work() + "/" + name; }

    suite_test::TempHome fHome;
};

} // namespace hardening
