// Named files of the file calls: opening a source, and an output file that
// appears under its name only once it is complete.
#pragma once

#include <string>

#include <sys/stat.h>

#include "FileIo.h"
#include "Stream.h"

namespace monkeys {

// Opens a regular file for reading. Returns an APEResult; on success
// fills fd and st.
int open_source(const char* path, FileHandle& fd, struct stat& st);

// Opens an unnamed file for writing and reading in folder: O_TMPFILE, or
// where the file system has none a hidden temporary file named after
// base, whose name is given in tempPath (empty for an unnamed file).
int open_unnamed(const std::string& folder, const std::string& base, FileHandle& fd, std::string& tempPath);

// The folder of a path ("." for a bare name).
std::string folder_of(const std::string& path);

// The library's own way of replacing a file whole, as it links no kit.
// The destination of CompressFile and DecompressFile. create() refuses
// a destination that exists or is the source, and opens an unnamed (or,
// where the file system has none, a hidden temporary) file in the
// destination's folder; finish() gives it the destination's name without
// ever replacing a file. Without finish() nothing is left behind.
class OutputFile final : public FdOutput {
public:
    OutputFile() = default;
    ~OutputFile() override;

    // source: the input's file, for the same-file check (null: none)
    int create(const char* path, const struct stat* source);
    int finish() override;

private:
    void discard();

    FileHandle fd_;
    std::string path_;
    std::string tempPath_;  // empty for an unnamed file
    bool committed_ = false;
};

} // namespace monkeys
