// Writes seed files for the fuzz targets: small WAVE files of several
// shapes, and the APE files the library makes of them.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Coding.h"

namespace {

void put(std::vector<uint8_t>& v, uint32_t x, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        v.push_back(uint8_t(x >> (8 * i)));
}

std::vector<uint8_t> wave(int channels, int bits, int blocks, bool extensible, bool extra)
{
    int bytes = bits / 8;
    std::vector<uint8_t> fmt;
    put(fmt, extensible ? 0xFFFE : 1, 2);
    put(fmt, uint32_t(channels), 2);
    put(fmt, 44100, 4);
    put(fmt, uint32_t(44100 * channels * bytes), 4);
    put(fmt, uint32_t(channels * bytes), 2);
    put(fmt, uint32_t(bits), 2);
    if (extensible) {
        put(fmt, 22, 2);
        put(fmt, uint32_t(bits), 2);
        put(fmt, 3, 4);
        const uint8_t pcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        fmt.insert(fmt.end(), pcm, pcm + 16);
    }
    std::vector<uint8_t> body = {'W', 'A', 'V', 'E'};
    auto chunk = [&](const char* id, const std::vector<uint8_t>& b) {
        body.insert(body.end(), id, id + 4);
        put(body, uint32_t(b.size()), 4);
        body.insert(body.end(), b.begin(), b.end());
        if (b.size() & 1)
            body.push_back(0);
    };
    if (extra)
        chunk("LIST", {'I', 'N', 'F', 'O', 'z'});
    chunk("fmt ", fmt);
    std::vector<uint8_t> data;
    for (int i = 0; i < blocks * channels; ++i) {
        double v = std::sin(i * 0.05) * std::ldexp(0.5, bits - 1);
        put(data, bits == 8 ? uint32_t(int(v) + 128) : uint32_t(int32_t(v)), bytes);
    }
    chunk("data", data);
    if (extra)
        chunk("id3 ", {1, 2, 3});
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
    put(file, uint32_t(body.size()), 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seeds WAVE_DIR APE_DIR\n");
        return 2;
    }
    struct Shape { int channels, bits, blocks; bool extensible, extra; };
    const Shape shapes[] = {{2, 16, 300, false, true}, {1, 8, 100, false, false}, {3, 24, 50, true, false},
                            {1, 32, 40, false, true}, {6, 16, 1, false, false}, {2, 16, 0, false, false}};
    int n = 0;
    for (const Shape& s : shapes) {
        std::string name = "seed" + std::to_string(n++);
        std::string wav = std::string(argv[1]) + "/" + name + ".wav";
        std::string ape = std::string(argv[2]) + "/" + name + ".ape";
        std::vector<uint8_t> w = wave(s.channels, s.bits, s.blocks, s.extensible, s.extra);
        FILE* f = std::fopen(wav.c_str(), "wb");
        if (!f || std::fwrite(w.data(), 1, w.size(), f) != w.size())
            return 1;
        std::fclose(f);
        std::remove(ape.c_str());
        monkeys::Progress progress(nullptr, nullptr, nullptr);
        if (monkeys::compress_stream(monkeys::named_stream(wav.c_str()), monkeys::named_stream(ape.c_str()),
                                     1000 * (n % 4 + 1), nullptr, progress) != 0)
            return 1;
    }
    return 0;
}
