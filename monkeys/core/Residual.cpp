#include "Residual.h"

#include <cstring>

#include "Cpu.h"
#include "Kernels.h"

namespace monkeys::core {

// The bit length is read off a float's exponent, so that the loop runs in
// vector registers; the conversion rounds the same way everywhere.
void portable::magnitude(const int32_t* x, int n, uint64_t* sumOut, uint64_t* bitsOut)
{
    uint64_t sum = 0;
    uint32_t bits = 0;  // at most 33 a value, 2^20 values a frame
    for (int i = 0; i < n; ++i) {
        const uint32_t a = x[i] < 0 ? 0u - uint32_t(x[i]) : uint32_t(x[i]);
        sum += a;
        uint32_t f;
        const float v = float(int32_t(a >> 1)) * 2.0f + float(int32_t(a & 1));
        std::memcpy(&f, &v, sizeof f);
        const int32_t length = int32_t(f >> 23) - 126;  // 0 for 0, else about 1 + log2
        bits += uint32_t(length < 0 ? 0 : length);
    }
    *sumOut = sum;
    *bitsOut = bits;
}

Magnitude magnitude(const int32_t* x, int n)
{
    Magnitude m;
    kernels().magnitude(x, n, &m.sum, &m.bits);
    return m;
}

} // namespace monkeys::core
