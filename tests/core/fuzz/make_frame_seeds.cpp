// Writes seed cases for fuzz_decode_frame: frames of every level and
// method made from a few small signals.
#include <cmath>
#include <cstdio>
#include <string>

#include "FuzzFrame.h"

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    int n = 0;
    for (int channels : {1, 2, 6})
        for (int bits : {8, 16, 24, 32})
            for (int level : {1000, 2000, 3000, 4000}) {
                const int blocks = 700;
                std::vector<int32_t> x(size_t(blocks) * channels);
                double full = std::ldexp(1.0, bits - 1) - 1;
                for (int i = 0; i < blocks; ++i)
                    for (int c = 0; c < channels; ++c)
                        x[size_t(i) * channels + c] = int32_t(
                            full * (0.5 * std::sin(i * 0.05 * (c + 1)) + 0.02 * std::sin(i * 1.7 + c * i)));
                if (level == 4000 && channels == 1)
                    for (auto& v : x)
                        v = int32_t(uint32_t(v) * 2654435761u) >> (32 - bits);  // noise: verbatim
                std::vector<uint8_t> payload;
                monkeys::FrameFormat f{channels, bits, level};
                monkeys::encode_frame(f, x.data(), blocks, payload);
                std::vector<uint8_t> seed = corefuzz::make(f, blocks, payload);
                std::string path = std::string(argv[1]) + "/seed" + std::to_string(n++);
                FILE* out = std::fopen(path.c_str(), "wb");
                if (!out)
                    return 1;
                std::fwrite(seed.data(), 1, seed.size(), out);
                std::fclose(out);
            }
    return 0;
}
