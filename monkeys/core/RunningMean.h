// The running mean of coded values that both entropy coders adapt to
// (private to them).
#pragma once

#include <algorithm>
#include <cstdint>

namespace monkeys::core {

inline int value_bits(uint32_t v) { return v == 0 ? 0 : 32 - __builtin_clz(v); }

// Running mean of the coded values, 16 times over.
struct Mean {
    uint32_t sum = 16 * 16;
    uint32_t mean() const { return sum >> 4; }
    void update(uint32_t u) { sum += std::min(u, 1u << 27) - (sum >> 4); }
};

inline int rice_k(const Mean& m) { return 31 ^ __builtin_clz(m.mean() | 1); }

} // namespace monkeys::core
