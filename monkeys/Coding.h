// The file calls behind CompressFile, DecompressFile and VerifyFile and
// their stream entries. Each returns an APEResult; on success the progress
// has reached 100000.
#pragma once

#include "MonkeysAudioLib.h"
#include "Progress.h"
#include "Stream.h"

namespace monkeys {

// pcm: null when wave holds a WAVE file.
int compress_stream(const APEStream& wave, const APEStream& ape, int level, const APEPcmFormat* pcm,
                    Progress& progress);
// out null: decode and check everything, write nothing.
int decompress(Input& in, Output* out, Progress& progress);
// wave null: the same.
int decompress_stream(const APEStream& ape, const APEStream* wave, Progress& progress);

// A stream that is the named file path.
inline APEStream named_stream(const char* path)
{
    APEStream s{};
    s.path = path;
    s.fd = -1;
    return s;
}

} // namespace monkeys
