// The fixtures of TestSupport.h beyond child processes and folders: binary
// files, waiting, CRC-32, WAVE files, small disks and the fault shim.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace suite_test {

namespace {

void put(Bytes& v, uint64_t x, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        v.push_back(uint8_t(x >> (8 * i)));
}

// Wave64 names chunks by GUIDs: four letters and a common tail ("riff"
// has its own).
const uint8_t kWave64Tail[12] = {0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
const uint8_t kWave64Riff[16] = {'r', 'i', 'f', 'f', 0x2E, 0x91, 0xCF, 0x11,
                                 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};

// A chunk whose size field says stated (the body's size when absent), at an
// offset of v that is one of the file's chunk boundaries.
void chunk(Bytes& v, WaveSpec::Container c, const std::string& id, const Bytes& body,
           std::optional<uint64_t> stated = std::nullopt)
{
    v.insert(v.end(), id.begin(), id.end());
    if (c == WaveSpec::Container::Wave64) {
        v.insert(v.end(), kWave64Tail, kWave64Tail + 12);
        put(v, stated ? *stated : body.size() + 24, 8);   // counts the chunk's header
    } else {
        put(v, stated.value_or(body.size()), 4);
    }
    v.insert(v.end(), body.begin(), body.end());
    while (v.size() % (c == WaveSpec::Container::Wave64 ? 8 : 2) != 0)
        v.push_back(0);
}

} // namespace

Bytes read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        ADD_FAILURE() << "cannot write " << path;
}

bool sanitizer_run()
{
    const char* value = std::getenv("SUITE_SANITIZER_RUN");
    return value != nullptr && *value != '\0' && std::string(value) != "0";
}

