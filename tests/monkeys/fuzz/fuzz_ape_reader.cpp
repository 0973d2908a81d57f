// Any bytes given as an APE file, by name and as a stream that cannot seek:
// opening, reading, seeking and verifying end with a result, never a
// crash, a hang or unbounded memory.
#include <vector>

#include "Coding.h"
#include "Decompressor.h"
#include "FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzFile file(data, size);
    if (!file.ok())
        return 0;
    monkeys::Decompressor* d = nullptr;
    if (monkeys::Decompressor::open(monkeys::named_stream(file.path()), d) == APE_OK) {
        std::vector<char> buffer(size_t(d->GetInfo(APE_INFO_BLOCK_ALIGN)) * 1024);
        int got = 0;
        for (int i = 0; i < 64 && d->GetData(buffer.data(), 1024, &got) == 0 && got > 0; ++i) {
        }
        intptr_t total = d->GetInfo(APE_DECOMPRESS_TOTAL_BLOCKS);
        if (d->Seek(int(total / 2)) == 0)
            d->GetData(buffer.data(), 1024, &got);
        for (int field = 1000; field < 1040; ++field)
            if (field != APE_INFO_TAG)
                d->GetInfo(field);
        delete d;
        monkeys::Progress progress(nullptr, nullptr, nullptr);
        monkeys::decompress_stream(monkeys::named_stream(file.path()), nullptr, progress);
        MemoryStream stream(data, size);
        monkeys::Progress streamed(nullptr, nullptr, nullptr);
        monkeys::decompress_stream(stream.stream(), nullptr, streamed);
    }
    return 0;
}
