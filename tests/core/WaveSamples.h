// Samples of a PCM WAVE file, for the signal coder's tests and bench.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace coretest {

struct WaveSamples {
    int channels = 0;
    int bits = 0;
    std::vector<int32_t> samples;  // interleaved, 8-bit made signed
    size_t bytes = 0;              // size of the whole file
    int blocks() const { return channels ? int(samples.size() / size_t(channels)) : 0; }
};

// Reads at most maxBlocks blocks of integer PCM; false for anything else.
inline bool read_wave(const std::string& path, WaveSamples& s, size_t maxBlocks = SIZE_MAX)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    std::vector<uint8_t> d;
    uint8_t buf[65536];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0)
        d.insert(d.end(), buf, buf + got);
    std::fclose(f);
    s.bytes = d.size();
    auto u16 = [&](size_t o) { return uint32_t(d[o] | d[o + 1] << 8); };
    auto u32 = [&](size_t o) { return u16(o) | u16(o + 2) << 16; };
    if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) || std::memcmp(d.data() + 8, "WAVE", 4))
        return false;
    for (size_t o = 12; o + 8 <= d.size();) {
        uint32_t len = u32(o + 4);
        if (!std::memcmp(d.data() + o, "fmt ", 4) && o + 24 <= d.size()) {
            s.channels = int(u16(o + 10));
            s.bits = int(u16(o + 22));
        } else if (!std::memcmp(d.data() + o, "data", 4) && s.channels > 0 &&
                   (s.bits == 8 || s.bits == 16 || s.bits == 24 || s.bits == 32)) {
            int bytes = s.bits / 8;
            size_t n = std::min<size_t>(len, d.size() - o - 8) / size_t(bytes * s.channels);
            n = std::min(n, maxBlocks);
            s.samples.resize(n * size_t(s.channels));
            const uint8_t* p = d.data() + o + 8;
            for (auto& v : s.samples) {
                uint32_t x = 0;
                for (int b = 0; b < bytes; ++b)
                    x |= uint32_t(*p++) << (8 * b);
                v = s.bits == 8 ? int32_t(x) - 128 : int32_t(x << (32 - s.bits)) >> (32 - s.bits);
            }
            return true;
        }
        o += 8 + len + (len & 1);
    }
    return false;
}

} // namespace coretest
