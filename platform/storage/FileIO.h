// Storage kit: reads and writes that finish. A read or write call may be
// interrupted by a signal (EINTR) or move fewer bytes than asked (pipes,
// sockets, a signal in the middle of a large transfer); these go on until
// the whole transfer is done, the end of the data is reached, or a real
// error comes. Every whole read or write of the kits and the suite goes
// through them.
#pragma once

#include <SupportDefs.h>

#include <sys/types.h>

// Reads up to size bytes from fd (at offset when it is 0 or more, without
// moving the file position; else from the current position). Returns the
// bytes read, fewer than size only at the end of the data, or -1 with
// errno set.
ssize_t read_fully(int fd, void* buffer, size_t size, off_t offset = -1);

// Writes all size bytes to fd (at offset when it is 0 or more). A socket
// whose peer has gone gives EPIPE, never SIGPIPE. B_OK, or the error
// (B_DEVICE_FULL for a full disk), with errno set.
status_t write_fully(int fd, const void* buffer, size_t size, off_t offset = -1);
