#include "MessagingTestSupport.h"

#include <TestSupport.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace messaging_test {

namespace {

// Generous: the tests never rely on speed, only on things happening.
constexpr auto kPatience = std::chrono::seconds(60);

std::string make_runtime_dir()
{
    char pattern[] = "/tmp/messaging-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    setenv("XDG_RUNTIME_DIR", pattern, 1);
    return pattern;
}

struct RuntimeDir {
    std::string path = make_runtime_dir();
    pid_t owner = getpid();
    ~RuntimeDir()
    {
        if (getpid() == owner) {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    }
};

RuntimeDir gRuntimeDir;

} // namespace

std::string runtime_dir()
{
    return gRuntimeDir.path;
}

Helper::Helper(const std::vector<std::string>& args) : fPid(-1), fOutput(-1), fWaited(false)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<std::string> all = {MESSAGING_HELPER};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    fPid = fork();
    if (fPid == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    fOutput = pipeFds[0];
}

Helper::~Helper()
{
    if (!fWaited && fPid > 0) {
        kill(fPid, SIGKILL);
        Wait();
    }
    if (fOutput >= 0)
        close(fOutput);
}

std::string Helper::ReadLine()
{
    auto end = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        size_t newline = fBuffer.find('\n');
        if (newline != std::string::npos) {
            std::string line = fBuffer.substr(0, newline);
            fBuffer.erase(0, newline + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::string();
        pollfd p {fOutput, POLLIN, 0};
        int n = poll(&p, 1, static_cast<int>(left.count()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::string();
        char chunk[512];
        ssize_t got = read(fOutput, chunk, sizeof chunk);
        if (got <= 0)
            return std::string();
        fBuffer.append(chunk, static_cast<size_t>(got));
    }
}

std::string Helper::ReadLineStartingWith(const std::string& prefix)
{
    for (;;) {
        std::string line = ReadLine();
        if (line.empty() || line.rfind(prefix, 0) == 0)
            return line;
    }
}

void Helper::Kill(int signal)
{
    kill(fPid, signal);
}

int Helper::Wait()
{
    int status = 0;
    while (waitpid(fPid, &status, 0) < 0 && errno == EINTR) {
    }
    fWaited = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace messaging_test
