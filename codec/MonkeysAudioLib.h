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

// Beyond the eleven: the same calls on streams (a named file, an open
// descriptor or the caller's callbacks), for pipes and for any source or
// destination a program has. A stream is given by the first of path, fd
// and the callbacks that is set.
struct APEStream {
    const char* path;   // a named file, with the file calls' rules
    int fd;             // an open descriptor (-1 for none), used from its offset, never closed
    void* context;      // handed to the callbacks
    // Reads up to bytes: the count, 0 at the end, -1 on an error.
    int64_t (*read)(void* context, void* buffer, int64_t bytes);
    // Writes all bytes: 0, -1 on an error, -2 where the reader has gone.
    int (*write)(void* context, const void* buffer, int64_t bytes);
    // Moves to an offset from where the stream began: 0 or -1. Null where
    // the stream cannot seek: it is then read or written front to back.
    int (*seek)(void* context, int64_t offset);
    // The stream's length in bytes, -1 when unknown; null for unknown.
    int64_t (*size)(void* context);
};

// Raw integer PCM given to CompressStream instead of a WAVE file; the APE
// file then stores a canonical WAVE header made for it (RIFF, or RF64 past
// 4 GiB).
struct APEPcmFormat {
    int channels;         // 1 to 32
    int bitsPerSample;    // of the container: 8 (unsigned), 16, 24 or 32 (signed, little-endian)
    int validBits;        // bits that carry the signal, 0 for all of them
    int sampleRate;       // in Hz
    uint32_t channelMask; // WAVE speaker positions, 0 for none
};

// pcm: null when wave holds a WAVE file (RIFF, RF64 or Wave64).
using CompressStreamFn = int(const APEStream* wave, const APEStream* ape, int level, const APEPcmFormat* pcm,
                             int* progress, ProgressCallback* callback, int* kill);
using DecompressStreamFn = int(const APEStream* ape, const APEStream* wave, int* progress,
                               ProgressCallback* callback, int* kill);
using VerifyStreamFn = int(const APEStream* ape, int* progress, ProgressCallback* callback, int* kill);
using CreateIAPEDecompressStreamFn = IAPEDecompress*(const APEStream* ape, int* error);

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
CompressStreamFn CompressStream;
DecompressStreamFn DecompressStream;
VerifyStreamFn VerifyStream;
CreateIAPEDecompressStreamFn CreateIAPEDecompressStream;
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
    APE_ERROR_OUTPUT_CLOSED = 1012,      // the output's reader has gone (a closed pipe)
    APE_ERROR_NOT_SEEKABLE = 1013,       // a seek back on a stream that cannot seek

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
