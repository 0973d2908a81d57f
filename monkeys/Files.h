// File plumbing shared by the three file calls: opening a source,
// reading and writing whole ranges, and an output file that appears
// under its name only once it is complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <sys/stat.h>

#include "FileIo.h"

namespace monkeys {

// Opens a regular file for reading. Returns an APEResult; on success
// fills fd and st.
int open_source(const char* path, FileHandle& fd, struct stat& st);

// Reads exactly size bytes at offset: APE_OK, APE_ERROR_TRUNCATED when
// the file ends first, APE_ERROR_READ on an error.
int read_at(int fd, uint64_t offset, void* data, size_t size);

// Writes all of data at the file's position or at offset: APE_OK or
// APE_ERROR_WRITE.
int write_all(int fd, const void* data, size_t size);
// Sends an output to the disk as it grows, without waiting for it, so
// that the sync before the output appears has little left to do.
class Writeback {
public:
    // fd: the output (none below 0); start: where appending begins
    Writeback(int fd, uint64_t start) : fd_(fd), end_(start) {}
    // bytes were appended
    void grew(uint64_t bytes);

private:
    static constexpr uint64_t kStep = uint64_t(8) << 20;
    int fd_;
    uint64_t end_;
    uint64_t sent_ = 0;
};
int write_at(int fd, uint64_t offset, const void* data, size_t size);

// Passes the bytes [offset, offset + size) of inFd through crc (CRC-32),
// writing them to outFd at its position unless outFd is -1.
int copy_range(int inFd, uint64_t offset, uint64_t size, uint32_t& crc, int outFd);

// The library's own way of replacing a file whole, as it links no kit.
// The destination of CompressFile and DecompressFile. create() refuses
// a destination that exists or is the source, and opens an unnamed (or,
// where the file system has none, a hidden temporary) file in the
// destination's folder; commit() gives it the destination's name without
// ever replacing a file. Without commit() nothing is left behind.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    int create(const char* path, const struct stat& source);
    int fd() const { return fd_.get(); }
    int commit();

private:
    void discard();

    FileHandle fd_;
    std::string path_;
    std::string tempPath_;  // empty for an unnamed file
    bool committed_ = false;
};

} // namespace monkeys
