#include "Wave.h"

#include <cstring>
#include <memory>

#include "Bytes.h"
#include "MonkeysAudioLib.h"

namespace monkeys {

namespace {

constexpr int kMaxChunks = 1 << 20;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The tail of the KSDATAFORMAT_SUBTYPE GUIDs, after their format code.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Wave64 names its chunks by GUIDs: "riff" has one of its own, the others
// are their four letters followed by one common tail.
constexpr uint8_t kWave64Riff[16] = {'r', 'i', 'f', 'f', 0x2E, 0x91, 0xCF, 0x11,
                                     0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
constexpr uint8_t kWave64Tail[12] = {0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
constexpr uint32_t kNoSize32 = 0xFFFFFFFF;

enum class Container { Riff, Rf64, Wave64 };

int parse_format(const uint8_t* f, uint64_t size, WaveLayout& layout)
{
    if (size < 16)
        return APE_ERROR_WAVE_NO_FORMAT;
    uint16_t tag = get16(f);
    int channels = get16(f + 2);
    uint32_t rate = get32(f + 4);
    int blockAlign = get16(f + 12);
    int bits = get16(f + 14);
    if (tag == kFormatExtensible) {
        if (size < 40 || get16(f + 16) < 22)
            return APE_ERROR_WAVE_NO_FORMAT;
        int validBits = get16(f + 18);
        if (get16(f + 24) != kFormatPcm || std::memcmp(f + 26, kSubFormatTail, sizeof kSubFormatTail) != 0)
            return APE_ERROR_WAVE_UNSUPPORTED;
        if (validBits > bits || bits % 8 != 0)
            return APE_ERROR_WAVE_BAD_FORMAT;
    } else if (tag != kFormatPcm) {
        return APE_ERROR_WAVE_UNSUPPORTED;
    }
    if (channels < 1 || channels > 32 || rate == 0 || bits < 1 || bits > 32)
        return APE_ERROR_WAVE_BAD_FORMAT;
    // Sample sizes that are not whole bytes sit in the next whole byte.
    int bytes = (bits + 7) / 8;
    if (blockAlign != channels * bytes)
        return APE_ERROR_WAVE_BAD_FORMAT;
    layout.channels = channels;
    layout.bitsPerSample = bytes * 8;
    layout.blockAlign = blockAlign;
    layout.sampleRate = rate;
    return APE_OK;
}

// What the chunk walk reads through. An input that can seek is read at
// any offset, through a buffer (chunk headers lie close together); a
// stream only forward, every byte read or passed over going to the header.
class Walker {
public:
    Walker(Input& in, bool random, const ByteSink& header) : in_(in), random_(random), header_(header)
    {
        if (random)
            buffer_.reset(new uint8_t[kBuffer]);
    }

    int read(uint64_t pos, uint8_t* out, size_t n)
    {
        if (random_)
            return readBuffered(pos, out, n);
        if (pos < in_.position())
            return APE_ERROR_WAVE_NO_FORMAT;
        uint8_t piece[1 << 12];
        while (in_.position() < pos) {
            uint64_t left = pos - in_.position();
            size_t take = left < sizeof piece ? size_t(left) : sizeof piece;
            int rc = in_.read(piece, take);
            if (rc == APE_OK)
                rc = header_(piece, take);
            if (rc != APE_OK)
                return rc;
        }
        int rc = in_.read(out, n);
        return rc == APE_OK ? header_(out, n) : rc;
    }

private:
    static constexpr size_t kBuffer = 1 << 14;

    int readBuffered(uint64_t pos, uint8_t* out, size_t n)
    {
        if (pos < start_ || pos + n > start_ + fill_) {
            uint64_t size = uint64_t(in_.size());
            uint64_t left = size > pos ? size - pos : 0;
            size_t want = left < kBuffer ? size_t(left) : kBuffer;
            if (want < n)
                return APE_ERROR_TRUNCATED;
            fill_ = 0;
            int rc = in_.readAt(pos, buffer_.get(), want);
            if (rc != APE_OK)
                return rc;
            start_ = pos;
            fill_ = want;
        }
        std::memcpy(out, buffer_.get() + (pos - start_), n);
        return APE_OK;
    }

    Input& in_;
    bool random_;
    const ByteSink& header_;
    std::unique_ptr<uint8_t[]> buffer_;
    uint64_t start_ = 0;
    size_t fill_ = 0;
};

bool is_chunk(const uint8_t* id, Container c, const char* name)
{
    return std::memcmp(id, name, 4) == 0 &&
           (c != Container::Wave64 || std::memcmp(id + 4, kWave64Tail, sizeof kWave64Tail) == 0);
}

} // namespace

int read_wave_layout(Input& in, WaveLayout& layout, const ByteSink& header)
{
    const bool random = in.seekable() && in.size() >= 0;
    const uint64_t fileSize = random ? uint64_t(in.size()) : UINT64_MAX;
    Walker walk(in, random, header);
    uint8_t head[40];
    int rc = walk.read(0, head, 12);
    if (rc != APE_OK)
        return rc == APE_ERROR_TRUNCATED ? APE_ERROR_NOT_WAVE : rc;
    Container c;
    uint64_t pos = 12;
    if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) {
        c = Container::Riff;
    } else if ((std::memcmp(head, "RF64", 4) == 0 || std::memcmp(head, "BW64", 4) == 0) &&
               std::memcmp(head + 8, "WAVE", 4) == 0) {
        c = Container::Rf64;
    } else if (std::memcmp(head, kWave64Riff, 12) == 0) {
        if ((rc = walk.read(12, head + 12, 28)) != APE_OK)
            return rc == APE_ERROR_TRUNCATED ? APE_ERROR_NOT_WAVE : rc;
        if (std::memcmp(head + 12, kWave64Riff + 12, 4) != 0 || !is_chunk(head + 24, Container::Wave64, "wave"))
            return APE_ERROR_NOT_WAVE;
        c = Container::Wave64;
        pos = 40;
    } else {
        return APE_ERROR_NOT_WAVE;
    }
    const size_t chunkHeader = c == Container::Wave64 ? 24 : 8;

    // RF64 gives the sizes that do not fit 32 bits in a ds64 chunk, first.
    uint64_t ds64DataSize = 0;
    if (c == Container::Rf64) {
        uint8_t ds64[8 + 28];
        if ((rc = walk.read(12, ds64, sizeof ds64)) != APE_OK)
            return rc == APE_ERROR_TRUNCATED ? APE_ERROR_WAVE_TRUNCATED : rc;
        uint32_t size = get32(ds64 + 4);
        if (std::memcmp(ds64, "ds64", 4) != 0 || size < 28)
            return APE_ERROR_WAVE_BAD_FORMAT;
        ds64DataSize = get64(ds64 + 16);
        pos = 12 + 8 + uint64_t(size) + (size & 1);
    }

    // The RIFF size is not trusted (streaming writers leave it wrong); the
    // chunks are walked to the end of the file instead. The format normally
    // comes first, but is also found after the data.
    bool haveFormat = false, haveData = false;
    for (int chunks = 0; !(haveFormat && haveData); ++chunks) {
        // Real files have a handful of chunks; a file of millions of empty
        // ones is refused rather than walked for minutes.
        if (chunks == kMaxChunks)
            return APE_ERROR_WAVE_BAD_FORMAT;
        if (pos > fileSize || fileSize - pos < chunkHeader)
            break;
        uint8_t chunk[24];
        if ((rc = walk.read(pos, chunk, chunkHeader)) != APE_OK) {
            if (!random && rc == APE_ERROR_TRUNCATED)
                break;   // the stream ended
            return rc == APE_ERROR_TRUNCATED ? APE_ERROR_WAVE_TRUNCATED : rc;
        }
        const uint64_t body = pos + chunkHeader;
        uint64_t size;
        bool sizeUnknown;
        if (c == Container::Wave64) {
            uint64_t total = get64(chunk + 16);   // counts the chunk's header
            sizeUnknown = total == 0 || total == UINT64_MAX;
            if (total < chunkHeader && !sizeUnknown)
                return APE_ERROR_WAVE_BAD_FORMAT;
            size = sizeUnknown ? 0 : total - chunkHeader;
        } else {
            uint32_t size32 = get32(chunk + 4);
            size = size32;
            if (c == Container::Rf64 && size32 == kNoSize32 && is_chunk(chunk, c, "data"))
                size = ds64DataSize;
            sizeUnknown = size == 0 || size == kNoSize32 || size == UINT64_MAX;
        }
        if (is_chunk(chunk, c, "fmt ") && !haveFormat) {
            uint8_t f[40] = {};
            size_t n = size < 40 ? size_t(size) : 40;
            if (body > fileSize || fileSize - body < n)
                return APE_ERROR_WAVE_NO_FORMAT;
            if ((rc = walk.read(body, f, n)) != APE_OK)
                return rc == APE_ERROR_TRUNCATED ? APE_ERROR_WAVE_NO_FORMAT : rc;
            if ((rc = parse_format(f, size, layout)) != APE_OK)
                return rc;
            haveFormat = true;
        } else if (is_chunk(chunk, c, "data") && !haveData) {
            if (random && (body > fileSize || fileSize - body < size))
                return APE_ERROR_WAVE_TRUNCATED;
            haveData = true;
            layout.dataOffset = body;
            layout.dataSize = size;
            if (!random) {
                // A stream stops at its audio, which runs to the end where
                // the size says nothing.
                if (sizeUnknown)
                    layout.dataSize = kToTheEnd;
                break;
            }
        }
        uint64_t next = c == Container::Wave64 ? body + ((size + 7) & ~uint64_t(7)) : body + size + (size & 1);
        if (next < body)
            return APE_ERROR_WAVE_BAD_FORMAT;
        pos = next;
    }
    if (!haveData)
        return APE_ERROR_WAVE_NO_DATA;
    if (!haveFormat)
        return APE_ERROR_WAVE_NO_FORMAT;
    return APE_OK;
}

int pcm_layout(const APEPcmFormat& f, WaveLayout& layout)
{
    const int bits = f.bitsPerSample;
    if (f.channels < 1 || f.channels > 32 || f.sampleRate <= 0 || (bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
        f.validBits < 0 || f.validBits > bits)
        return APE_ERROR_WAVE_BAD_FORMAT;
    layout.channels = f.channels;
    layout.bitsPerSample = bits;
    layout.blockAlign = f.channels * bits / 8;
    layout.sampleRate = uint32_t(f.sampleRate);
    layout.dataOffset = 0;
    layout.dataSize = kToTheEnd;
    return APE_OK;
}

std::vector<uint8_t> canonical_wave_header(const APEPcmFormat& f, uint64_t dataSize)
{
    const int bits = f.bitsPerSample;
    const int valid = f.validBits > 0 ? f.validBits : bits;
    const bool extensible = f.channels > 2 || bits > 16 || valid != bits;
    const uint32_t fmtSize = extensible ? 40 : 16;
    const uint64_t riffSize = 4 + (8 + fmtSize) + 8 + dataSize + (dataSize & 1);
    const bool rf64 = riffSize > kNoSize32;
    std::vector<uint8_t> h(12 + (rf64 ? 8 + 28 : 0) + 8 + fmtSize + 8);
    uint8_t* p = h.data();
    auto tag = [&](const char* name, uint32_t size) {
        std::memcpy(p, name, 4);
        put32(p + 4, size);
        p += 8;
    };
    tag(rf64 ? "RF64" : "RIFF", rf64 ? kNoSize32 : uint32_t(riffSize));
    std::memcpy(p, "WAVE", 4);
    p += 4;
    if (rf64) {
        tag("ds64", 28);
        put64(p, riffSize + 8 + 28);                     // the RIFF size, with this chunk
        put64(p + 8, dataSize);
        put64(p + 16, dataSize / uint64_t(f.channels * bits / 8));   // sample frames
        put32(p + 24, 0);                                // no table
        p += 28;
    }
    tag("fmt ", fmtSize);
    put16(p, extensible ? kFormatExtensible : kFormatPcm);
    put16(p + 2, uint16_t(f.channels));
    put32(p + 4, uint32_t(f.sampleRate));
    put32(p + 8, uint32_t(f.sampleRate) * uint32_t(f.channels * bits / 8));
    put16(p + 12, uint16_t(f.channels * bits / 8));
    put16(p + 14, uint16_t(bits));
    if (extensible) {
        put16(p + 16, 22);
        put16(p + 18, uint16_t(valid));
        put32(p + 20, f.channelMask);
        put16(p + 24, kFormatPcm);
        std::memcpy(p + 26, kSubFormatTail, sizeof kSubFormatTail);
    }
    p += fmtSize;
    tag("data", rf64 ? kNoSize32 : uint32_t(dataSize));
    return h;
}

} // namespace monkeys
