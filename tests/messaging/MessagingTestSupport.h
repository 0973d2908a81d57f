// Shared pieces of the messaging tests: a private port folder for the
// test process and the helper program. (Waiting for a condition is the
// shared fixture's eventually, tests/support/TestSupport.h.)
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace messaging_test {

// The port folder of this test process (XDG_RUNTIME_DIR is pointed at a
// fresh private folder before any test runs, and inherited by helpers).
std::string runtime_dir();

// A helper process (tests/messaging/MessagingHelper.cpp) whose standard
// output is read line by line.
class Helper {
public:
    explicit Helper(const std::vector<std::string>& args);
    ~Helper(); // kills it if it still runs

    pid_t Pid() const { return fPid; }
    // The next line of output (without the line end); empty at the end of
    // output or after the generous time-out.
    std::string ReadLine();
    // The next line that starts with prefix, skipping others.
    std::string ReadLineStartingWith(const std::string& prefix);
    void Kill(int signal);
    // Exit status, or -1 when killed by a signal.
    int Wait();

private:
    pid_t fPid;
    int fOutput;
    std::string fBuffer;
    bool fWaited;
};

} // namespace messaging_test
