// Codes every WAVE file of a folder with the signal coder at each level
// and prints size ratio and CPU seconds beside flac and wavpack run on the
// same files. Usage: core_bench DIR [--levels=1000,2000,...] [--no-peers]
// [--per-file] [--breakdown]
//
// --breakdown: per level, the share of the coded bytes spent on residuals,
// on the frames' parameters and on headers (the container's 32 bytes a
// frame: frame header and seek entry, and the stored WAVE header), and the
// frames whose coded size is well above (5 %, 20 %) what EXTRAHIGH, the
// strongest predictor and coder, makes of the same frame.
#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "FrameCodec.h"
#include "WaveSamples.h"

namespace {

double cpu_seconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double children_cpu_seconds()
{
    rusage u;
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

long file_size(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return -1;
    std::fseek(f, 0, SEEK_END);
    long n = std::ftell(f);
    std::fclose(f);
    return n;
}

struct Peer {
    const char* name;
    std::string encode;  // %in %out
    std::string decode;
    const char* ext;
};

std::string fill(std::string cmd, const std::string& in, const std::string& out)
{
    for (auto [key, val] : {std::pair<std::string, std::string>{"%in", in}, {"%out", out}}) {
        size_t at;
        while ((at = cmd.find(key)) != std::string::npos)
            cmd.replace(at, key.size(), "'" + val + "'");
    }
    return cmd;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR [--levels=1000,2000,3000,4000] [--no-peers] [--per-file] [--breakdown]\n",
                     argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    std::vector<int> levels = {1000, 2000, 3000, 4000};
    bool peers = true, perFile = false, breakdown = false;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--levels=", 0) == 0) {
            levels.clear();
            for (size_t p = 9; p < a.size();) {
                levels.push_back(std::atoi(a.c_str() + p));
                size_t c = a.find(',', p);
                p = c == std::string::npos ? a.size() : c + 1;
            }
        } else if (a == "--per-file") {
            perFile = true;
        } else if (a == "--breakdown") {
            breakdown = true;
        } else if (a == "--no-peers") {
            peers = false;
        }
    }
    std::vector<std::string> files;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 4 && n.substr(n.size() - 4) == ".wav")
                files.push_back(dir + "/" + n);
        }
        closedir(d);
    }
    std::vector<coretest::WaveSamples> waves;
    std::vector<std::string> names;
    double wavBytes = 0;
    for (const auto& f : files) {
        coretest::WaveSamples w;
        if (coretest::read_wave(f, w)) {
            wavBytes += double(w.bytes);
            waves.push_back(std::move(w));
            names.push_back(f.substr(f.rfind('/') + 1));
        } else {
            std::fprintf(stderr, "skipped %s\n", f.c_str());
        }
    }
    std::printf("%zu files, %.1f MB of WAVE\n", waves.size(), wavBytes / 1e6);
    std::printf("%-18s %8s %9s %9s\n", "codec", "ratio", "enc CPU", "dec CPU");
    const int frame = monkeys::kPreferredFrameBlocks;
    // the strongest level's frame sizes, file by file, for the breakdown
    std::vector<std::vector<size_t>> strongest(waves.size());
    if (breakdown)
        for (size_t wi = 0; wi < waves.size(); ++wi) {
            const auto& w = waves[wi];
            for (int b = 0; b < w.blocks(); b += frame) {
                monkeys::core::Bytes out;
                monkeys::encode_frame({w.channels, w.bits, 4000}, &w.samples[size_t(b) * w.channels],
                                      std::min(frame, w.blocks() - b), out);
                strongest[wi].push_back(out.size());
            }
        }
    struct Breakdown {
        double residuals = 0, parameters = 0, headers = 0;
        double above5 = 0, above20 = 0;  // bytes of the frames well above the strongest
        int frames = 0, framesAbove5 = 0, framesAbove20 = 0;
    };
    std::vector<std::pair<int, Breakdown>> breakdowns;
    for (int level : levels) {
        Breakdown bd;
        double bytes = 0, enc = 0, dec = 0;
        bool exact = true;
        for (size_t wi = 0; wi < waves.size(); ++wi) {
            const auto& w = waves[wi];
            double before = bytes;
            monkeys::FrameFormat fmt{w.channels, w.bits, level};
            std::vector<monkeys::core::Bytes> frames;
            double t0 = cpu_seconds();
            for (int b = 0; b < w.blocks(); b += frame) {
                frames.emplace_back();
                monkeys::encode_frame(fmt, &w.samples[size_t(b) * w.channels], std::min(frame, w.blocks() - b),
                                      frames.back());
            }
            double t1 = cpu_seconds();
            std::vector<int32_t> back(size_t(frame) * w.channels);
            for (size_t i = 0; i < frames.size(); ++i) {
                int b = int(i) * frame, n = std::min(frame, w.blocks() - b);
                bool ok = monkeys::decode_frame(fmt, frames[i].data(), frames[i].size(), n, back.data());
                exact = exact && ok &&
                        std::equal(back.begin(), back.begin() + size_t(n) * w.channels,
                                   w.samples.begin() + size_t(b) * w.channels);
            }
            double t2 = cpu_seconds();
            enc += t1 - t0;
            dec += t2 - t1;
            for (const auto& fr : frames)
                bytes += double(fr.size()) + 8;  // frame size and CRC in the file
            bytes += double(w.bytes) - double(w.samples.size()) * (w.bits / 8);  // stored header
            if (breakdown) {
                bd.headers += double(w.bytes) - double(w.samples.size()) * (w.bits / 8);
                for (size_t i = 0; i < frames.size(); ++i) {
                    int b = int(i) * frame, n = std::min(frame, w.blocks() - b);
                    monkeys::FrameAnatomy a;
                    if (!monkeys::frame_anatomy(fmt, frames[i].data(), frames[i].size(), n, a))
                        continue;
                    bd.residuals += double(a.residuals);
                    bd.parameters += double(a.parameters);
                    bd.headers += 32;
                    ++bd.frames;
                    const double ratio = double(frames[i].size()) / double(std::max<size_t>(strongest[wi][i], 1));
                    if (ratio > 1.05) {
                        ++bd.framesAbove5;
                        bd.above5 += double(frames[i].size());
                    }
                    if (ratio > 1.2) {
                        ++bd.framesAbove20;
                        bd.above20 += double(frames[i].size());
                    }
                }
            }
            if (perFile)
                std::printf("  %-24s %8.4f %12.0f\n", names[wi].c_str(), (bytes - before) / double(w.bytes),
                            bytes - before);
        }
        std::printf("level %-12d %8.4f %9.2f %9.2f %12.0f bytes%s\n", level, bytes / wavBytes, enc, dec, bytes,
                    exact ? "" : "  ROUND TRIP FAILED");
        std::fflush(stdout);
        breakdowns.emplace_back(level, bd);
    }
    if (breakdown) {
        std::printf("\nwhere the bytes go (shares of each level's total); frames above EXTRAHIGH's size "
                    "by 5 %% and 20 %% (count, share of the level's bytes)\n");
        std::printf("%-6s %9s %10s %8s %14s %14s\n", "level", "residual", "parameter", "header", "> 1.05 x", "> 1.2 x");
        for (const auto& [level, bd] : breakdowns) {
            const double total = bd.residuals + bd.parameters + bd.headers;
            std::printf("%-6d %8.2f%% %9.3f%% %7.3f%% %6d %6.1f%% %6d %6.1f%%\n", level, 100 * bd.residuals / total,
                        100 * bd.parameters / total, 100 * bd.headers / total, bd.framesAbove5,
                        100 * bd.above5 / total, bd.framesAbove20, 100 * bd.above20 / total);
        }
    }
    if (!peers)
        return 0;
    char tmpl[] = "/tmp/core-bench-XXXXXX";
    std::string tmp = mkdtemp(tmpl);
    const Peer list[] = {
        {"flac -5", "flac -s -f -5 -o %out %in", "flac -s -f -d -o %out %in", ".flac"},
        {"flac -8", "flac -s -f -8 -o %out %in", "flac -s -f -d -o %out %in", ".flac"},
        {"wavpack -hh -x4", "wavpack -q -y -hh -x4 %in -o %out", "wvunpack -q -y %in -o %out", ".wv"},
        {"wavpack -hh -x6", "wavpack -q -y -hh -x6 %in -o %out", "wvunpack -q -y %in -o %out", ".wv"},
    };
    for (const Peer& p : list) {
        double bytes = 0, enc = 0, dec = 0;
        for (const auto& f : files) {
            std::string coded = tmp + "/x" + p.ext, wav = tmp + "/x.wav";
            double t0 = children_cpu_seconds();
            if (std::system(fill(p.encode, f, coded).c_str()) != 0)
                std::fprintf(stderr, "%s failed on %s\n", p.name, f.c_str());
            double t1 = children_cpu_seconds();
            if (std::system(fill(p.decode, coded, wav).c_str()) != 0)
                std::fprintf(stderr, "%s decode failed on %s\n", p.name, f.c_str());
            double t2 = children_cpu_seconds();
            enc += t1 - t0;
            dec += t2 - t1;
            bytes += double(file_size(coded));
            unlink(coded.c_str());
            unlink(wav.c_str());
        }
        std::printf("%-18s %8.4f %9.2f %9.2f\n", p.name, bytes / wavBytes, enc, dec);
        std::fflush(stdout);
    }
    rmdir(tmp.c_str());
    return 0;
}
