// The decompressor object of CreateIAPEDecompress and
// CreateIAPEDecompressStream.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ApeReader.h"
#include "MonkeysAudioLib.h"
#include "Stream.h"

namespace monkeys {

class Decompressor final : public IAPEDecompress {
public:
    // Opens the stream; returns an APEResult and, on success, the object.
    static int open(const APEStream& stream, Decompressor*& out);
    ~Decompressor() override;

    int GetData(char* buffer, int blocks, int* blocksRetrieved) override;
    int Seek(int blockOffset) override;
    intptr_t GetInfo(int field, intptr_t param1 = 0, intptr_t param2 = 0) override;

private:
    Decompressor() = default;
    CAPETag* OpenTag();

    std::string path_;               // a named file's, whose tag is opened by name
    std::unique_ptr<Input> in_;
    ApeReader reader_;
    FrameBytes frame_;               // the coded frame
    std::vector<int32_t> samples_;   // one decoded frame
    int64_t decodedFrame_ = -1;      // which one, -1 for none
    uint64_t position_ = 0;          // next block GetData delivers
    CAPETag* tag_ = nullptr;         // opened on first request
};

} // namespace monkeys
