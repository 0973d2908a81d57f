#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace suite_test {

namespace {

bool removed_by_default(const std::string& name)
{
    return name == "HOME" || name == "XDG_CONFIG_HOME" || name == "LANG" || name == "LANGUAGE"
        || name.rfind("LC_", 0) == 0;
}

void set_nonblocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

double now_seconds()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

} // namespace

std::vector<std::string> child_environment(const Environment& changes)
{
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const size_t eq = entry.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string name = entry.substr(0, eq);
        if (!removed_by_default(name))
            env[name] = entry.substr(eq + 1);
    }
    for (const auto& [name, value] : changes) {
        if (value)
            env[name] = *value;
        else
            env.erase(name);
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : env)
        result.push_back(name + "=" + value);
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> result;
    for (std::string& s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}


ProgramResult run_program(const std::vector<std::string>& argv, const Environment& env,
                          const std::string& cwd)
{
    RunOptions options;
    options.env = env;
    options.cwd = cwd;
    return run_program(argv, options);
}

ProgramResult run_program(const std::vector<std::string>& argv, const RunOptions& options)
{
    ProgramResult result;
    if (argv.empty()) {
        ADD_FAILURE() << "run_program: empty argument vector";
        return result;
    }
    std::vector<std::string> args(argv);
    std::vector<std::string> envStrings = child_environment(options.env);
    std::vector<char*> argp = pointers(args);
    std::vector<char*> envp = pointers(envStrings);

    int out[2], err[2], in[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "run_program: pipe: " << strerror(errno);
        return result;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "run_program: fork: " << strerror(errno);
        return result;
    }
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0)
            _exit(126);
        if (options.file_size_limit != 0) {
            const rlimit limit = {options.file_size_limit, options.file_size_limit};
            if (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(125);
        }
        if (options.address_space_mib != 0) {
            const rlimit limit = {options.address_space_mib << 20, options.address_space_mib << 20};
            if (setrlimit(RLIMIT_AS, &limit) != 0)
                _exit(125);
        }
        environ = envp.data();
        execvp(argp[0], argp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    set_nonblocking(in[1]);
    set_nonblocking(out[0]);
    set_nonblocking(err[0]);

    size_t written = 0;
    if (options.input.empty()) {
        close(in[1]);
        in[1] = -1;
    }
    const double deadline = now_seconds() + options.timeout_seconds;
    bool outOpen = true, errOpen = true;
    char buffer[65536];
    while (outOpen || errOpen) {
        pollfd fds[3];
        int count = 0;
        if (outOpen)
            fds[count++] = {out[0], POLLIN, 0};
        if (errOpen)
            fds[count++] = {err[0], POLLIN, 0};
        if (in[1] >= 0)
            fds[count++] = {in[1], POLLOUT, 0};
        const double left = deadline - now_seconds();
        if (left <= 0) {
            kill(pid, SIGKILL);
            result.timed_out = true;
            break;
        }
        if (poll(fds, count, static_cast<int>(left * 1000) + 1) < 0 && errno != EINTR)
            break;
        for (int k = 0; k < count; ++k) {
            if (!fds[k].revents)
                continue;
            if (fds[k].fd == in[1]) {
                const ssize_t n = write(in[1], options.input.data() + written, options.input.size() - written);
                if (n > 0)
                    written += static_cast<size_t>(n);
                if (n < 0 || written == options.input.size()) {
                    close(in[1]);
                    in[1] = -1;
                }
                continue;
            }
            const ssize_t n = read(fds[k].fd, buffer, sizeof buffer);
            if (n > 0) {
                (fds[k].fd == out[0] ? result.out : result.err).append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                (fds[k].fd == out[0] ? outOpen : errOpen) = false;
            }
        }
    }
    if (in[1] >= 0)
        close(in[1]);
    close(out[0]);
    close(err[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}

TempDir::TempDir(const std::string& prefix)
{
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        ADD_FAILURE() << "mkdtemp " << pattern << ": " << strerror(errno);
    // The real path, so that tests may compare it with what programs see.
    char resolved[PATH_MAX];
    fPath = realpath(buffer.data(), resolved) ? resolved : buffer.data();
}

TempDir::~TempDir()
{
    std::error_code ignored;
    // Folders made unreadable by a test must not stay behind.
    for (auto it = std::filesystem::recursive_directory_iterator(
             fPath, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            chmod(it->path().c_str(), 0700);
    }
    chmod(fPath.c_str(), 0700);
    std::filesystem::remove_all(fPath, ignored);
}

std::string TempDir::operator/(const std::string& relative) const
{
    return fPath + "/" + relative;
}

Environment TempHome::Env() const
{
    return Environment{{"HOME", Path()}, {"XDG_CONFIG_HOME", std::nullopt}};
}

std::string TempHome::LibraryFolder() const
{
    return *this / ".local/lib";
}

void TempHome::InstallLibrary(const std::string& libraryFile) const
{
    // A new file renamed into place: a library still mapped by the test
    // process must never be rewritten under it.
    make_dirs(LibraryFolder());
    const std::string target = LibraryFolder() + "/libMonkeysAudio.so";
    copy_file(libraryFile, target + ".new");
    if (rename((target + ".new").c_str(), target.c_str()) != 0)
        ADD_FAILURE() << "rename to " << target << ": " << strerror(errno);
}

std::string fake_library(const std::string& name)
{
    return std::string(SUITE_FAKES_DIR) + "/" + name + ".so";
}

std::string build_dir()
{
    return SUITE_BUILD_DIR;
}

std::string source_dir()
{
    return SUITE_SOURCE_DIR;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : fName(name)
{
    if (const char* old = getenv(name))
        fOld = old;
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (fOld)
        setenv(fName.c_str(), fOld->c_str(), 1);
    else
        unsetenv(fName.c_str());
}

void make_dirs(const std::string& path)
{
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error)
        ADD_FAILURE() << "mkdir -p " << path << ": " << error.message();
}

void write_file(const std::string& path, const std::string& content)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    if (!file)
        ADD_FAILURE() << "cannot write " << path;
}

std::string read_file(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        ADD_FAILURE() << "cannot read " << path;
        return "";
    }
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void copy_file(const std::string& from, const std::string& to)
{
    std::error_code error;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
    if (error)
        ADD_FAILURE() << "cp " << from << " " << to << ": " << error.message();
}

void make_symlink(const std::string& target, const std::string& link)
{
    if (symlink(target.c_str(), link.c_str()) != 0)
        ADD_FAILURE() << "ln -s " << target << " " << link << ": " << strerror(errno);
}

bool file_exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> split_lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace suite_test
