#include "FileIO.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

ssize_t read_fully(int fd, void* buffer, size_t size, off_t offset)
{
    uint8* at = static_cast<uint8*>(buffer);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = offset >= 0 ? ::pread(fd, at + done, size - done, offset + off_t(done))
                                      : ::read(fd, at + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += size_t(n);
    }
    return ssize_t(done);
}

status_t write_fully(int fd, const void* buffer, size_t size, off_t offset)
{
    const uint8* at = static_cast<const uint8*>(buffer);
    size_t done = 0;
    // send() first, for its MSG_NOSIGNAL; anything but a socket refuses it
    // and is written to plainly from then on.
    bool socket = offset < 0;
    while (done < size) {
        ssize_t n;
        if (offset >= 0)
            n = ::pwrite(fd, at + done, size - done, offset + off_t(done));
        else if (socket)
            n = ::send(fd, at + done, size - done, MSG_NOSIGNAL);
        else
            n = ::write(fd, at + done, size - done);
        if (n < 0 && errno == ENOTSOCK && socket) {
            socket = false;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return status_from_errno(errno);
        if (n == 0) {
            // Nothing moved and no reason given: take it as a full device
            // rather than spin.
            errno = ENOSPC;
            return B_DEVICE_FULL;
        }
        done += size_t(n);
    }
    return B_OK;
}
