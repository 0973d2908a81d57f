#include "Checksum.h"

#include <algorithm>
#include <cstring>

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

constexpr uint32_t kMd5K[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr int kMd5S[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                           5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                           4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                           6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

} // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::block(const uint8_t* p)
{
    uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = uint32_t(p[4 * i]) | uint32_t(p[4 * i + 1]) << 8 | uint32_t(p[4 * i + 2]) << 16 |
               uint32_t(p[4 * i + 3]) << 24;
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    // The four rounds, each with its own mixing function and word order.
    auto step = [&](uint32_t f, int i, int g) {
        uint32_t t = d;
        d = c;
        c = b;
        b = b + rotl(a + f + kMd5K[i] + m[g], kMd5S[i]);
        a = t;
    };
    for (int i = 0; i < 16; ++i)
        step((b & c) | (~b & d), i, i);
    for (int i = 16; i < 32; ++i)
        step((d & b) | (~d & c), i, (5 * i + 1) & 15);
    for (int i = 32; i < 48; ++i)
        step(b ^ c ^ d, i, (3 * i + 5) & 15);
    for (int i = 48; i < 64; ++i)
        step(c ^ (b | ~d), i, (7 * i) & 15);
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
