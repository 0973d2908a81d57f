// Kernel kit: ports, queues of messages (a code and some bytes) that
// threads of any process of this user write to and the owning process
// reads from.
//
// A port lives in the process that created it and ends with it. Its name
// and a Unix-domain socket are kept in a folder only this user can enter
// (velmor-ports in $XDG_RUNTIME_DIR, or /tmp/velmor-ports-<uid>, mode
// 0700); writers of other processes reach the port through that socket.
// When the owner ends the kernel closes the socket, and find_port, which
// checks every candidate, never returns such a dead port (it removes what
// is left of it). Ids are unique among the ports of that folder.
//
// Rules, as on BeOS:
// - create_port: capacity 1..B_MAX_PORT_QUEUE_LENGTH, else B_BAD_VALUE;
//   names are cut to B_OS_NAME_LENGTH - 1 bytes; several ports may share a
//   name (find_port gives one of them).
// - write_port blocks while the port holds `capacity` messages; with a
//   time-out it gives B_WOULD_BLOCK (time-out 0) or B_TIMED_OUT. A message
//   is at most B_MAX_PORT_MESSAGE_SIZE bytes (else B_BAD_VALUE). Writers
//   blocked on a port that is deleted get B_BAD_PORT_ID.
// - read_port blocks until a message is there and removes it; a buffer
//   shorter than the message gets its start and the rest is lost. The
//   result is the number of bytes copied. port_buffer_size blocks the same
//   way and gives the size of the next message without removing it.
// - Reading and deleting are for the owning process: other processes get
//   B_NOT_ALLOWED for a live port of someone else.
// - delete_port discards queued messages and wakes every blocked reader
//   and writer with B_BAD_PORT_ID.
#pragma once

#include <SupportDefs.h>
#include <KernelThreads.h>

typedef int32 port_id;

#define B_MAX_PORT_QUEUE_LENGTH 4096
#define B_MAX_PORT_MESSAGE_SIZE (256 * 1024)

// Flags of the *_etc calls.
enum {
    B_CAN_INTERRUPT = 0x01,
    B_TIMEOUT = 0x08,
    B_RELATIVE_TIMEOUT = 0x08,
    B_ABSOLUTE_TIMEOUT = 0x10,   // against system_time()
};

typedef struct port_info {
    port_id port;
    team_id team;
    char name[B_OS_NAME_LENGTH];
    int32 capacity;
    int32 queue_count;
    int32 total_count;
} port_info;

port_id create_port(int32 capacity, const char* name);
port_id find_port(const char* name);
status_t delete_port(port_id port);

status_t write_port(port_id port, int32 code, const void* buffer, size_t bufferSize);
status_t write_port_etc(port_id port, int32 code, const void* buffer, size_t bufferSize,
                        uint32 flags, bigtime_t timeout);

ssize_t read_port(port_id port, int32* code, void* buffer, size_t bufferSize);
ssize_t read_port_etc(port_id port, int32* code, void* buffer, size_t bufferSize, uint32 flags,
                      bigtime_t timeout);

ssize_t port_buffer_size(port_id port);
ssize_t port_buffer_size_etc(port_id port, uint32 flags, bigtime_t timeout);

// Also for ports of other processes (team is the owner's process id);
// B_TIMED_OUT when their owner does not answer within 5 seconds (it is
// stopped, say), which find_port takes for alive.
status_t get_port_info(port_id port, port_info* info);
