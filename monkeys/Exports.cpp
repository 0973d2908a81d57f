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

// The address of a temporary, for the entries' pointer arguments.
const APEStream* ptr(const APEStream& stream) { return &stream; }

} // namespace

// The eleven file entries are the stream entries on named files.

int CompressFile(const char* wavePath, const char* apePath, int level, int* progress,
                 void (*callback)(int), int* kill)
{
    if (!wavePath || !apePath)
        return APE_ERROR_BAD_ARGUMENT;
    return CompressStream(ptr(named_stream(wavePath)), ptr(named_stream(apePath)), level, nullptr, progress,
                          callback, kill);
}

int DecompressFile(const char* apePath, const char* wavePath, int* progress, void (*callback)(int), int* kill)
{
    if (!apePath || !wavePath)
        return APE_ERROR_BAD_ARGUMENT;
    return DecompressStream(ptr(named_stream(apePath)), ptr(named_stream(wavePath)), progress, callback, kill);
}

int VerifyFile(const char* apePath, int* progress, void (*callback)(int), int* kill)
{
    if (!apePath)
        return APE_ERROR_BAD_ARGUMENT;
    return VerifyStream(ptr(named_stream(apePath)), progress, callback, kill);
}

IAPEDecompress* CreateIAPEDecompress(const char* apePath, int* error)
{
    if (!apePath) {
        if (error)
            *error = APE_ERROR_BAD_ARGUMENT;
        return nullptr;
    }
    return CreateIAPEDecompressStream(ptr(named_stream(apePath)), error);
}

int CompressStream(const APEStream* wave, const APEStream* ape, int level, const APEPcmFormat* pcm, int* progress,
                   void (*callback)(int), int* kill)
{
    if (!wave || !ape)
        return APE_ERROR_BAD_ARGUMENT;
    return guarded([&] {
        Progress p(progress, callback, kill);
        return compress_stream(*wave, *ape, level, pcm, p);
    });
}

int DecompressStream(const APEStream* ape, const APEStream* wave, int* progress, void (*callback)(int), int* kill)
{
    if (!ape || !wave)
        return APE_ERROR_BAD_ARGUMENT;
    return guarded([&] {
        Progress p(progress, callback, kill);
        return decompress_stream(*ape, wave, p);
    });
}

int VerifyStream(const APEStream* ape, int* progress, void (*callback)(int), int* kill)
{
    if (!ape)
        return APE_ERROR_BAD_ARGUMENT;
    return guarded([&] {
        Progress p(progress, callback, kill);
        return decompress_stream(*ape, nullptr, p);
    });
}

IAPEDecompress* CreateIAPEDecompressStream(const APEStream* ape, int* error)
{
    Decompressor* d = nullptr;
    int rc = ape ? guarded([&] { return Decompressor::open(*ape, d); }) : int(APE_ERROR_BAD_ARGUMENT);
    if (error)
        *error = rc;
    return d;
}

const char* lib_monkeys_audio_name() { return "Lib Monkey's Audio (VELMOR lossless codec)"; }
const char* lib_monkeys_audio_version() { return "Ver 1.50"; }
const char* lib_monkeys_audio_copyright() { return "Copyright (C) 2026 VELMOR"; }
const char* lib_monkeys_audio_components()
{
    return "WAVE reader (PCM 8/16/24/32-bit, 1-32 channels), APE format 1 with CRC-32 frames, the PCM's MD5 and CRC-32, "
           "adaptive frame coder, APEv2 tags";
}
