#include "HardeningSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace hardening {

using namespace suite_test;

std::string program(const std::string& name)
{
    return std::string(HARDENING_APPS_DIR) + "/" + name + "/" + name;
}

std::string library()
{
    return HARDENING_LIBRARY;
}

std::string make_wave(double seconds, int channels, int rate, int bits)
{
    const uint32_t frames = uint32_t(seconds * rate);
    std::vector<int32_t> samples;
    samples.reserve(size_t(frames) * channels);
    uint32_t noise = 12345;
    for (uint32_t i = 0; i < frames; i++)
        for (int c = 0; c < channels; c++) {
            noise = noise * 1103515245u + 12345u;
            const double t = double(i) / rate;
            double v = 0.4 * std::sin(2 * M_PI * (110.0 * (c + 1)) * t)
                       + 0.2 * std::sin(2 * M_PI * 440.0 * t * (1 + 0.001 * c))
                       + 0.02 * (double((noise >> 16) & 0x7FFF) / 16384.0 - 1.0);
            samples.push_back(int32_t(v * ((1LL << (bits - 1)) - 1)));
        }
    suite_test::WaveSpec spec;
    spec.channels = channels;
    spec.rate = uint32_t(rate);
    spec.bits = bits;
    const suite_test::Bytes wave = suite_test::make_wave(spec, samples);
    return std::string(wave.begin(), wave.end());
}

std::vector<std::string> list_dir(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return names;
    while (dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

HardeningTest::HardeningTest()
{
    make_dirs(Work());
    fHome.InstallLibrary(library());
}

RunOptions HardeningTest::Options() const
{
    RunOptions options;
    options.env = fHome.Env();
    options.env["LANG"] = "en_US.UTF-8";
    for (const auto& [variable, value] : fExtraEnv)
        options.env[variable] = value;
    return options;
}

ProgramResult HardeningTest::Run(const std::string& name, const std::vector<std::string>& args,
                                 const Limits& limits, int timeoutSeconds)
{
    std::vector<std::string> argv{name.find('/') == std::string::npos ? program(name) : name};
    argv.insert(argv.end(), args.begin(), args.end());
    RunOptions options = Options();
    options.cwd = Work();
    options.timeout_seconds = timeoutSeconds;
    options.file_size_limit = limits.file_size;
    options.address_space_mib = limits.memory_mib;
    return run_program(argv, options);
}

suite_test::SmallDiskRun HardeningTest::RunOnSmallDisk(const std::string& name,
                                                     const std::vector<std::string>& args,
                                                     unsigned long long bytes,
                                                     const std::vector<std::string>& preload,
                                                     const std::string& keep)
{
    const std::string disk = InWork("disk");
    suite_test::make_dirs(disk);
    std::vector<std::string> argv{program(name)};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> copies;
    for (const std::string& file : preload)
        copies.push_back(InWork(file));
    RunOptions options = Options();
    options.timeout_seconds = 120;
    return suite_test::run_on_small_disk(argv, options, disk, bytes, copies, keep);
}

namespace {

long now_micros()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000L + ts.tv_nsec / 1000;
}

Ending ending_of(int status)
{
    Ending ending;
    if (WIFSIGNALED(status)) {
        ending.signalled = true;
        ending.signal = WTERMSIG(status);
    } else if (WIFEXITED(status)) {
        ending.status = WEXITSTATUS(status);
    }
    return ending;
}

} // namespace

pid_t HardeningTest::Start(const std::string& name, const std::vector<std::string>& args)
{
    const std::string path = name.find('/') == std::string::npos ? program(name) : name;
    std::vector<std::string> env = {"HOME=" + fHome.Path(), "LANG=en_US.UTF-8",
                                    "PATH=/usr/bin:/bin"};
    for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS"})
        if (const char* value = getenv(keep))
            env.push_back(std::string(keep) + "=" + value);
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string cwd = Work();

    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        signal(SIGINT, SIG_DFL);
        execve(path.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    if (pid < 0)
        ADD_FAILURE() << "fork: " << std::strerror(errno);
    return pid;
}

Ending HardeningTest::Wait(pid_t pid)
{
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid)
        return {};
    return ending_of(status);
}

Ending HardeningTest::RunAndSignal(const std::string& name, const std::vector<std::string>& args,
                                   long delayMicros, int sig)
{
    const pid_t pid = Start(name, args);
    if (pid < 0)
        return {};
    const long until = now_micros() + delayMicros;
    int status = 0;
    bool done = false;
    while (now_micros() < until) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            done = true;
            break;
        }
        usleep(200);
    }
    if (!done) {
        kill(pid, sig);
        // A run that ignores the signal is a hang: end it for good.
        const long deadline = now_micros() + 60'000'000L;
        while (waitpid(pid, &status, WNOHANG) != pid) {
            if (now_micros() > deadline) {
                ADD_FAILURE() << name << " ignored signal " << sig;
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            usleep(1000);
        }
    }
    return ending_of(status);
}

long HardeningTest::TimeOfRun(const std::string& name, const std::vector<std::string>& args)
{
    const long start = now_micros();
    ProgramResult result = Run(name, args);
    EXPECT_EQ(result.status, 0) << result.out;
    return now_micros() - start;
}

} // namespace hardening
