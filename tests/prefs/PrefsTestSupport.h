// What the shared-preferences tests share: a private port folder and home
// for the test and every program it starts (so that no other test run
// meets the window's port), and programs running beside the test.
#pragma once

#include <TestSupport.h>

#include <sys/types.h>

#include <string>
#include <vector>

namespace prefs_test {

// XDG_RUNTIME_DIR and HOME of this process point at new private folders
// for the object's life; children get them too.
class PrivateSession {
public:
    PrivateSession();
    ~PrivateSession();

    // The environment for a child: this session's folders, and a home of
    // its own when one is given.
    suite_test::Environment Env(const std::string& home = {}) const;
    const std::string& Home() const { return fHome.Path(); }
    // The settings file of an item in a home.
    static std::string SettingsFile(const std::string& home, const std::string& item);

private:
    suite_test::TempDir fRuntime;
    suite_test::TempHome fHome;
    suite_test::ScopedEnv fRuntimeEnv;
    suite_test::ScopedEnv fHomeEnv;
    suite_test::ScopedEnv fConfigEnv;
};

// A program started beside the test; ended with SIGTERM when the object
// goes, unless it ended before.
class Background {
public:
    Background(const std::vector<std::string>& argv, const suite_test::Environment& env);
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    pid_t Pid() const { return fPid; }
    // Waits for the end; the exit status, or -1 after a signal or a hang.
    int Wait(int seconds = 60);
    void Kill(int signal);

private:
    pid_t fPid;
    bool fEnded;
};

std::string helper_program();
std::string velmor_prefs_program();

}  // namespace prefs_test
