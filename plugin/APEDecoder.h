// TAPEDecoder: one open APE file of the player, decoded by the codec
// library's decompressor into a buffer of kBlocksPerRefill blocks that the
// player's reads drain. It keeps no lock; each call works on its own
// object only.
#pragma once

#include <SupportDefs.h>

class IAPEDecompress;
struct file_info;

class TAPEDecoder {
public:
    // Blocks (one sample of every channel) decoded at a time.
    static const int32 kBlocksPerRefill = 10240;

    // InitCheck tells whether the library could open the file.
    explicit TAPEDecoder(const char* fileName);
    ~TAPEDecoder();
    TAPEDecoder(const TAPEDecoder&) = delete;
    TAPEDecoder& operator=(const TAPEDecoder&) = delete;

    // 0 when ready, -1 when the library cannot open the file.
    int32 InitCheck() const { return fInitStatus; }

    // Fills the player's record; 0.
    int32 Info(file_info* info);
    // Copies at most size bytes of PCM and answers the whole frames
    // copied; 0 at the end of the data, after a failed refill, or for a
    // file whose frame size comes out as 0. A read never spans two
    // refills.
    uint32 Read(char* buffer, uint32 size);
    // Decodes the next kBlocksPerRefill blocks into the buffer: 0, or -1
    // (every field as it was) when the library delivers nothing.
    int32 ReadBlocks();
    // Moves decoding to a frame and refills at once; 0, also when the
    // library refuses the frame (a frame past the end ends the data).
    int32 Seek(uint32 frame);
    // The decompressor's position in frames, up to one buffer ahead of
    // what the player has read.
    int64 Position() const;

private:
    int64 BlockAlign() const;
    // Bytes of one frame as the player counts them; 0 for a file that
    // reports fewer than 8 bits per sample or no channels.
    uint32 FrameSize() const;

    char* fBuffer;
    int64 fBufferPosition;   // bytes of the buffer handed to the player
    int64 fBufferFill;       // bytes of decoded audio in the buffer
    int64 fProducedBytes;    // stream offset just past the buffered data
    int64 fTotalBytes;       // decoded size of the whole file
    int32 fInitStatus;
    IAPEDecompress* fDecompressor;
};
