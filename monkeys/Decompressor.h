// The decompressor object of CreateIAPEDecompress.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ApeReader.h"
#include "Files.h"
#include "MonkeysAudioLib.h"

namespace monkeys {

class Decompressor final : public IAPEDecompress {
public:
    // Opens path; returns an APEResult and, on success, the object.
    static int open(const char* path, Decompressor*& out);
    ~Decompressor() override;

    int GetData(char* buffer, int blocks, int* blocksRetrieved) override;
    int Seek(int blockOffset) override;
    intptr_t GetInfo(int field, intptr_t param1 = 0, intptr_t param2 = 0) override;

private:
    Decompressor() = default;

    std::string path_;
    FileHandle fd_;
    ApeReader reader_;
    std::vector<int32_t> samples_;   // one decoded frame
    int64_t decodedFrame_ = -1;      // which one, -1 for none
    uint64_t position_ = 0;          // next block GetData delivers
    CAPETag* tag_ = nullptr;         // opened on first request
};

} // namespace monkeys
