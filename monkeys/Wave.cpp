#include "Wave.h"

#include <cstring>

#include "Bytes.h"
#include "Files.h"
#include "MonkeysAudioLib.h"

namespace monkeys {

namespace {

constexpr int kMaxChunks = 1 << 20;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The tail of the KSDATAFORMAT_SUBTYPE GUIDs, after their format code.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

int parse_format(const uint8_t* f, uint32_t size, WaveLayout& layout)
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

// Reads small pieces of the file through a buffer: chunk headers lie
// close together.
class PieceReader {
public:
    PieceReader(int fd, uint64_t fileSize) : fd_(fd), size_(fileSize) {}
    int read(uint64_t pos, uint8_t* out, size_t n)
    {
        if (pos < start_ || pos + n > start_ + fill_) {
            uint64_t left = size_ > pos ? size_ - pos : 0;
            size_t want = left < sizeof buffer_ ? size_t(left) : sizeof buffer_;
            if (want < n)
                return APE_ERROR_TRUNCATED;
            fill_ = 0;
            int rc = read_at(fd_, pos, buffer_, want);
            if (rc != APE_OK)
                return rc;
            start_ = pos;
            fill_ = want;
        }
        std::memcpy(out, buffer_ + (pos - start_), n);
        return APE_OK;
    }

private:
    int fd_;
    uint64_t size_;
    uint64_t start_ = 0;
    size_t fill_ = 0;
    uint8_t buffer_[1 << 14];
};

} // namespace

int read_wave_layout(int fd, uint64_t fileSize, WaveLayout& layout)
{
    uint8_t head[12];
    if (fileSize < 12 || read_at(fd, 0, head, 12) != APE_OK)
        return APE_ERROR_NOT_WAVE;
    if (std::memcmp(head, "RF64", 4) == 0 || std::memcmp(head, "BW64", 4) == 0)
        return APE_ERROR_WAVE_UNSUPPORTED;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
        return APE_ERROR_NOT_WAVE;

    // The RIFF size is not trusted (streaming writers leave it wrong); the
    // chunks are walked to the end of the file instead. The format normally
    // comes first, but is also found after the data.
    bool haveFormat = false, haveData = false;
    uint64_t dataSize = 0;
    PieceReader reader(fd, fileSize);
    uint64_t pos = 12;
    // Real files have a handful of chunks; a file of millions of empty
    // ones is refused rather than walked for minutes.
    for (int chunks = 0; pos + 8 <= fileSize && !(haveFormat && haveData); ++chunks) {
        if (chunks == kMaxChunks)
            return APE_ERROR_WAVE_BAD_FORMAT;
        uint8_t chunk[8];
        int rc = reader.read(pos, chunk, 8);
        if (rc != APE_OK)
            return rc == APE_ERROR_TRUNCATED ? APE_ERROR_WAVE_TRUNCATED : rc;
        uint32_t size = get32(chunk + 4);
        uint64_t body = pos + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !haveFormat) {
            uint8_t f[40] = {};
            uint32_t n = size < 40 ? size : 40;
            if (body + n > fileSize)
                return APE_ERROR_WAVE_NO_FORMAT;
            if ((rc = reader.read(body, f, n)) != APE_OK)
                return rc;
            if ((rc = parse_format(f, size, layout)) != APE_OK)
                return rc;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && !haveData) {
            if (body + size > fileSize)
                return APE_ERROR_WAVE_TRUNCATED;
            haveData = true;
            layout.dataOffset = body;
            dataSize = size;
        }
        pos = body + size + (size & 1);
    }
    if (!haveData)
        return APE_ERROR_WAVE_NO_DATA;
    if (!haveFormat)
        return APE_ERROR_WAVE_NO_FORMAT;
    layout.totalBlocks = dataSize / uint64_t(layout.blockAlign);
    layout.dataBytes = layout.totalBlocks * uint64_t(layout.blockAlign);
    layout.trailerOffset = layout.dataOffset + layout.dataBytes;
    layout.trailerSize = fileSize - layout.trailerOffset;
    return APE_OK;
}

} // namespace monkeys
