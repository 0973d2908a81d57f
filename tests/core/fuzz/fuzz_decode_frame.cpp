// decode_frame on arbitrary bytes, to samples and in place to WAVE data: it
// may refuse them or decode them, but must stay inside its input and output.
#include <cstring>
#include <memory>

#include "FuzzFrame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < corefuzz::kHeader)
        return 0;
    corefuzz::Case c = corefuzz::parse(data);
    size_t payload = size - corefuzz::kHeader;
    // exact-size copies, so that any stray access is seen
    std::unique_ptr<uint8_t[]> in(new uint8_t[payload ? payload : 1]);
    std::memcpy(in.get(), data + corefuzz::kHeader, payload);
    size_t count = size_t(c.blocks) * size_t(c.format.channels);
    std::unique_ptr<int32_t[]> out(new int32_t[count ? count : 1]);
    monkeys::decode_frame(c.format, in.get(), payload, c.blocks, out.get());
    // and into WAVE data in one buffer with the channels
    const size_t room = monkeys::decode_work_bytes(c.format.channels, c.format.bitsPerSample, c.blocks);
    std::unique_ptr<uint8_t[]> work(new uint8_t[room ? room : 1]);
    monkeys::decode_frame_in_place(c.format, in.get(), payload, c.blocks, work.get());
    return 0;
}
