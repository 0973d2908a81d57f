// Reads an APE file of this codec: its header, its stored WAVE parts and
// any frame, each frame checked against its CRC before it is decoded.
#pragma once

#include <cstdint>
#include <vector>

#include "ApeFormat.h"
#include "FrameCodec.h"

namespace monkeys {

class ApeReader {
public:
    // Reads and checks the header and the seek table of the file of
    // fileSize bytes at fd (not owned). Returns an APEResult.
    int open(int fd, uint64_t fileSize);

    const FileHeader& header() const { return h_; }

    // Decodes frame i into header().frameBlocks(i) * channels samples.
    int decodeFrame(uint64_t i, int32_t* samples) { return decodeFrame(i, samples, frame_); }
    // The same with a buffer of the caller's for the coded frame, so that
    // several threads may decode frames of one reader at once.
    int decodeFrame(uint64_t i, int32_t* samples, std::vector<uint8_t>& frame) const;
    // The same into the WAVE data bytes of the frame.
    int decodeFrame(uint64_t i, uint8_t* pcm, std::vector<uint8_t>& frame) const;

    // Samples of the longest frame of this file.
    size_t frameSamples() const
    {
        uint64_t blocks = h_.totalBlocks < h_.blocksPerFrame ? h_.totalBlocks : h_.blocksPerFrame;
        return size_t(blocks) * h_.channels;
    }

private:
    int seekEntry(uint64_t i, uint64_t& offset) const;
    // Reads frame i into frame and checks it; format is what decodes it.
    int readFrame(uint64_t i, std::vector<uint8_t>& frame, FrameFormat& format) const;
    template <class Sample>
    int decodeInto(uint64_t i, Sample* out, std::vector<uint8_t>& frame) const;

    int fd_ = -1;
    FileHeader h_;
    // the frame being decoded, as read from the file
    std::vector<uint8_t> frame_;
};

} // namespace monkeys
