#include "Checksum.h"

#include <algorithm>
#include <cstring>

#include "core/Cpu.h"
#include "core/Md5Steps.h"

namespace monkeys {

namespace {

// Eight tables: the CRC advances eight bytes per step.
struct CrcTables {
    uint32_t t[8][256];
    CrcTables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (int k = 1; k < 8; ++k)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
};

const CrcTables kCrc;

} // namespace

uint32_t crc32(uint32_t crc, const void* data, size_t size)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint32_t c = ~crc;
    if (const auto fold = core::kernels().crc32_fold; fold && size >= 64) {
        const size_t bulk = size & ~size_t(15);
        c = fold(c, p, bulk);
        p += bulk;
        size -= bulk;
    }
    while (size >= 8) {
        uint32_t lo = c ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
        c = kCrc.t[7][lo & 0xFF] ^ kCrc.t[6][(lo >> 8) & 0xFF] ^ kCrc.t[5][(lo >> 16) & 0xFF] ^
            kCrc.t[4][lo >> 24] ^ kCrc.t[3][p[4]] ^ kCrc.t[2][p[5]] ^ kCrc.t[1][p[6]] ^ kCrc.t[0][p[7]];
        p += 8;
        size -= 8;
    }
    while (size--)
        c = kCrc.t[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    return ~c;
}

namespace {

// a × b modulo the polynomial, both in the CRC's reflected order
uint32_t multiply_mod(uint32_t a, uint32_t b)
{
    uint32_t product = 0;
    for (uint32_t m = 1u << 31; m; m >>= 1) {
        if (a & m)
            product ^= b;
        b = (b & 1) ? (b >> 1) ^ 0xEDB88320u : b >> 1;
    }
    return product;
}

// x^(2^k) modulo the polynomial, for k = 0..63
struct CrcSquares {
    uint32_t x2k[64];
    CrcSquares() {
        uint32_t p = 1u << 30;  // x^1
        for (uint32_t& v : x2k) {
            v = p;
            p = multiply_mod(p, p);
        }
    }
};

const CrcSquares kSquares;

} // namespace

uint32_t crc32_combine(uint32_t crcA, uint32_t crcB, uint64_t sizeB)
{
    // A then B is A shifted over B's 8 × sizeB bits, plus B (the CRC's
    // pre- and post-inversions cancel over a shift).
    uint32_t shift = 1u << 31;  // x^0
    for (int k = 3; sizeB; sizeB >>= 1, ++k)
        if (sizeB & 1)
            shift = multiply_mod(kSquares.x2k[k & 63], shift);
    return multiply_mod(shift, crcA) ^ crcB;
}

namespace {

void md5_portable(uint32_t* state, const uint8_t* p, size_t blocks)
{
    for (; blocks; --blocks, p += 64) {
        uint32_t m[16];
        std::memcpy(m, p, sizeof m);  // little-endian words (x86)
#if __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
        for (uint32_t& w : m)
            w = __builtin_bswap32(w);
#endif
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
#define MD5_STEP(r, a, b, c, d, g, k, s) MD5_SCALAR_STEP(r, a, b, c, d, m[g], k, s)
        MD5_STEPS(MD5_STEP)
#undef MD5_STEP
        state[0] += a; state[1] += b; state[2] += c; state[3] += d;
    }
}

} // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::blocks(const uint8_t* p, size_t n)
{
    if (const auto vector = core::kernels().md5_blocks)
        vector(state_, p, n);
    else
        md5_portable(state_, p, n);
}

void Md5::update(const void* data, size_t size)
{
    if (size == 0)  // an empty buffer's data may be null
        return;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    bytes_ += size;
    if (fill_) {
        size_t n = std::min(size, sizeof buffer_ - fill_);
        std::memcpy(buffer_ + fill_, p, n);
        fill_ += n; p += n; size -= n;
        if (fill_ < sizeof buffer_)
            return;
        blocks(buffer_, 1);
        fill_ = 0;
    }
    blocks(p, size / 64);
    p += size & ~size_t(63);
    size &= 63;
    std::memcpy(buffer_, p, size);
    fill_ = size;
}

core::Md5Run Md5::lend(const uint8_t* data, size_t size)
{
    const size_t head = fill_ ? std::min(size, sizeof buffer_ - fill_) : 0;
    update(data, head);
    lent_ = data + head;
    const size_t blocks = fill_ ? 0 : (size - head) / 64;
    return core::Md5Run{{state_[0], state_[1], state_[2], state_[3]}, lent_, lent_ + 64 * blocks};
}

size_t Md5::resume(const core::Md5Run& run, const uint8_t* data)
{
    std::memcpy(state_, run.state, sizeof state_);
    bytes_ += uint64_t(run.next - lent_);
    return size_t(run.next - data);
}

std::array<uint8_t, 16> Md5::finish()
{
    uint64_t bits = bytes_ * 8;
    uint8_t pad[72] = {0x80};
    size_t padLen = (fill_ < 56 ? 56 : 120) - fill_;
    for (int i = 0; i < 8; ++i)
        pad[padLen + i] = uint8_t(bits >> (8 * i));
    update(pad, padLen + 8);
    std::array<uint8_t, 16> out;
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k)
            out[4 * i + k] = uint8_t(state_[i] >> (8 * k));
    return out;
}

} // namespace monkeys
