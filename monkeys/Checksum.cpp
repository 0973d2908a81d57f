#include "Checksum.h"

#include <algorithm>
#include <cstring>

#include "core/Cpu.h"

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

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

} // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

// The 64 steps written out, so that every word index, constant and
// rotation is an immediate; the round functions in the forms with the
// shortest dependency chains (the second round's two halves are disjoint,
// so they may be added).
void Md5::block(const uint8_t* p)
{
    uint32_t m[16];
    std::memcpy(m, p, sizeof m);  // little-endian words (x86)
#if __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
    for (uint32_t& w : m)
        w = __builtin_bswap32(w);
#endif
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_G(x, y, z) (((x) & (z)) + ((y) & ~(z)))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, g, k, s) a += m[g] + (k), a += f(b, c, d), a = b + rotl(a, s)
    MD5_STEP(MD5_F, a, b, c, d, 0, 0xd76aa478, 7);
    MD5_STEP(MD5_F, d, a, b, c, 1, 0xe8c7b756, 12);
    MD5_STEP(MD5_F, c, d, a, b, 2, 0x242070db, 17);
    MD5_STEP(MD5_F, b, c, d, a, 3, 0xc1bdceee, 22);
    MD5_STEP(MD5_F, a, b, c, d, 4, 0xf57c0faf, 7);
    MD5_STEP(MD5_F, d, a, b, c, 5, 0x4787c62a, 12);
    MD5_STEP(MD5_F, c, d, a, b, 6, 0xa8304613, 17);
    MD5_STEP(MD5_F, b, c, d, a, 7, 0xfd469501, 22);
    MD5_STEP(MD5_F, a, b, c, d, 8, 0x698098d8, 7);
    MD5_STEP(MD5_F, d, a, b, c, 9, 0x8b44f7af, 12);
    MD5_STEP(MD5_F, c, d, a, b, 10, 0xffff5bb1, 17);
    MD5_STEP(MD5_F, b, c, d, a, 11, 0x895cd7be, 22);
    MD5_STEP(MD5_F, a, b, c, d, 12, 0x6b901122, 7);
    MD5_STEP(MD5_F, d, a, b, c, 13, 0xfd987193, 12);
    MD5_STEP(MD5_F, c, d, a, b, 14, 0xa679438e, 17);
    MD5_STEP(MD5_F, b, c, d, a, 15, 0x49b40821, 22);
    MD5_STEP(MD5_G, a, b, c, d, 1, 0xf61e2562, 5);
    MD5_STEP(MD5_G, d, a, b, c, 6, 0xc040b340, 9);
    MD5_STEP(MD5_G, c, d, a, b, 11, 0x265e5a51, 14);
    MD5_STEP(MD5_G, b, c, d, a, 0, 0xe9b6c7aa, 20);
    MD5_STEP(MD5_G, a, b, c, d, 5, 0xd62f105d, 5);
    MD5_STEP(MD5_G, d, a, b, c, 10, 0x02441453, 9);
    MD5_STEP(MD5_G, c, d, a, b, 15, 0xd8a1e681, 14);
    MD5_STEP(MD5_G, b, c, d, a, 4, 0xe7d3fbc8, 20);
    MD5_STEP(MD5_G, a, b, c, d, 9, 0x21e1cde6, 5);
    MD5_STEP(MD5_G, d, a, b, c, 14, 0xc33707d6, 9);
    MD5_STEP(MD5_G, c, d, a, b, 3, 0xf4d50d87, 14);
    MD5_STEP(MD5_G, b, c, d, a, 8, 0x455a14ed, 20);
    MD5_STEP(MD5_G, a, b, c, d, 13, 0xa9e3e905, 5);
    MD5_STEP(MD5_G, d, a, b, c, 2, 0xfcefa3f8, 9);
    MD5_STEP(MD5_G, c, d, a, b, 7, 0x676f02d9, 14);
    MD5_STEP(MD5_G, b, c, d, a, 12, 0x8d2a4c8a, 20);
    MD5_STEP(MD5_H, a, b, c, d, 5, 0xfffa3942, 4);
    MD5_STEP(MD5_H, d, a, b, c, 8, 0x8771f681, 11);
    MD5_STEP(MD5_H, c, d, a, b, 11, 0x6d9d6122, 16);
    MD5_STEP(MD5_H, b, c, d, a, 14, 0xfde5380c, 23);
    MD5_STEP(MD5_H, a, b, c, d, 1, 0xa4beea44, 4);
    MD5_STEP(MD5_H, d, a, b, c, 4, 0x4bdecfa9, 11);
    MD5_STEP(MD5_H, c, d, a, b, 7, 0xf6bb4b60, 16);
    MD5_STEP(MD5_H, b, c, d, a, 10, 0xbebfbc70, 23);
    MD5_STEP(MD5_H, a, b, c, d, 13, 0x289b7ec6, 4);
    MD5_STEP(MD5_H, d, a, b, c, 0, 0xeaa127fa, 11);
    MD5_STEP(MD5_H, c, d, a, b, 3, 0xd4ef3085, 16);
    MD5_STEP(MD5_H, b, c, d, a, 6, 0x04881d05, 23);
    MD5_STEP(MD5_H, a, b, c, d, 9, 0xd9d4d039, 4);
    MD5_STEP(MD5_H, d, a, b, c, 12, 0xe6db99e5, 11);
    MD5_STEP(MD5_H, c, d, a, b, 15, 0x1fa27cf8, 16);
    MD5_STEP(MD5_H, b, c, d, a, 2, 0xc4ac5665, 23);
    MD5_STEP(MD5_I, a, b, c, d, 0, 0xf4292244, 6);
    MD5_STEP(MD5_I, d, a, b, c, 7, 0x432aff97, 10);
    MD5_STEP(MD5_I, c, d, a, b, 14, 0xab9423a7, 15);
    MD5_STEP(MD5_I, b, c, d, a, 5, 0xfc93a039, 21);
    MD5_STEP(MD5_I, a, b, c, d, 12, 0x655b59c3, 6);
    MD5_STEP(MD5_I, d, a, b, c, 3, 0x8f0ccc92, 10);
    MD5_STEP(MD5_I, c, d, a, b, 10, 0xffeff47d, 15);
    MD5_STEP(MD5_I, b, c, d, a, 1, 0x85845dd1, 21);
    MD5_STEP(MD5_I, a, b, c, d, 8, 0x6fa87e4f, 6);
    MD5_STEP(MD5_I, d, a, b, c, 15, 0xfe2ce6e0, 10);
    MD5_STEP(MD5_I, c, d, a, b, 6, 0xa3014314, 15);
    MD5_STEP(MD5_I, b, c, d, a, 13, 0x4e0811a1, 21);
    MD5_STEP(MD5_I, a, b, c, d, 4, 0xf7537e82, 6);
    MD5_STEP(MD5_I, d, a, b, c, 11, 0xbd3af235, 10);
    MD5_STEP(MD5_I, c, d, a, b, 2, 0x2ad7d2bb, 15);
    MD5_STEP(MD5_I, b, c, d, a, 9, 0xeb86d391, 21);
#undef MD5_STEP
#undef MD5_I
#undef MD5_H
#undef MD5_G
#undef MD5_F
    state_[0] += a; state_[1] += b; state_[2] += c; state_[3] += d;
}

void Md5::update(const void* data, size_t size)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    bytes_ += size;
    if (fill_) {
        size_t n = std::min(size, sizeof buffer_ - fill_);
        std::memcpy(buffer_ + fill_, p, n);
        fill_ += n; p += n; size -= n;
        if (fill_ < sizeof buffer_)
            return;
        block(buffer_);
        fill_ = 0;
    }
    for (; size >= 64; p += 64, size -= 64)
        block(p);
    std::memcpy(buffer_, p, size);
    fill_ = size;
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
