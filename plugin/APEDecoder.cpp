#include "APEDecoder.h"

#include <MiscTextUtils.h>
#include <MonkeysAudioLib.h>
#include <PlayerInterface.h>
#include <UsingLibMonkeysAudio.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace {

const size_t kTagFieldBytes = 2048;

// The field's text, empty when the tag lacks it or there is no tag.
void read_tag_field(CAPETag* tag, const char* field, char (&text)[kTagFieldBytes])
{
    text[0] = '\0';
    if (tag == nullptr)
        return;
    int size = int(kTagFieldBytes);
    tag->GetFieldString(field, text, &size);
    text[kTagFieldBytes - 1] = '\0';
}

// Copies text into a field of capacity bytes (terminator included), cut
// before the first UTF-8 character that does not fit whole. A byte that
// is no part of a UTF-8 sequence counts as a character of its own.
void copy_cut(char* field, size_t capacity, const char* text)
{
    size_t length = strlen(text);
    if (length >= capacity) {
        length = capacity - 1;
        // A continuation byte at the cut belongs to a character that
        // began before it: cut before that character's lead byte.
        auto continuation = [text](size_t i) { return (uint8(text[i]) & 0xC0) == 0x80; };
        if (continuation(length)) {
            size_t lead = length - 1;
            while (lead > 0 && length - lead < 4 && continuation(lead))
                lead--;
            if (uint8(text[lead]) >= 0xC0)
                length = lead;
        }
    }
    memcpy(field, text, length);
    field[length] = '\0';
}

}  // namespace

TAPEDecoder::TAPEDecoder(const char* fileName)
    : fBuffer(nullptr),
      fBufferPosition(0),
      fBufferFill(0),
      fProducedBytes(0),
      fTotalBytes(0),
      fInitStatus(-1),
      fDecompressor(nullptr)
{
    int error = 0;
    fDecompressor = create_iapedecompress != nullptr ? create_iapedecompress(fileName, &error) : nullptr;
    if (fDecompressor == nullptr)
        return;
    // In 64 bits: a file of 2 GiB or more of PCM would otherwise end at
    // once or play on past its end.
    fTotalBytes = int64(fDecompressor->GetInfo(APE_DECOMPRESS_TOTAL_BLOCKS)) * BlockAlign();
    const int64 channels = fDecompressor->GetInfo(APE_INFO_CHANNELS);
    const int64 bytes = std::max(channels, BlockAlign()) * kBlocksPerRefill;
    fBuffer = bytes > 0 ? new (std::nothrow) char[size_t(bytes)] : nullptr;
    if (fBuffer == nullptr)
        return;
    fInitStatus = 0;
}

TAPEDecoder::~TAPEDecoder()
{
    delete[] fBuffer;
    delete fDecompressor;
}

int64 TAPEDecoder::BlockAlign() const
{
    return int64(fDecompressor->GetInfo(APE_INFO_BLOCK_ALIGN));
}

uint32 TAPEDecoder::FrameSize() const
{
    const int64 bytesPerSample = int64(fDecompressor->GetInfo(APE_INFO_BITS_PER_SAMPLE)) / 8;
    const int64 channels = int64(fDecompressor->GetInfo(APE_INFO_CHANNELS));
    return bytesPerSample > 0 && channels > 0 ? uint32(bytesPerSample * channels) : 0;
}

int32 TAPEDecoder::ReadBlocks()
{
    int retrieved = 0;
    if (fDecompressor->GetData(fBuffer, kBlocksPerRefill, &retrieved) != 0)
        return -1;
    fBufferPosition = 0;
    fBufferFill = int64(retrieved) * BlockAlign();
    fProducedBytes += fBufferFill;
    return 0;
}

uint32 TAPEDecoder::Read(char* buffer, uint32 size)
{
    if (fProducedBytes - fBufferFill + fBufferPosition >= fTotalBytes)
        return 0;
    const uint32 frameSize = FrameSize();
    if (frameSize == 0)
        return 0;
    if (fBufferPosition >= fBufferFill)
        ReadBlocks();
    const int64 n = std::min(int64(size), fBufferFill - fBufferPosition);
    if (n <= 0)
        return 0;
    memcpy(buffer, fBuffer + fBufferPosition, size_t(n));
    fBufferPosition += n;
    return uint32(n) / frameSize;
}

int32 TAPEDecoder::Seek(uint32 frame)
{
    fDecompressor->Seek(int(frame));
    // The produced bytes become the stream offset just past the new
    // buffer, so that the end-of-data test of Read holds after a seek; a
    // frame the library refused lies past the end and ends the data.
    // Nothing buffered before the seek is handed out after it.
    fProducedBytes = int64(frame) * BlockAlign();
    fBufferPosition = 0;
    fBufferFill = 0;
    ReadBlocks();
    return 0;
}

int64 TAPEDecoder::Position() const
{
    return int64(fDecompressor->GetInfo(APE_DECOMPRESS_CURRENT_MS))
        * int64(fDecompressor->GetInfo(APE_INFO_SAMPLE_RATE)) / 1000;
}

int32 TAPEDecoder::Info(file_info* info)
{
    CAPETag* tag = reinterpret_cast<CAPETag*>(fDecompressor->GetInfo(APE_INFO_TAG));
    info->name[0] = '\0';
    char artist[kTagFieldBytes];
    char title[kTagFieldBytes];
    read_tag_field(tag, "Artist", artist);
    read_tag_field(tag, "Title", title);
    if (artist[0] != '\0' || title[0] != '\0') {
        // The tag tool may have stored them in Shift-JIS or JIS; the player shows UTF-8.
        std::string display = (artist[0] != '\0' ? text_as_utf8(artist) : "Unknown Artist") + " - "
            + (title[0] != '\0' ? text_as_utf8(title) : "Untitled");
        copy_cut(info->name, sizeof info->name, display.c_str());
    }
    copy_cut(info->type_description, sizeof info->type_description, "Monkey's Audio");
    copy_cut(info->mime_type, sizeof info->mime_type, "audio/x-ape");
    const float sampleRate = float(fDecompressor->GetInfo(APE_INFO_SAMPLE_RATE));
    const float bits = float(fDecompressor->GetInfo(APE_INFO_BITS_PER_SAMPLE));
    info->sample_rate = sampleRate;
    info->bits_per_sample = bits;
    info->channels = int32(fDecompressor->GetInfo(APE_INFO_CHANNELS));
    info->frames_per_read = kBlocksPerRefill;
    const double frames = double(sampleRate) * double(fDecompressor->GetInfo(APE_INFO_LENGTH_MS)) / 1000.0;
    info->frames = int32(uint32(uint64(int64(frames))));
    info->bytes_per_sample = int32(bits / 8);
    info->seekable = 1;
    info->little_endian = 1;
    info->reserved = 0;
    return 0;
}
