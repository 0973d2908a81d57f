// The codec library's file descriptors, for the container and the tag
// alike: one owner that closes, and reads and writes of whole ranges that
// carry on after EINTR and short counts.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include <unistd.h>

namespace monkeys {

// Owns a file descriptor; closing it also releases any flock held on it.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { reset(); }
    int get() const { return fd_; }
    // Gives the descriptor up without closing it.
    int release()
    {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// Reads up to size bytes at offset, or at the file's position when offset
// is negative: fewer only where the file ends. Returns the count, or -1
// on an error (errno says which).
inline int64_t read_full(int fd, void* data, size_t size, int64_t offset = -1)
{
    char* p = static_cast<char*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t n = offset < 0 ? ::read(fd, p + done, size - done)
                               : ::pread(fd, p + done, size - done, off_t(offset + int64_t(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += size_t(n);
    }
    return int64_t(done);
}

// Writes all of data at offset, or at the file's position when offset is
// negative. False on an error (errno says which).
inline bool write_full(int fd, const void* data, size_t size, int64_t offset = -1)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = offset < 0 ? ::write(fd, p, size) : ::pwrite(fd, p, size, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        p += n;
        size -= size_t(n);
        if (offset >= 0)
            offset += n;
    }
    return true;
}

} // namespace monkeys
