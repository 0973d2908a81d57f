// The fuzz input as a file the readers can open by name, and as a stream
// that cannot seek.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>

#include "MonkeysAudioLib.h"

#include <sys/mman.h>
#include <unistd.h>

class FuzzFile {
public:
    FuzzFile(const uint8_t* data, size_t size)
    {
        fd_ = memfd_create("fuzz", 0);
        if (fd_ >= 0 && size > 0 && write(fd_, data, size) != ssize_t(size)) {
            close(fd_);
            fd_ = -1;
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~FuzzFile()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const char* path() const { return path_.c_str(); }

private:
    int fd_ = -1;
    std::string path_;
};

// Reads the bytes front to back in uneven pieces, as a pipe delivers them.
class MemoryStream {
public:
    MemoryStream(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    APEStream stream()
    {
        APEStream s{};
        s.fd = -1;
        s.context = this;
        s.read = [](void* context, void* buffer, int64_t bytes) -> int64_t {
            auto* self = static_cast<MemoryStream*>(context);
            size_t n = std::min<size_t>({size_t(bytes), self->size_ - self->at_, 1 + self->at_ % 4093});
            std::memcpy(buffer, self->data_ + self->at_, n);
            self->at_ += n;
            return int64_t(n);
        };
        return s;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};
