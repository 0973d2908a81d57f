// The contract between the suite's programs and the codec library
// libMonkeysAudio.so. The library includes this header to declare its
// exports; the binding uses the same function types for its entry table,
// so the two can never disagree.
#pragma once

#include <cstdint>

class CAPETag {
public:
    virtual ~CAPETag();
    // Writes the current fields to the file; programs pass 0.
    virtual int Save(int useOldId3);
    // Drops every field; with 1 they also leave the file at the next Save.
    virtual int Remove(int update);
    // valueBytes -1: value is NUL-terminated.
    virtual int SetFieldString(const char* field, const char* value, int valueBytes, int flags);
    // *bufferBytes: capacity in, bytes written (without the NUL) out.
    virtual int GetFieldString(const char* field, char* buffer, int* bufferBytes);
};

class IAPEDecompress {
public:
    virtual ~IAPEDecompress();
    virtual int GetData(char* buffer, int blocks, int* blocksRetrieved);
    virtual int Seek(int blockOffset);
    // Returns intptr_t so that the tag object's address (field 1030)
    // keeps its full width on 64-bit systems.
    virtual intptr_t GetInfo(int field, intptr_t param1 = 0, intptr_t param2 = 0);
};

// Information fields of IAPEDecompress::GetInfo that the programs use.
enum APEInfoField {
    APE_INFO_SAMPLE_RATE = 1003,
    APE_INFO_BITS_PER_SAMPLE = 1004,
    APE_INFO_CHANNELS = 1006,
    APE_INFO_BLOCK_ALIGN = 1007,
    APE_INFO_LENGTH_MS = 1017,
    APE_INFO_TAG = 1030,
    APE_DECOMPRESS_CURRENT_MS = 2001,
    APE_DECOMPRESS_TOTAL_BLOCKS = 2002,
};

// Function types of the eleven exports.
using ProgressCallback = void(int);
using CompressFileFn = int(const char* wavePath, const char* apePath, int level,
                           int* progress, ProgressCallback* callback, int* kill);
using DecompressFileFn = int(const char* apePath, const char* wavePath,
                             int* progress, ProgressCallback* callback, int* kill);
using VerifyFileFn = int(const char* apePath, int* progress, ProgressCallback* callback, int* kill);
using CreateIAPEDecompressFn = IAPEDecompress*(const char* apePath, int* error);
// Opens the tag of a file by name; null when the file cannot be opened.
using CreateCAPETag1Fn = CAPETag*(const char* apePath);
// The same, reporting why it failed through *error (0 on success).
using CreateCAPETag2Fn = CAPETag*(const char* apePath, int* error);
using DestroyCAPETagFn = void(CAPETag* tag);
using LibTextFn = const char*();

#ifdef LIBMONKEYSAUDIO_BUILD
extern "C" {
CompressFileFn CompressFile;
DecompressFileFn DecompressFile;
VerifyFileFn VerifyFile;
CreateIAPEDecompressFn CreateIAPEDecompress;
CreateCAPETag1Fn create_capetag_1;
CreateCAPETag2Fn create_capetag_2;
DestroyCAPETagFn destroy_capetag;
LibTextFn lib_monkeys_audio_name;
LibTextFn lib_monkeys_audio_version;   // "Ver " then a decimal number
LibTextFn lib_monkeys_audio_copyright;
LibTextFn lib_monkeys_audio_components;
}
#endif
