// The fixed predictor's decoder takes different paths by order and by how
// channels pair up; each must undo the encoder exactly, also where the
// sums are as large as 32-bit input and 15-bit coefficients make them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "Lms.h"
#include "Lpc.h"
#include "Variants.h"

using namespace monkeys::core;

namespace {

LpcCoefs coefs(int order, int shift, std::mt19937& rng, bool extreme)
{
    LpcCoefs k;
    k.order = order;
    k.shift = shift;
    std::uniform_int_distribution<int> any(-32767, 32767);
    for (int j = 0; j < order; ++j)
        k.c[j] = int16_t(extreme ? (j % 2 ? -32767 : 32767) : any(rng));
    return k;
}

std::vector<int32_t> samples(int n, int bits, std::mt19937& rng)
{
    std::vector<int32_t> x(static_cast<size_t>(n));
    if (bits == 32) {
        std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
        for (int32_t& v : x)
            v = any(rng);
    } else {
        std::uniform_int_distribution<int32_t> any(-(1 << (bits - 1)), (1 << (bits - 1)) - 1);
        for (int32_t& v : x)
            v = any(rng);
    }
    return x;
}

// Channels of the given orders coded one by one, decoded all at once; in
// parts, the odd parts take the next channel's order, so that a channel
// switches between the short and the long filter.
void expect_inverse(const std::vector<int>& orders, int n, int bits, bool extreme, uint32_t seed, int parts = 1)
{
    std::mt19937 rng(seed);
    const size_t count = orders.size();
    std::vector<std::vector<int32_t>> original, coded;
    std::vector<std::vector<LpcCoefs>> ks(count);
    for (size_t c = 0; c < count; ++c) {
        for (int j = 0; j < parts; ++j)
            ks[c].push_back(coefs(orders[(c + size_t(j % 2)) % count], int(rng() % 16), rng, extreme));
        original.push_back(samples(n, bits, rng));
        coded.push_back(original.back());
        lpc_encode_parts(coded.back().data(), n, ks[c].data(), parts);
    }
    std::vector<int32_t*> xs;
    std::vector<const LpcCoefs*> kp;
    for (size_t c = 0; c < count; ++c) {
        xs.push_back(coded[c].data());
        kp.push_back(ks[c].data());
    }
    lpc_decode_parts(xs.data(), kp.data(), int(count), n, parts);
    for (size_t c = 0; c < count; ++c)
        ASSERT_EQ(coded[c], original[c]) << "channel " << c << " of order " << orders[c] << ", " << n
                                         << " samples, " << bits << " bits, " << parts << " parts";
}

} // namespace

TEST(Predictor, EveryOrderAndPairingUndoesTheEncoder)
{
    const std::vector<std::vector<int>> layouts = {
        {1}, {8}, {9}, {32}, {8, 8}, {3, 7}, {8, 9}, {9, 8}, {0, 8}, {8, 0}, {16, 32}, {0, 0},
        {8, 8, 8}, {2, 32, 5, 5, 0, 12}};
    for (Isa isa : coretest::available_isas()) {
        SCOPED_TRACE(coretest::isa_name(isa));
        coretest::OnIsa on(isa);
        uint32_t seed = 1;
        for (const auto& orders : layouts)
            for (int n : {1, 7, 8, 9, 33, 4096})
                for (int bits : {16, 24, 32})
                    for (bool extreme : {false, true})
                        for (int parts : {1, 3, 16})
                            if (parts <= n)
                                expect_inverse(orders, n, bits, extreme, seed++, parts);
    }
}

TEST(Predictor, SingleChannelCallMatchesTheChannelsCall)
{
    std::mt19937 rng(5);
    for (int order = 0; order <= kMaxLpcOrder; ++order) {
        LpcCoefs k = coefs(order, 13, rng, false);
        std::vector<int32_t> x = samples(1000, 16, rng), y = x;
        lpc_decode(x.data(), int(x.size()), k);
        int32_t* ys[] = {y.data()};
        lpc_decode(ys, &k, 1, int(y.size()));
        ASSERT_EQ(x, y) << "order " << order;
    }
}

