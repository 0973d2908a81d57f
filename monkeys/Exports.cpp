// The library's entry points. No exception ever leaves them.
#include <new>

#include "Coding.h"
#include "Decompressor.h"
#include "MonkeysAudioLib.h"

using namespace monkeys;

namespace {

template <typename F>
int guarded(F&& body)
{
    try {
        return body();
    } catch (...) {
        // only allocations throw here (bad_alloc, length_error)
        return APE_ERROR_NO_MEMORY;
    }
}

} // namespace

int CompressFile(const char* wavePath, const char* apePath, int level, int* progress,
                 void (*callback)(int), int* kill)
{
    return guarded([&] {
        Progress p(progress, callback, kill);
        return compress_file(wavePath, apePath, level, p);
    });
}

int DecompressFile(const char* apePath, const char* wavePath, int* progress, void (*callback)(int), int* kill)
{
    if (!wavePath)
        return APE_ERROR_BAD_ARGUMENT;
    return guarded([&] {
        Progress p(progress, callback, kill);
        return decompress_file(apePath, wavePath, p);
    });
}

int VerifyFile(const char* apePath, int* progress, void (*callback)(int), int* kill)
{
    return guarded([&] {
        Progress p(progress, callback, kill);
        return decompress_file(apePath, nullptr, p);
    });
}

IAPEDecompress* CreateIAPEDecompress(const char* apePath, int* error)
{
    Decompressor* d = nullptr;
    int rc = guarded([&] { return Decompressor::open(apePath, d); });
    if (error)
        *error = rc;
    return d;
}

const char* lib_monkeys_audio_name() { return "Lib Monkey's Audio (VELMOR lossless codec)"; }
const char* lib_monkeys_audio_version() { return "Ver 1.50"; }
const char* lib_monkeys_audio_copyright() { return "Copyright (C) 2026 VELMOR"; }
const char* lib_monkeys_audio_components()
{
    return "WAVE reader (PCM 8/16/24/32-bit, 1-32 channels), APE format 1 with CRC-32 frames and MD5, "
           "adaptive frame coder, APEv2 tags";
}
