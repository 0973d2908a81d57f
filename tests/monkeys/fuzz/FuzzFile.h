// The fuzz input as a file the readers can open by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

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