// The adaptive stages have vector paths by order (registers up to 32
// taps, unrolled runs of 64, a tail of 16), by how large the update
// directions can grow, and for a channel alone or a pair, and the
// encoder's take a path of their own where a weight saturates; each must
// give the portable code's bits.
TEST(AdaptiveStage, VectorPathsMatchThePortableCodeAndUndoTheEncoder)
{
    if (!isa_available(Isa::kAvx2))
        GTEST_SKIP() << coretest::no_vector_code_reason();
    std::mt19937 rng(9);
    for (int order : {16, 32, 48, 64, 80, 112, 256, 1040})
        for (int dirBits : {0, 2, 4, 5, 10})
            for (int bits : {16, 24}) {
                LmsParams p{order, 14, dirBits};
                // tones under noise, long enough to slide the history
                // window; at 24 bits unscaled for the smallest stage, so
                // that its 16-bit history saturates and no weight within
                // 16 bits predicts the input
                const int inShift = bits == 16 || order == 16 ? 0 : 8;
                const int inShifts[2] = {inShift, inShift + 1};
                std::vector<std::vector<int32_t>> x;
                for (double step : {0.05, 0.011}) {
                    x.push_back(samples(9001, bits - 4, rng));
                    for (size_t i = 0; i < x.back().size(); ++i)
                        x.back()[i] += int32_t(std::lround(std::sin(double(i) * step) * double(1 << (bits - 2))));
                }
                const int n = int(x[0].size());
                auto ptrs = [](std::vector<std::vector<int32_t>>& v) {
                    return std::vector<int32_t*>{v[0].data(), v[1].data()};
                };
                for (int count : {1, 2}) {
                    const std::string what = std::to_string(count) + " channel(s), order " + std::to_string(order) +
                                             ", direction bits " + std::to_string(dirBits);
                    std::vector<std::vector<int32_t>> vec = x, port = x;
                    lms_encode(ptrs(vec).data(), inShifts, count, n, p);
                    {
                        coretest::OnIsa on(Isa::kPortable);
                        lms_encode(ptrs(port).data(), inShifts, count, n, p);
                        ASSERT_EQ(vec, port) << "encoder, " << what;
                        lms_decode(ptrs(port).data(), inShifts, count, n, p);
                    }
                    lms_decode(ptrs(vec).data(), inShifts, count, n, p);
                    ASSERT_EQ(vec, x) << "vector decoder, " << what;
                    ASSERT_EQ(port, x) << "portable decoder, " << what;
                }
            }
}

