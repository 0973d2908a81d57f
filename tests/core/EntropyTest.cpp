// The entropy coders' residual sections (ResidualSection.h) on extreme and
// random residuals: each gives back exactly what it was given, with the
// same bytes from every variant of its stages, a tANS channel pair's
// pieces as it announces them, and tANS's size estimate comes close to its
// bytes; damaged tANS tables are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "ResidualSection.h"
#include "Tans.h"
#include "Variants.h"

using namespace monkeys::core;

namespace {

// Residual planes (channel after channel, as the coder keeps them) of
// every kind a coder must take: the extremes of 32 bits, values of random
// bit lengths, small ones, silence with rare spikes, a magnitude that
// climbs through every context and falls back, and a loud start before a
// long quiet end (most values in a stream's last bytes). The kind goes by
// channel and seed, or is given.
struct Planes {
    int channels, n;
    std::vector<int32_t> x;
    int32_t* at(int c) { return x.data() + size_t(c) * size_t(n); }
};

Planes planes(int channels, int n, unsigned seed, int kind = -1)
{
    std::mt19937 rng(seed);
    Planes xs{channels, n, std::vector<int32_t>(size_t(channels) * size_t(n), 0)};
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < n; ++i) {
            const uint32_t r = rng();
            int32_t& v = xs.at(c)[i];
            switch (kind >= 0 ? unsigned(kind) : (c + seed) % 5) {
            case 0: v = i % 3 == 0 ? INT32_MIN : i % 3 == 1 ? INT32_MAX : -1; break;
            case 1: v = int32_t(r >> (rng() % 33 == 32 ? 31 : rng() % 32)) * (r & 1 ? 1 : -1); break;
            case 2: v = int32_t(r % 7) - 3; break;
            case 3: v = r % 997 == 0 ? int32_t(r) : 0; break;
            case 4: {
                const int bits = int(30.0 * (1 - std::abs(2.0 * i / n - 1)));
                v = int32_t(r & ((1u << bits) - 1)) - int32_t((1u << bits) / 2);
                break;
            }
            default: v = i < n / 8 ? int32_t(r) >> (r % 24) : r % 61 == 0 ? int32_t(r % 3) - 1 : 0;
            }
        }
    return xs;
}

std::vector<uint8_t> section(uint8_t coder, Planes& xs, Header& h)
{
    int32_t* ps[32];
    for (int c = 0; c < xs.channels; ++c)
        ps[c] = xs.at(c);
    h = Header{};
    h.prof.entropy = coder;
    mark_silent(h, xs.channels, xs.n, ps);
    Bytes out;
    put_residuals({xs.channels, 32, 1000}, h, xs.n, ps, out);
    return {out.begin(), out.end()};
}

// What a channel pair's decoder announces, as a decoder that uses each
// piece at once sees it: pieces in order, the residuals before each final.
struct Watch final : TansProgress {
    Watch(int32_t* const* back, const Planes& want) : TansProgress(1000), back(back), want(want) {}
    void decoded(int upto) override
    {
        good &= upto == heard + piece && upto < want.n;
        for (int c = 0; c < 2; ++c)
            good &= std::equal(back[c], back[c] + upto, want.x.begin() + ptrdiff_t(c) * want.n);
        heard = upto;
    }
    int32_t* const* back;
    const Planes& want;
    int heard = 0;
    bool good = true;
};

bool decodes_to(const Header& h, const std::vector<uint8_t>& bytes, const Planes& want)
{
    std::vector<int32_t> store;
    int32_t* back[32];
    split_planes(store, want.channels, want.n, back);
    Watch watch(back, want);
    const bool pair = h.prof.entropy == kTans && want.channels == 2;
    const bool decoded = decode_residuals(h, bytes.data(), bytes.data() + bytes.size(), want.channels, want.n, back,
                                          false, pair ? &watch : nullptr);
    const bool exact = decoded && store == want.x;
    if (exact) {
        EXPECT_TRUE(watch.good && (watch.heard > 0) == (pair && want.n > 2 * watch.piece)) << "pieces heard";
    }
    return exact;
}

