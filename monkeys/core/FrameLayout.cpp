#include "FrameLayout.h"

#include <cstring>

namespace monkeys::core {

bool valid_format(const FrameFormat& f)
{
    return f.channels >= 1 && f.channels <= 32 &&
           (f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 || f.bitsPerSample == 32);
}

void put_parameters(const Header& h, int ch, Bytes& out)
{
    const Profile& prof = h.prof;
    out.push_back(kPredicted);
    out.push_back(prof.entropy);
    if (h.coding == 0)
        out.push_back(0);
    out.push_back(uint8_t(prof.stages));
    for (int s = 0; s < prof.stages; ++s) {
        out.push_back(uint8_t(prof.stage[s].order));
        out.push_back(uint8_t(prof.stage[s].order >> 8));
        out.push_back(uint8_t(prof.stage[s].shift));
        out.push_back(uint8_t(prof.stage[s].dirBits));
        if (h.coding >= 2)
            out.push_back(uint8_t(prof.stage[s].kind));
    }
    for (int i = 0; i < (ch / 2 + 7) / 8; ++i)
        out.push_back(h.midSide[i]);
    if (h.coding > 0)
        out.push_back(uint8_t(h.parts));
    for (int c = 0; c < ch; ++c) {
        out.push_back(h.wasted[c]);
        for (int s = 0; s < prof.stages; ++s)
            out.push_back(h.inShift[c][s]);
        for (int j = 0; j < h.parts; ++j) {
            const LpcCoefs& k = h.lpc[c][j];
            out.push_back(uint8_t(k.order));
            if (k.order > 0) {
                out.push_back(uint8_t(k.shift));
                for (int t = 0; t < k.order; ++t) {
                    out.push_back(uint8_t(k.c[t]));
                    out.push_back(uint8_t(uint16_t(k.c[t]) >> 8));
                }
            }
        }
    }
}

size_t parameters_size(const Header& h, int ch)
{
    // the method, the coder, the stages' count and coding 0's unused byte
    // or the parts' count
    size_t size = 4 + (h.coding >= 2 ? 5 : 4) * size_t(h.prof.stages) + size_t(ch / 2 + 7) / 8;
    for (int c = 0; c < ch; ++c) {
        size += 1 + size_t(h.prof.stages);
        for (int j = 0; j < h.parts; ++j) {
            const LpcCoefs& k = h.lpc[c][j];
            size += 1 + (k.order > 0 ? 1 + 2 * size_t(k.order) : 0);
        }
    }
    return size;
}

const uint8_t* parse_parameters(const FrameFormat& f, int blocks, const uint8_t* data, size_t size, Header& h)
{
    const int ch = f.channels;
    if (ch < 1 || ch > 32 || !known_coding(f.coding))
        return nullptr;
    h.coding = f.coding;
    const int pairs = ch / 2;
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    auto left = [&] { return size_t(end - p); };
    if (left() < 3)
        return nullptr;
    Profile& prof = h.prof;
    prof.entropy = *p++;
    // coding 0's second byte was meant for a pre-emphasis filter; no coder
    // ever wrote one, so anything but 0 is damage
    if (h.coding == 0 && *p++ != 0)
        return nullptr;
    prof.stages = *p++;
    if (prof.entropy > kTans || prof.stages > kMaxStages)
        return nullptr;
    const size_t stageBytes = h.coding >= 2 ? 5 : 4;
    if (left() < size_t(prof.stages) * stageBytes + size_t((pairs + 7) / 8))
        return nullptr;
    for (int s = 0; s < prof.stages; ++s) {
        prof.stage[s].order = p[0] | p[1] << 8;
        prof.stage[s].shift = p[2];
        prof.stage[s].dirBits = p[3];
        prof.stage[s].kind = h.coding >= 2 ? p[4] : kOwn;
        p += stageBytes;
    }
    for (int i = 0; i < (pairs + 7) / 8; ++i)
        h.midSide[i] = *p++;
    h.parts = 1;
    if (h.coding > 0) {
        if (left() < 1)
            return nullptr;
        h.parts = *p++;
        // every part holds at least one sample
        if (h.parts < 1 || h.parts > kMaxLpcParts || h.parts > blocks)
            return nullptr;
    }
    for (int c = 0; c < ch; ++c) {
        if (left() < size_t(2 + prof.stages))
            return nullptr;
        h.wasted[c] = *p++;
        if ((h.wasted[c] & ~kSilent) > 31)
            return nullptr;
        for (int s = 0; s < prof.stages; ++s) {
            h.inShift[c][s] = *p++;
            if (!lms_params_valid(prof.stage[s], h.inShift[c][s]))
                return nullptr;
        }
        for (int j = 0; j < h.parts; ++j) {
            if (left() < 1)
                return nullptr;
            LpcCoefs& k = h.lpc[c][j];
            k.order = *p++;
            if (k.order > kMaxLpcOrder)
                return nullptr;
            if (k.order > 0) {
                if (left() < 1 + 2 * size_t(k.order))
                    return nullptr;
                k.shift = *p++;
                if (k.shift > 15)
                    return nullptr;
                for (int t = 0; t < k.order; ++t, p += 2)
                    k.c[t] = int16_t(p[0] | p[1] << 8);
            }
        }
    }
    return p;
}

bool same_parameters(const Header& a, const Header& b, int ch)
{
    const Profile &p = a.prof, &q = b.prof;
    if (a.coding != b.coding || a.parts != b.parts || p.entropy != q.entropy || p.stages != q.stages)
        return false;
    for (int s = 0; s < p.stages; ++s)
        if (p.stage[s].order != q.stage[s].order || p.stage[s].shift != q.stage[s].shift ||
            p.stage[s].dirBits != q.stage[s].dirBits || p.stage[s].kind != q.stage[s].kind)
            return false;
    if (std::memcmp(a.midSide, b.midSide, size_t(ch / 2 + 7) / 8) != 0)
        return false;
    for (int c = 0; c < ch; ++c) {
        if (a.wasted[c] != b.wasted[c] || std::memcmp(a.inShift[c], b.inShift[c], size_t(p.stages)) != 0)
            return false;
        for (int j = 0; j < a.parts; ++j) {
            const LpcCoefs &k = a.lpc[c][j], &l = b.lpc[c][j];
            if (k.order != l.order || (k.order > 0 && (k.shift != l.shift ||
                                                       std::memcmp(k.c, l.c, sizeof(int16_t) * size_t(k.order)) != 0)))
                return false;
        }
    }
    return true;
}

} // namespace monkeys::core