bool eventually(const std::function<bool()>& condition, int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

uint32_t crc32(const uint8_t* data, size_t size)
{
    uint32_t c = ~0u;
    for (size_t i = 0; i < size; ++i) {
        c ^= data[i];
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
}

Bytes make_wave(const WaveSpec& s, const std::vector<int32_t>& samples)
{
    const int bytes = (s.bits + 7) / 8;
    Bytes fmt;
    put(fmt, s.extensible ? 0xFFFE : 1, 2);
    put(fmt, uint32_t(s.channels), 2);
    put(fmt, s.rate, 4);
    put(fmt, s.rate * uint32_t(s.channels * bytes), 4);
    put(fmt, uint32_t(s.channels * bytes), 2);
    put(fmt, uint32_t(bytes * 8), 2);
    if (s.extensible) {
        put(fmt, 22, 2);
        put(fmt, uint32_t(s.bits), 2);
        put(fmt, 0, 4);
        const uint8_t pcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        fmt.insert(fmt.end(), pcm, pcm + 16);
    }
    Bytes data;
    for (int32_t v : samples)
        put(data, bytes == 1 ? uint32_t(v + 128) : uint32_t(v), bytes);

    using C = WaveSpec::Container;
    const C c = s.container;
    Bytes body;
    for (auto& before : s.before)
        chunk(body, c, before.first, before.second);
    chunk(body, c, "fmt ", fmt);
    // RF64 states the data's size in its ds64 chunk, first.
    chunk(body, c, "data", data, c == C::Rf64 ? std::optional<uint64_t>(0xFFFFFFFF) : s.statedDataSize);
    for (auto& after : s.after)
        chunk(body, c, after.first, after.second);
    Bytes file;
    if (c == C::Wave64) {
        file.assign(kWave64Riff, kWave64Riff + 16);
        put(file, 40 + body.size(), 8);
        file.insert(file.end(), {'w', 'a', 'v', 'e'});
        file.insert(file.end(), kWave64Tail, kWave64Tail + 12);
    } else if (c == C::Rf64) {
        Bytes ds64;
        put(ds64, 4 + 36 + body.size(), 8);
        put(ds64, s.statedDataSize.value_or(data.size()), 8);
        put(ds64, samples.size() / size_t(s.channels), 8);
        put(ds64, 0, 4);
        file = {'R', 'F', '6', '4', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E'};
        chunk(file, c, "ds64", ds64);
    } else {
        file = {'R', 'I', 'F', 'F'};
        put(file, 4 + body.size(), 4);
        file.insert(file.end(), {'W', 'A', 'V', 'E'});
    }
    file.insert(file.end(), body.begin(), body.end());
    file.insert(file.end(), s.junk.begin(), s.junk.end());
    return file;
}

SmallDiskRun run_on_small_disk(const std::vector<std::string>& argv, const RunOptions& options,
                               const std::string& folder, unsigned long long bytes,
                               const std::vector<std::string>& preload,
                               const std::string& keep_file)
{
    // The shell runs in the new mount namespace: it mounts, copies, runs the
    // program, then reports what the folder holds before the mount goes.
    static const char script[] =
        "folder=$1; size=$2; keep=$3; copy=$4; count=$5; shift 5\n"
        "mount -t tmpfs -o size=$size,mode=0755 tmpfs \"$folder\" 2>/dev/null || exit 0\n"
        "echo @@mounted >&2\n"
        "while [ \"$count\" -gt 0 ]; do cp -- \"$1\" \"$folder/\" || exit 0; shift; count=$((count-1)); done\n"
        "(cd \"$folder\" && exec \"$@\"); rc=$?\n"
        "echo @@left >&2; ls -A \"$folder\" >&2\n"
        "[ -z \"$keep\" ] || cp -- \"$folder/$keep\" \"$copy\" 2>/dev/null\n"
        "exit $rc\n";
    const std::string copy = folder + ".kept";
    std::vector<std::string> full{"unshare", "--mount", "--propagation", "private", "sh", "-c", script,
                                  "sh", folder, std::to_string(bytes), keep_file, copy,
                                  std::to_string(preload.size())};
    full.insert(full.end(), preload.begin(), preload.end());
    full.insert(full.end(), argv.begin(), argv.end());
    std::remove(copy.c_str());

    SmallDiskRun run;
    run.result = run_program(full, options);
    std::string& err = run.result.err;
    const size_t mounted = err.find("@@mounted\n");
    if (mounted == std::string::npos)
        return run;
    run.mounted = true;
    err.erase(mounted, std::string("@@mounted\n").size());
    const size_t left = err.rfind("@@left\n");
    if (left != std::string::npos) {
        std::istringstream names(err.substr(left + 7));
        for (std::string name; std::getline(names, name);)
            run.left.push_back(name);
        std::sort(run.left.begin(), run.left.end());
        err.erase(left);
    }
    if (!keep_file.empty()) {
        run.kept = read_bytes(copy);
        std::remove(copy.c_str());
    }
    return run;
}

int native_nice(const std::string& name)
{
    std::error_code ignored;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ignored)) {
        std::ifstream in(task.path() / "comm");
        std::string comm;
        if (!std::getline(in, comm) || comm != name.substr(0, 15))
            continue;
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, id_t(std::stoi(task.path().filename().string())));
        return errno == 0 ? nice : kNoThread;
    }
    return kNoThread;
}

bool priorities_reach_the_scheduler()
{
    if (geteuid() == 0)
        return true;
    rlimit limit;
    errno = 0;
    const int base = getpriority(PRIO_PROCESS, 0);
    return getrlimit(RLIMIT_NICE, &limit) == 0 &&
           (limit.rlim_cur == RLIM_INFINITY || 20 - int(std::min<rlim_t>(limit.rlim_cur, 40)) <= base);
}

std::string fault_shim()
{
    return fake_library("fault_shim");
}

void add_fault_shim(Environment& env)
{
    env["LD_PRELOAD"] = fault_shim();
    // A sanitized program wants its runtime first in the library list.
    const char* asan = std::getenv("ASAN_OPTIONS");
    env["ASAN_OPTIONS"] = std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0";
}

} // namespace suite_test
