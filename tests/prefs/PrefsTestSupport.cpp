#include "PrefsTestSupport.h"

#include <OS.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace prefs_test {

PrivateSession::PrivateSession()
    : fRuntime("prefs-run"),
      fRuntimeEnv("XDG_RUNTIME_DIR", fRuntime.Path().c_str()),
      fHomeEnv("HOME", fHome.Path().c_str()),
      fConfigEnv("XDG_CONFIG_HOME", nullptr)
{
    chmod(fRuntime.Path().c_str(), 0700);
}

PrivateSession::~PrivateSession() = default;

suite_test::Environment PrivateSession::Env(const std::string& home) const
{
    return {{"XDG_RUNTIME_DIR", fRuntime.Path()}, {"HOME", home.empty() ? fHome.Path() : home},
        {"XDG_CONFIG_HOME", std::nullopt}};
}

std::string PrivateSession::SettingsFile(const std::string& home, const std::string& item)
{
    return home + "/.config/VELMOR/Shared/" + item + ".arc";
}

Background::Background(const std::vector<std::string>& argv, const suite_test::Environment& env)
    : fPid(-1), fEnded(false)
{
    std::vector<std::string> entries = suite_test::child_environment(env);
    std::vector<char*> envp = suite_test::pointers(entries);
    std::vector<std::string> words = argv;
    std::vector<char*> args = suite_test::pointers(words);
    fPid = fork();
    if (fPid == 0) {
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
}

Background::~Background()
{
    if (!fEnded && fPid > 0) {
        kill(fPid, SIGTERM);
        if (Wait(10) == -1 && !fEnded) {
            kill(fPid, SIGKILL);
            Wait(10);
        }
    }
}

int Background::Wait(int seconds)
{
    for (bigtime_t end = system_time() + bigtime_t(seconds) * 1000000; system_time() < end;) {
        int status = 0;
        pid_t done = waitpid(fPid, &status, WNOHANG);
        if (done == fPid) {
            fEnded = true;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        snooze(5000);
    }
    return -1;
}

void Background::Kill(int signal)
{
    if (!fEnded)
        kill(fPid, signal);
}

std::string helper_program()
{
    return PREFS_HELPER;
}

std::string velmor_prefs_program()
{
    return VELMOR_PREFS;
}

}  // namespace prefs_test
