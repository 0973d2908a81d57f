// Reads an APE file of this codec from an input: its header, its stored
// WAVE parts and its frames, each frame checked against its CRC before it
// is decoded, with the checks in the order of docs/format/container.md.
// The file is read front to back, so that a stream that cannot seek is
// read whole without one: the seek table is read on opening and kept (up to
// kKeptEntries; frames past them are found one after another, and the
// table's CRC checked against where they were found).
#pragma once

#include <cstdint>
#include <vector>

#include "ApeFormat.h"
#include "FrameCodec.h"
#include "LargeMemory.h"
#include "Stream.h"

namespace monkeys {

// A coded frame as read.
using FrameBytes = core::Bytes;

class ApeReader {
public:
    // Reads and checks the header, the stored WAVE header (copied to
    // waveHeader and checked against its CRC when given; passed over
    // otherwise) and the seek table, from the input's start (in is not
    // owned). The input is then at the first frame. Returns an APEResult.
    int open(Input& in, Output* waveHeader);

    const FileHeader& header() const { return h_; }

    // Reads the coded frame i: the next one in order from where the input
    // is, or through the seek table where the input can seek. Checks what
    // is needed to read it; decodeFrame checks the rest.
    int readFrame(uint64_t i, FrameBytes& frame);
    // Checks frame i as read (CRC, index, blocks, level) and decodes it into
    // header().frameBlocks(i) * channels samples, or into the WAVE data
    // bytes of the frame. Several threads may decode frames at once.
    int decodeFrame(uint64_t i, const FrameBytes& frame, int32_t* samples) const;
    int decodeFrame(uint64_t i, const FrameBytes& frame, uint8_t* pcm) const;
    // The same into the WAVE data at the start of work, decodeRoom() bytes
    // that the decoder uses all of: one buffer where the other takes the
    // output and memory of the thread's own.
    int decodeFrameInPlace(uint64_t i, const FrameBytes& frame, uint8_t* work) const;
    size_t decodeRoom() const;

    // Once every frame was read in order: checks that they lie where the
    // seek table says and end where the trailer begins, and copies the
    // stored trailer to out (null: nowhere) through its CRC.
    int readTrailer(Output* out);

    // Samples of the longest frame of this file.
    size_t frameSamples() const
    {
        uint64_t blocks = h_.totalBlocks < h_.blocksPerFrame ? h_.totalBlocks : h_.blocksPerFrame;
        return size_t(blocks) * h_.channels;
    }

private:
    // frame resized to bytes.
    int sizeFrame(FrameBytes& frame, size_t bytes) const;
    // Reads the header of the frame at the input's position, and its
    // payload unless skipping; the frame is then taken as read in order.
    int readAtPosition(uint64_t i, FrameBytes* frame);
    // The seek table's entry i (trailerOffset for i = frameCount), where it
    // is kept.
    bool entry(uint64_t i, uint64_t& offset) const;
    // Frame i was read from start: the next one follows it.
    void found(uint64_t i, uint64_t start);
    // Checks frame i as read, then decodes its payload with
    // decode(format, payload, size, blocks).
    template <class Decode>
    int decodeWith(uint64_t i, const FrameBytes& frame, Decode decode) const;

    Input* in_ = nullptr;
    FileHeader h_;
    // The seek table's entries kept: 8 bytes a frame of about 1.7 s of CD
    // audio, so 8 MiB for three weeks of it.
    static constexpr uint64_t kKeptEntries = uint64_t(1) << 20;
    std::vector<uint64_t> table_;
    uint64_t next_ = 0;        // the frame that follows the last one read
    uint64_t nextOffset_ = 0;  // where it begins
    uint32_t tableCrc_ = 0;    // of the offsets of the frames read in order
    bool inOrder_ = true;      // every frame so far was read in order
};

} // namespace monkeys
