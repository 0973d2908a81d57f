// Writes seed cases for fuzz_decode_frame: frames of every level and
// method made from a few small signals, and the same frames' residuals
// in every entropy coder the decoder reads (the encoder picks one).
#include <cmath>
#include <cstdio>
#include <string>

#include "FuzzFrame.h"
#include "ResidualSection.h"
#include "Samples.h"
#include "Search.h"

namespace {

bool write(const char* dir, int& n, const std::vector<uint8_t>& seed)
{
    std::string path = std::string(dir) + "/seed" + std::to_string(n++);
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    std::fwrite(seed.data(), 1, seed.size(), out);
    std::fclose(out);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace monkeys::core;
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
                Bytes payload;
                monkeys::FrameFormat f{channels, bits, level};
                monkeys::encode_frame(f, x.data(), blocks, payload);
                if (!write(argv[1], n, corefuzz::make(f, blocks, payload)))
                    return 1;
                if (level != 2000 || payload[0] != kPredicted)
                    continue;
                const Coded& coded = encode_predicted(f, Ints{x.data()}, blocks);
                int32_t* xs[32];
                for (int c = 0; c < channels; ++c)
                    xs[c] = const_cast<int32_t*>(coded.planes.data()) + size_t(c) * blocks;
                for (uint8_t coder : {kRiceSplit, kRange, kTans}) {
                    Header h = coded.h;
                    h.prof.entropy = coder;
                    payload.clear();
                    put_parameters(h, channels, payload);
                    put_residuals(f, h, blocks, xs, payload);
                    if (!write(argv[1], n, corefuzz::make(f, blocks, payload)))
                        return 1;
                }
            }
    return 0;
}