// The one-pass decoding of the fastest level's stereo frames gives what
// the stage and the fixed predictor give one after the other, whole or in
// pieces.
TEST(AdaptiveStage, OnePassPairMatchesTheStagesInTurn)
{
    if (!isa_available(Isa::kAvx2))
        GTEST_SKIP() << coretest::no_vector_code_reason();
    std::mt19937 rng(11);
    const LmsParams p{16, 13, 4};
    for (int n : {8, 9, 17, 5000})
        for (int o0 : {0, 1, 4, 8})
            for (int o1 : {2, 8})
                for (int parts : {1, 2, 7}) {
                    if (n / parts < kShortOrder)
                        continue;
                    // the later parts of channel 0 take other orders
                    std::vector<LpcCoefs> k0, k1;
                    for (int j = 0; j < parts; ++j) {
                        k0.push_back(coefs(j == 0 ? o0 : (o0 + 3 * j) % 9, 12, rng, false));
                        k1.push_back(coefs(o1, 14, rng, n == 17));
                    }
                    const LpcCoefs* ks[2] = {k0.data(), k1.data()};
                    std::vector<int32_t> a = samples(n, 16, rng), b = samples(n, 16, rng);
                    std::vector<int32_t> a2 = a, b2 = b;
                    std::vector<int32_t> a3 = a, b3 = b;
                    int shifts[2] = {0, 1};
                    int32_t* one[2] = {a.data(), b.data()};
                    ASSERT_TRUE(lms_lpc_decode_pair(one, shifts, n, p, ks, parts));
                    int32_t* turn[2] = {a2.data(), b2.data()};
                    lms_decode(turn, shifts, 2, n, p);
                    lpc_decode_parts(turn, ks, 2, n, parts);
                    ASSERT_EQ(a, a2) << n << " samples, orders " << o0 << ", " << o1 << ", " << parts << " parts";
                    ASSERT_EQ(b, b2) << n << " samples, orders " << o0 << ", " << o1 << ", " << parts << " parts";
                    // the same pass in pieces of random lengths, odd ones and
                    // ones across the parts' starts among them
                    LmsLpcPair pass;
                    ASSERT_TRUE(lms_lpc_pair_start(pass, shifts, n, p, ks, parts));
                    int32_t* pieces[2] = {a3.data(), b3.data()};
                    for (int from = 0, to; from < n; from = to) {
                        to = std::min(n, std::max(kShortOrder, from + 1 + int(rng() % 700)));
                        lms_lpc_pair_on(pass, pieces, n, from, to, ks, parts, nullptr);
                    }
                    ASSERT_TRUE(a3 == a && b3 == b) << n << " samples in pieces, " << parts << " parts";
                    // a channel without a partner: the pass with it twice
                    std::vector<int32_t> c = samples(n, 16, rng), c2 = c;
                    ASSERT_TRUE(lms_lpc_decode_one(c.data(), 1, n, p, k0.data(), parts));
                    lms_decode(c2.data(), n, p, 1);
                    int32_t* alone[1] = {c2.data()};
                    lpc_decode_parts(alone, ks, 1, n, parts);
                    ASSERT_EQ(c, c2) << n << " samples alone, order " << o0 << ", " << parts << " parts";
                }
    int32_t x[7] = {}, y[7] = {};
    int32_t* short_frame[2] = {x, y};
    LpcCoefs k[2] = {coefs(2, 12, rng, false), coefs(2, 12, rng, false)};
    const LpcCoefs* ks[2] = {&k[0], &k[1]};
    int shifts[2] = {0, 0};
    EXPECT_FALSE(lms_lpc_decode_pair(short_frame, shifts, 7, p, ks)) << "fewer samples than the predictor's past";
}

// The stereo stage undoes itself on every variant, the same bits as the
// portable code, on correlated channels and on extreme ones (full-scale
// noise at 32 bits saturates every history entry and weight), down to a
// frame of one sample (the vector decoder runs b a sample behind a).
TEST(AdaptiveStage, StereoStageUndoesItselfOnEveryVariant)
{
    std::mt19937 rng(11);
    for (int n : {1, 2, 5000})
        for (int order : {16, 32})
            for (int bits : {16, 24, 32}) {
                const LmsParams p{order, 14, 4, kStereo};
                const int inShifts[2] = {bits == 32 ? 0 : bits - 14, bits == 32 ? 0 : bits - 15};
                std::vector<int32_t> a = samples(n, bits, rng), b = samples(n, bits, rng);
                if (bits < 32)
                    for (size_t i = 0; i < a.size(); ++i) {
                        const int32_t tone = int32_t(std::lround(std::sin(double(i) * 0.03) * double(1 << (bits - 3))));
                        a[i] = a[i] / 8 + tone;
                        b[i] = b[i] / 8 + tone / 2 + a[i] / 4;
                    }
                std::vector<int32_t> want;
                for (Isa isa : coretest::available_isas()) {
                    coretest::OnIsa on(isa);
                    std::vector<int32_t> ca = a, cb = b;
                    lms_stereo_encode(ca.data(), cb.data(), inShifts, int(a.size()), p);
                    std::vector<int32_t> coded = ca;
                    coded.insert(coded.end(), cb.begin(), cb.end());
                    if (want.empty())
                        want = coded;
                    ASSERT_EQ(coded, want) << coretest::isa_name(isa) << ", " << n << " samples, order " << order
                                           << ", " << bits << " bits";
                    lms_stereo_decode(ca.data(), cb.data(), inShifts, int(a.size()), p);
                    ASSERT_TRUE(ca == a && cb == b) << coretest::isa_name(isa) << ", order " << order << ", " << bits
                                                    << " bits";
                }
            }
}