// The encoder's own check of a section against what it meant to send.
bool matches(const Header& h, const std::vector<uint8_t>& bytes, Planes& want)
{
    int32_t* ps[32];
    for (int c = 0; c < want.channels; ++c)
        ps[c] = want.at(c);
    return decode_residuals(h, bytes.data(), bytes.data() + bytes.size(), want.channels, want.n, ps, true);
}

} // namespace

TEST(EntropyCoders, ExactInverseOnExtremeAndRandomResiduals)
{
    for (uint8_t coder : {kRiceSplit, kRange, kTans})
        for (int channels : {1, 2, 3})
            for (auto [n, kind] : std::initializer_list<std::pair<int, int>>{{1, -1}, {7, -1}, {100, -1}, {30000, -1}, {30000, 5}}) {
                Planes xs = planes(channels, n, unsigned(channels * 31 + n + coder), kind);
                std::vector<uint8_t> reference;
                for (Isa isa : coretest::available_isas()) {
                    SCOPED_TRACE("coder " + std::to_string(coder) + ", " + std::to_string(channels) + " ch, " +
                                 std::to_string(n) + " values, " + coretest::isa_name(isa));
                    coretest::OnIsa on(isa);
                    Header h;
                    const std::vector<uint8_t> bytes = section(coder, xs, h);
                    if (reference.empty())
                        reference = bytes;
                    EXPECT_TRUE(bytes == reference);
                    EXPECT_TRUE(decodes_to(h, bytes, xs));
                    EXPECT_TRUE(matches(h, bytes, xs));
                    if (coder == kTans) {
                        // the size the encoder weighs ways by, before it writes one
                        int32_t* ps[32];
                        for (int c = 0; c < channels; ++c)
                            ps[c] = xs.at(c);
                        const size_t ideal = tans_analyse_section({channels, 32, 1000}, h, n, ps);
                        EXPECT_NEAR(double(ideal), double(bytes.size()), 8 + double(bytes.size()) / 1024);
                    }
                    xs.at(channels - 1)[n / 2] ^= 1;
                    EXPECT_FALSE(matches(h, bytes, xs));
                    xs.at(channels - 1)[n / 2] ^= 1;
                }
            }
}

// tANS tables whose frequencies do not sum to the states, that name more
// classes than there are, or that are missing, and streams cut short, are
// refused.
TEST(EntropyCoders, DamagedTansTablesRefused)
{
    Planes xs = planes(2, 5000, 4);
    Header h;
    const std::vector<uint8_t> good = section(kTans, xs, h);
    ASSERT_TRUE(decodes_to(h, good, xs));
    TansModel m;
    const size_t used = tans_get_model(good.data(), good.size(), m);
    ASSERT_GT(used, 0u);
    // every context present, then nothing: the tables are cut off
    const std::vector<uint8_t> cut = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(tans_get_model(cut.data(), cut.size(), m), 0u);
    // a table of more classes than there are (M - 1 = 31), and one whose
    // first frequency (an escape: 16 zeros, then 11 bits) is all the states
    const std::vector<uint8_t> many = {1, 0, 0, 0, 31, 0, 0, 0};
    EXPECT_EQ(tans_get_model(many.data(), many.size(), m), 0u);
    const std::vector<uint8_t> all = {1, 0, 0, 0, 1, 0, 0, 0x80, 0, 0, 0};
    EXPECT_EQ(tans_get_model(all.data(), all.size(), m), 0u);
    for (size_t cut : {size_t(0), size_t(3), used - 1}) {
        std::vector<uint8_t> bad(good.begin(), good.begin() + long(cut));
        EXPECT_FALSE(decodes_to(h, bad, xs)) << "cut at " << cut;
    }
    std::vector<uint8_t> none = good;
    std::fill(none.begin(), none.begin() + 4, 0);
    EXPECT_FALSE(decodes_to(h, none, xs)) << "no tables";
    // flipping each bit of the tables either is refused or decodes to
    // something, never crashes
    for (size_t bit = 32; bit < 8 * used; ++bit) {
        std::vector<uint8_t> bad = good;
        bad[bit / 8] ^= uint8_t(1u << (bit % 8));
        decodes_to(h, bad, xs);
    }
}
