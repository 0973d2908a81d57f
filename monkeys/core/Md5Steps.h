// MD5's 64 steps, for each block function to expand with its own STEP(r,
// a, b, c, d, g, k, s): round r (0 to 3) updates a from b, c and d with
// message word g, constant k and rotation s. Written out, so that every
// index, constant and rotation is an immediate; in eighths of eight steps
// for hashing a block a few steps at a time (each eighth leaves a, b, c
// and d where it found them).
#pragma once

#include <cstdint>

// A step in scalar code, with the round functions in the forms with the
// shortest dependency chains (the second round's two halves are
// disjoint, so they may be added), message word w.
#define MD5_F0(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_F1(x, y, z) (((x) & (z)) + ((y) & ~(z)))
#define MD5_F2(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_F3(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_SCALAR_STEP(r, a, b, c, d, w, k, s) \
    a += (w) + (k), a += MD5_F##r(b, c, d), a = b + ((a << (s)) | (a >> (32 - (s))));

#define MD5_STEPS_0(STEP) \
    STEP(0, a, b, c, d, 0, 0xd76aa478u, 7) \
    STEP(0, d, a, b, c, 1, 0xe8c7b756u, 12) \
    STEP(0, c, d, a, b, 2, 0x242070dbu, 17) \
    STEP(0, b, c, d, a, 3, 0xc1bdceeeu, 22) \
    STEP(0, a, b, c, d, 4, 0xf57c0fafu, 7) \
    STEP(0, d, a, b, c, 5, 0x4787c62au, 12) \
    STEP(0, c, d, a, b, 6, 0xa8304613u, 17) \
    STEP(0, b, c, d, a, 7, 0xfd469501u, 22)

#define MD5_STEPS_1(STEP) \
    STEP(0, a, b, c, d, 8, 0x698098d8u, 7) \
    STEP(0, d, a, b, c, 9, 0x8b44f7afu, 12) \
    STEP(0, c, d, a, b, 10, 0xffff5bb1u, 17) \
    STEP(0, b, c, d, a, 11, 0x895cd7beu, 22) \
    STEP(0, a, b, c, d, 12, 0x6b901122u, 7) \
    STEP(0, d, a, b, c, 13, 0xfd987193u, 12) \
    STEP(0, c, d, a, b, 14, 0xa679438eu, 17) \
    STEP(0, b, c, d, a, 15, 0x49b40821u, 22)

#define MD5_STEPS_2(STEP) \
    STEP(1, a, b, c, d, 1, 0xf61e2562u, 5) \
    STEP(1, d, a, b, c, 6, 0xc040b340u, 9) \
    STEP(1, c, d, a, b, 11, 0x265e5a51u, 14) \
    STEP(1, b, c, d, a, 0, 0xe9b6c7aau, 20) \
    STEP(1, a, b, c, d, 5, 0xd62f105du, 5) \
    STEP(1, d, a, b, c, 10, 0x02441453u, 9) \
    STEP(1, c, d, a, b, 15, 0xd8a1e681u, 14) \
    STEP(1, b, c, d, a, 4, 0xe7d3fbc8u, 20)

#define MD5_STEPS_3(STEP) \
    STEP(1, a, b, c, d, 9, 0x21e1cde6u, 5) \
    STEP(1, d, a, b, c, 14, 0xc33707d6u, 9) \
    STEP(1, c, d, a, b, 3, 0xf4d50d87u, 14) \
    STEP(1, b, c, d, a, 8, 0x455a14edu, 20) \
    STEP(1, a, b, c, d, 13, 0xa9e3e905u, 5) \
    STEP(1, d, a, b, c, 2, 0xfcefa3f8u, 9) \
    STEP(1, c, d, a, b, 7, 0x676f02d9u, 14) \
    STEP(1, b, c, d, a, 12, 0x8d2a4c8au, 20)

#define MD5_STEPS_4(STEP) \
    STEP(2, a, b, c, d, 5, 0xfffa3942u, 4) \
    STEP(2, d, a, b, c, 8, 0x8771f681u, 11) \
    STEP(2, c, d, a, b, 11, 0x6d9d6122u, 16) \
    STEP(2, b, c, d, a, 14, 0xfde5380cu, 23) \
    STEP(2, a, b, c, d, 1, 0xa4beea44u, 4) \
    STEP(2, d, a, b, c, 4, 0x4bdecfa9u, 11) \
    STEP(2, c, d, a, b, 7, 0xf6bb4b60u, 16) \
    STEP(2, b, c, d, a, 10, 0xbebfbc70u, 23)

#define MD5_STEPS_5(STEP) \
    STEP(2, a, b, c, d, 13, 0x289b7ec6u, 4) \
    STEP(2, d, a, b, c, 0, 0xeaa127fau, 11) \
    STEP(2, c, d, a, b, 3, 0xd4ef3085u, 16) \
    STEP(2, b, c, d, a, 6, 0x04881d05u, 23) \
    STEP(2, a, b, c, d, 9, 0xd9d4d039u, 4) \
    STEP(2, d, a, b, c, 12, 0xe6db99e5u, 11) \
    STEP(2, c, d, a, b, 15, 0x1fa27cf8u, 16) \
    STEP(2, b, c, d, a, 2, 0xc4ac5665u, 23)

#define MD5_STEPS_6(STEP) \
    STEP(3, a, b, c, d, 0, 0xf4292244u, 6) \
    STEP(3, d, a, b, c, 7, 0x432aff97u, 10) \
    STEP(3, c, d, a, b, 14, 0xab9423a7u, 15) \
    STEP(3, b, c, d, a, 5, 0xfc93a039u, 21) \
    STEP(3, a, b, c, d, 12, 0x655b59c3u, 6) \
    STEP(3, d, a, b, c, 3, 0x8f0ccc92u, 10) \
    STEP(3, c, d, a, b, 10, 0xffeff47du, 15) \
    STEP(3, b, c, d, a, 1, 0x85845dd1u, 21)

#define MD5_STEPS_7(STEP) \
    STEP(3, a, b, c, d, 8, 0x6fa87e4fu, 6) \
    STEP(3, d, a, b, c, 15, 0xfe2ce6e0u, 10) \
    STEP(3, c, d, a, b, 6, 0xa3014314u, 15) \
    STEP(3, b, c, d, a, 13, 0x4e0811a1u, 21) \
    STEP(3, a, b, c, d, 4, 0xf7537e82u, 6) \
    STEP(3, d, a, b, c, 11, 0xbd3af235u, 10) \
    STEP(3, c, d, a, b, 2, 0x2ad7d2bbu, 15) \
    STEP(3, b, c, d, a, 9, 0xeb86d391u, 21)

#define MD5_STEPS(STEP) \
    MD5_STEPS_0(STEP) MD5_STEPS_1(STEP) MD5_STEPS_2(STEP) MD5_STEPS_3(STEP) \
    MD5_STEPS_4(STEP) MD5_STEPS_5(STEP) MD5_STEPS_6(STEP) MD5_STEPS_7(STEP)
