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
// Exported whatever the library's default visibility.
#pragma GCC visibility push(default)
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
#pragma GCC visibility pop
#endif

// Results of the library's calls: 0 is success, every failure has its own
// code. docs/ape-format.md says when each one is given.
enum APEResult {
    APE_OK = 0,

    // files and the system
    APE_ERROR_SOURCE_NOT_FOUND = 1000,   // the source does not exist
    APE_ERROR_SOURCE_UNREADABLE = 1001,  // exists but cannot be opened or read
    APE_ERROR_SOURCE_NOT_REGULAR = 1002, // a folder, FIFO, device...
    APE_ERROR_DESTINATION_EXISTS = 1003, // never replaced
    APE_ERROR_DESTINATION_UNWRITABLE = 1004, // folder missing or not writable
    APE_ERROR_SAME_FILE = 1005,          // destination is the source itself
    APE_ERROR_WRITE = 1006,              // write failed (disk full, size limit...)
    APE_ERROR_READ = 1007,               // read failed part-way
    APE_ERROR_NO_MEMORY = 1008,
    APE_ERROR_KILLED = 1009,             // the caller's kill flag was set
    APE_ERROR_BAD_ARGUMENT = 1010,       // null path and the like
    APE_ERROR_CODER_MISMATCH = 1011,     // a coded frame failed the encoder's own check

    // WAVE input
    APE_ERROR_NOT_WAVE = 2000,           // not a RIFF WAVE file
    APE_ERROR_WAVE_UNSUPPORTED = 2001,   // float, compressed or other non-PCM data
    APE_ERROR_WAVE_NO_FORMAT = 2002,     // no usable fmt chunk
    APE_ERROR_WAVE_NO_DATA = 2003,       // no data chunk
    APE_ERROR_WAVE_BAD_FORMAT = 2004,    // absurd channel count, bits, block align...
    APE_ERROR_WAVE_TRUNCATED = 2005,     // the data chunk is cut short
    APE_ERROR_BAD_LEVEL = 2006,          // not 1000, 2000, 3000 or 4000

    // APE input
    APE_ERROR_NOT_APE = 3000,            // not a file of this codec
    APE_ERROR_FOREIGN_APE = 3001,        // made by another APE encoder ("MAC ")
    APE_ERROR_UNSUPPORTED_VERSION = 3002,// a newer format version
    APE_ERROR_BAD_HEADER = 3003,         // header values out of range
    APE_ERROR_TRUNCATED = 3004,          // the file ends early
    APE_ERROR_FRAME_CRC = 3005,          // a frame's CRC-32 does not match
    APE_ERROR_FRAME_CORRUPT = 3006,      // a frame does not decode
    APE_ERROR_MD5 = 3007,                // the audio's MD5 does not match
    APE_ERROR_SEEK_RANGE = 3008,         // seek beyond the last block
    APE_ERROR_WAVE_PARTS_CRC = 3009,     // the stored WAVE header or trailer is damaged

    // tags
    APE_ERROR_TAG_CORRUPT = 4000,        // the tag cannot be read
    APE_ERROR_TAG_TOO_LARGE = 4001,
    APE_ERROR_TAG_WRITE = 4002,          // the tag could not be saved
    APE_ERROR_TAG_READ_ONLY = 4003,      // the file could not be opened for writing
    APE_ERROR_TAG_BAD_FIELD = 4004,      // empty or invalid field name
    APE_ERROR_TAG_LOCKED = 4005,         // another writer holds the file
    APE_ERROR_TAG_NO_FIELD = 4006,       // the field is not in the tag (empty text given)
    APE_ERROR_TAG_NOT_TEXT = 4007,       // the field holds binary data (empty text given)
    APE_ERROR_TAG_FILE_CHANGED = 4008,   // the file was replaced since its tag was read
};
