// The three file calls behind CompressFile, DecompressFile and VerifyFile.
// Each returns an APEResult; on success the progress has reached 100000.
#pragma once

#include "Progress.h"

namespace monkeys {

int compress_file(const char* wavePath, const char* apePath, int level, Progress& progress);
// wavePath null: decode and check everything, write nothing.
int decompress_file(const char* apePath, const char* wavePath, Progress& progress);

} // namespace monkeys
