// Ports: see KernelPorts.h for the behaviour.
//
// The queue of a port is in the memory of its owner. Each port has a
// listening Unix-domain socket named after its id in the user's port
// folder, and a "<id>.name" file with its name. A writer in another process
// connects, sends one request (header and bytes) and waits for the owner's
// answer, which comes once the message is queued (or refused), so blocking
// and capacity are exactly those of a local write. Requests are little-endian:
//
//   uint32 magic "VPRT", uint16 version 1, uint16 op (1 write, 2 info),
//   int32 port, int32 code, uint32 size, int64 time-out (us, -1 = none),
//   then `size` bytes for a write.
//   Answer: int32 status; for info also int32 team, capacity, queue count,
//   total count.
#include "KernelPorts.h"
#include "KernelPrivate.h"

#include <FileIO.h>
#include <ReplacementFile.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace kernel_private;

namespace {

constexpr uint32 kMagic = 0x54525056;   // "VPRT" in memory order
constexpr uint16 kVersion = 1;
constexpr uint16 kOpWrite = 1;
constexpr uint16 kOpInfo = 2;
constexpr size_t kHeaderSize = 28;
// A peer that stalls in the middle of a request is dropped after this.
constexpr int kRequestReadTimeoutSeconds = 10;
// A writer gives the owner this much beyond its own time-out to answer.
constexpr bigtime_t kAnswerGrace = 5000000;

struct Message {
    int32 code;
    std::vector<uint8> data;
};

struct Port {
    port_id id = -1;
    char name[B_OS_NAME_LENGTH] = {};
    int32 capacity = 0;
    std::deque<Message> queue;
    int32 totalCount = 0;
    bool deleted = false;
    int listenFd = -1;
    std::string socketPath;
    std::string namePath;
    pthread_cond_t readable;
    pthread_cond_t writable;

    Port()
    {
        init_monotonic_cond(&readable);
        init_monotonic_cond(&writable);
    }
};

using PortRef = std::shared_ptr<Port>;

// Never destroyed: connection threads may outlive main().
struct PortTable {
    pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
    std::map<port_id, PortRef> ports;
};

PortTable& ports()
{
    static PortTable* t = new PortTable;
    return *t;
}

bool owned_private_folder(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid()
        && (st.st_mode & 077) == 0;
}

// The user's port folder, made on first use; empty when no safe one can
// be had (a folder of that name that another user owns, for instance).
std::string port_folder()
{
    std::string folder;
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && owned_private_folder(runtime))
        folder = std::string(runtime) + "/velmor-ports";
    else
        folder = "/tmp/velmor-ports-" + std::to_string(geteuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return std::string();
    if (!owned_private_folder(folder))
        return std::string();
    return folder;
}

std::string socket_path(const std::string& folder, port_id id)
{
    return folder + "/" + std::to_string(id);
}

std::string name_path(const std::string& folder, port_id id)
{
    return folder + "/" + std::to_string(id) + ".name";
}

bool make_address(const std::string& path, sockaddr_un* address)
{
    memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (path.size() >= sizeof address->sun_path)
        return false;
    memcpy(address->sun_path, path.c_str(), path.size());
    return true;
}

// Exactly size bytes, or false at the end of the data or an error.
bool read_all(int fd, void* data, size_t size)
{
    return read_fully(fd, data, size) == static_cast<ssize_t>(size);
}

// Waits until fd is readable; false on time-out. timeout < 0: no limit.
bool wait_readable(int fd, bigtime_t timeout)
{
    bigtime_t end = timeout < 0 ? 0 : now() + timeout;
    for (;;) {
        int ms = -1;
        if (timeout >= 0) {
            bigtime_t left = end - now();
            if (left <= 0)
                return false;
            ms = static_cast<int>(std::min<bigtime_t>(left / 1000 + 1, 1000000));
        }
        pollfd p {fd, POLLIN, 0};
        int n = poll(&p, 1, ms);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return true;   // let the read report it
    }
}

bool same_user_peer(int fd)
{
    ucred cred;
    socklen_t length = sizeof cred;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &length) == 0 && cred.uid == geteuid();
}

void remove_files(const std::string& folder, port_id id)
{
    unlink(name_path(folder, id).c_str());
    unlink(socket_path(folder, id).c_str());
}

// Connects to the socket of a port of another process. Returns the fd,
// or -1 with *status B_BAD_PORT_ID (the remains of a dead port are
// removed on the way).
int connect_port(port_id id, status_t* status)
{
    *status = B_BAD_PORT_ID;
    if (id < 0)
        return -1;
    std::string folder = port_folder();
    if (folder.empty())
        return -1;
    sockaddr_un address;
    if (!make_address(socket_path(folder, id), &address))
        return -1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *status = status_from_errno(errno);
        return -1;
    }
    int result;
    do {
        result = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        int error = errno;
        close(fd);
        if (error == ECONNREFUSED)
            remove_files(folder, id);
        else if (error == ENOENT)
            unlink(name_path(folder, id).c_str());
        else
            *status = status_from_errno(error);
        return -1;
    }
    if (!same_user_peer(fd)) {
        close(fd);
        return -1;
    }
    *status = B_OK;
    return fd;
}

void encode_header(uint8* header, uint16 op, port_id id, int32 code, uint32 size, bigtime_t timeout)
{
    put32(header, kMagic);
    put16(header + 4, kVersion);
    put16(header + 6, op);
    put32(header + 8, static_cast<uint32>(id));
    put32(header + 12, static_cast<uint32>(code));
    put32(header + 16, size);
    put64(header + 20, static_cast<uint64>(timeout));
}

bigtime_t relative_timeout(uint32 flags, bigtime_t timeout)
{
    if (flags & B_ABSOLUTE_TIMEOUT) {
        if (timeout == B_INFINITE_TIMEOUT)
            return B_INFINITE_TIMEOUT;
        bigtime_t left = timeout - now();
        return left < 0 ? 0 : left;
    }
    if (flags & B_RELATIVE_TIMEOUT)
        return timeout < 0 ? 0 : timeout;
    return B_INFINITE_TIMEOUT;
}

PortRef find_local(port_id id)
{
    auto it = ports().ports.find(id);
    return it == ports().ports.end() ? nullptr : it->second;
}

// With answerFd, a writer of another process is told of the success
// before any reader can take the message: the owner may take it, quit and
// end its process at once, and the answer must not be lost with it.
status_t local_write(const PortRef& port, int32 code, const void* buffer, size_t size,
                     bigtime_t timeout, int answerFd = -1)
{
    PortTable& t = ports();
    MutexLocker locker(&t.lock);
    // A writer waiting for room shows as waiting, as on BeOS.
    BlockedState blocked(B_THREAD_WAITING);
    status_t status = wait_until(&port->writable, &t.lock, timeout, [&] {
        return port->deleted || port->queue.size() < static_cast<size_t>(port->capacity);
    });
    if (port->deleted)
        return B_BAD_PORT_ID;
    if (status != B_OK)
        return status;
    Message message;
    message.code = code;
    message.data.assign(static_cast<const uint8*>(buffer), static_cast<const uint8*>(buffer) + size);
    port->queue.push_back(std::move(message));
    port->totalCount++;
    if (answerFd >= 0) {
        uint8 answer[4];
        put32(answer, B_OK);
        send(answerFd, answer, sizeof answer, MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    pthread_cond_signal(&port->readable);
    return B_OK;
}

// One request from another process.
void serve_connection(int fd)
{
    timeval limit {kRequestReadTimeoutSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    uint8 header[kHeaderSize];
    if (!same_user_peer(fd) || !read_all(fd, header, sizeof header) || get32(header) != kMagic
        || get16(header + 4) != kVersion) {
        close(fd);
        return;
    }
    uint16 op = get16(header + 6);
    port_id id = static_cast<port_id>(get32(header + 8));
    int32 code = static_cast<int32>(get32(header + 12));
    uint32 size = get32(header + 16);
    bigtime_t timeout = static_cast<bigtime_t>(get64(header + 20));
    if (timeout < 0)
        timeout = B_INFINITE_TIMEOUT;

    PortRef port;
    {
        MutexLocker locker(&ports().lock);
        port = find_local(id);
    }
    uint8 answer[20] = {};
    size_t answerSize = 4;
    status_t status = B_BAD_PORT_ID;
    if (op == kOpWrite) {
        std::vector<uint8> data;
        if (size > B_MAX_PORT_MESSAGE_SIZE) {
            status = B_BAD_VALUE;
        } else {
            data.resize(size);
            if (!read_all(fd, data.data(), size)) {
                close(fd);
                return;
            }
            if (port)
                status = local_write(port, code, data.data(), size, timeout, fd);
            if (status == B_OK) {
                close(fd);   // answered already
                return;
            }
        }
    } else if (op == kOpInfo) {
        if (port) {
            MutexLocker locker(&ports().lock);
            if (!port->deleted) {
                status = B_OK;
                put32(answer + 4, static_cast<uint32>(getpid()));
                put32(answer + 8, static_cast<uint32>(port->capacity));
                put32(answer + 12, static_cast<uint32>(port->queue.size()));
                put32(answer + 16, static_cast<uint32>(port->totalCount));
                answerSize = 20;
            }
        }
    } else {
        status = B_BAD_VALUE;
    }
    put32(answer, static_cast<uint32>(status));
    write_fully(fd, answer, answerSize);
    close(fd);
}

void* connection_thread(void* argument)
{
    int fd = static_cast<int>(reinterpret_cast<intptr_t>(argument));
    serve_connection(fd);
    return nullptr;
}

// Accepts connections for one port until the port is deleted.
void* accept_thread(void* argument)
{
    int listenFd = static_cast<int>(reinterpret_cast<intptr_t>(argument));
    for (;;) {
        int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOMEM || errno == ENOBUFS) {
                usleep(10000);
                continue;
            }
            break;   // shut down by delete_port
        }
        pthread_t thread;
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        if (pthread_create(&thread, &attr, connection_thread,
                           reinterpret_cast<void*>(static_cast<intptr_t>(fd))) != 0)
            close(fd);
        pthread_attr_destroy(&attr);
    }
    close(listenFd);
    return nullptr;
}

// Takes a new id from the folder's counter; the bind of the socket is the
// claim, so a taken id only costs another try.
port_id next_port_id(const std::string& folder)
{
    std::string counterPath = folder + "/next-id";
    int fd = open(counterPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return B_NO_MORE_PORTS;
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    char text[16] = {};
    ssize_t n = read_fully(fd, text, sizeof text - 1, 0);
    long value = n > 0 ? strtol(text, nullptr, 10) : 0;
    if (value < 1 || value >= INT32_MAX)
        value = 1;
    char next[16];
    int length = snprintf(next, sizeof next, "%ld", value + 1 >= INT32_MAX ? 1L : value + 1);
    if (ftruncate(fd, 0) != 0 || write_fully(fd, next, static_cast<size_t>(length), 0) != B_OK)
        value = B_NO_MORE_PORTS;
    flock(fd, LOCK_UN);
    close(fd);
    return static_cast<port_id>(value);
}

void remove_all_local_files()
{
    PortTable& t = ports();
    MutexLocker locker(&t.lock);
    for (auto& entry : t.ports) {
        unlink(entry.second->namePath.c_str());
        unlink(entry.second->socketPath.c_str());
    }
}

// A forked child owns none of its parent's ports.
void forget_ports_in_child()
{
    PortTable& t = ports();
    pthread_mutex_init(&t.lock, nullptr);
    for (auto& entry : t.ports) {
        if (entry.second->listenFd >= 0)
            close(entry.second->listenFd);
    }
    t.ports.clear();
}

void init_once()
{
    atexit(remove_all_local_files);
    pthread_atfork([] { pthread_mutex_lock(&ports().lock); },
                   [] { pthread_mutex_unlock(&ports().lock); }, forget_ports_in_child);
}

void ensure_init()
{
    static pthread_once_t once = PTHREAD_ONCE_INIT;
    pthread_once(&once, init_once);
}

bool read_name_file(const std::string& path, char* name)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    ssize_t n = read_fully(fd, name, B_OS_NAME_LENGTH - 1);
    close(fd);
    if (n < 0)
        return false;
    name[n] = '\0';
    return true;
}

// Asks the owner of a port of another process about it.
status_t remote_info(port_id id, port_info* info)
{
    status_t status;
    int fd = connect_port(id, &status);
    if (fd < 0)
        return status;
    uint8 header[kHeaderSize];
    encode_header(header, kOpInfo, id, 0, 0, -1);
    uint8 answer[20];
    // An owner that does not answer in time (stopped, or very busy) is not
    // taken for dead: B_TIMED_OUT, and its files stay.
    status = B_BAD_PORT_ID;
    if (write_fully(fd, header, sizeof header) != B_OK) {
        status = B_BAD_PORT_ID;
    } else if (!wait_readable(fd, kAnswerGrace)) {
        status = B_TIMED_OUT;
    } else if (read_all(fd, answer, 4)) {
        status = static_cast<status_t>(get32(answer));
        if (status == B_OK && !read_all(fd, answer + 4, 16))
            status = B_BAD_PORT_ID;
    }
    close(fd);
    if (status != B_OK)
        return status;
    memset(info, 0, sizeof *info);
    info->port = id;
    info->team = static_cast<team_id>(get32(answer + 4));
    info->capacity = static_cast<int32>(get32(answer + 8));
    info->queue_count = static_cast<int32>(get32(answer + 12));
    info->total_count = static_cast<int32>(get32(answer + 16));
    std::string folder = port_folder();
    if (!read_name_file(name_path(folder, id), info->name))
        return B_BAD_PORT_ID;
    return B_OK;
}

status_t remote_write(port_id id, int32 code, const void* buffer, size_t size, bigtime_t timeout)
{
    status_t status;
    int fd = connect_port(id, &status);
    if (fd < 0)
        return status;
    uint8 header[kHeaderSize];
    encode_header(header, kOpWrite, id, code, static_cast<uint32>(size),
                  timeout == B_INFINITE_TIMEOUT ? -1 : timeout);
    status = B_BAD_PORT_ID;
    if (write_fully(fd, header, sizeof header) == B_OK && write_fully(fd, buffer, size) == B_OK) {
        bool answered = wait_readable(fd, timeout == B_INFINITE_TIMEOUT ? -1 : timeout + kAnswerGrace);
        uint8 answer[4];
        if (!answered)
            status = timeout == 0 ? status_t(B_WOULD_BLOCK) : status_t(B_TIMED_OUT);
        else if (read_all(fd, answer, sizeof answer))
            status = static_cast<status_t>(get32(answer));
    }
    close(fd);
    return status;
}

// Waits for the next message of a local port; returns its size (or an
// error) and, when take is set, removes it into buffer.
ssize_t local_read(port_id id, int32* code, void* buffer, size_t bufferSize, uint32 flags,
                   bigtime_t timeout, bool take)
{
    PortTable& t = ports();
    MutexLocker locker(&t.lock);
    PortRef port = find_local(id);
    if (!port) {
        locker.Unlock();
        port_info info;
        return remote_info(id, &info) == B_OK ? status_t(B_NOT_ALLOWED) : status_t(B_BAD_PORT_ID);
    }
    BlockedState blocked(B_THREAD_RECEIVING);
    status_t status = wait_until(&port->readable, &t.lock, relative_timeout(flags, timeout),
                                 [&] { return port->deleted || !port->queue.empty(); });
    if (port->deleted)
        return B_BAD_PORT_ID;
    if (status != B_OK)
        return status;
    Message& front = port->queue.front();
    ssize_t size = static_cast<ssize_t>(front.data.size());
    if (!take)
        return size;
    size_t copied = std::min(bufferSize, front.data.size());
    if (copied > 0)
        memcpy(buffer, front.data.data(), copied);
    if (code != nullptr)
        *code = front.code;
    port->queue.pop_front();
    pthread_cond_signal(&port->writable);
    if (!port->queue.empty())
        pthread_cond_signal(&port->readable);
    return static_cast<ssize_t>(copied);
}

} // namespace

std::string kernel_private::runtime_folder()
{
    return port_folder();
}

port_id create_port(int32 capacity, const char* name)
{
    if (capacity < 1 || capacity > B_MAX_PORT_QUEUE_LENGTH)
        return B_BAD_VALUE;
    ensure_init();
    std::string folder = port_folder();
    if (folder.empty())
        return B_PERMISSION_DENIED;

    auto port = std::make_shared<Port>();
    strncpy(port->name, name != nullptr ? name : "unnamed port", B_OS_NAME_LENGTH - 1);
    port->capacity = capacity;

    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno == EMFILE || errno == ENFILE ? status_t(B_NO_MORE_PORTS) : status_t(B_NO_MEMORY);
    port_id id = -1;
    for (int attempt = 0; attempt < 1000; attempt++) {
        port_id candidate = next_port_id(folder);
        if (candidate < 0)
            break;
        sockaddr_un address;
        if (!make_address(socket_path(folder, candidate), &address)) {
            close(fd);
            return B_NAME_TOO_LONG;
        }
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            id = candidate;
            break;
        }
        if (errno != EADDRINUSE) {
            close(fd);
            return B_NO_MORE_PORTS;
        }
        // A socket left by a dead owner: reuse its id once it is cleared.
        status_t ignored;
        int probe = connect_port(candidate, &ignored);
        if (probe >= 0)
            close(probe);
    }
    if (id < 0 || listen(fd, SOMAXCONN) != 0) {
        if (id >= 0)
            unlink(socket_path(folder, id).c_str());
        close(fd);
        return B_NO_MORE_PORTS;
    }
    port->id = id;
    port->listenFd = fd;
    port->socketPath = socket_path(folder, id);
    port->namePath = name_path(folder, id);

    // The name file appears whole, and only once the socket listens: a
    // name file always stands for a socket.
    if (replace_file(port->namePath.c_str(), port->name, strlen(port->name), 0600) != B_OK) {
        unlink(port->socketPath.c_str());
        close(fd);
        return B_NO_MORE_PORTS;
    }

    PortTable& t = ports();
    {
        MutexLocker locker(&t.lock);
        t.ports[id] = port;
    }
    pthread_t thread;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    int error = pthread_create(&thread, &attr, accept_thread,
                               reinterpret_cast<void*>(static_cast<intptr_t>(fd)));
    pthread_attr_destroy(&attr);
    if (error != 0) {
        MutexLocker locker(&t.lock);
        t.ports.erase(id);
        unlink(port->namePath.c_str());
        unlink(port->socketPath.c_str());
        close(fd);
        return B_NO_MORE_PORTS;
    }
    return id;
}

port_id find_port(const char* name)
{
    if (name == nullptr)
        return B_BAD_VALUE;
    ensure_init();
    char wanted[B_OS_NAME_LENGTH] = {};
    strncpy(wanted, name, B_OS_NAME_LENGTH - 1);
    {
        PortTable& t = ports();
        MutexLocker locker(&t.lock);
        for (auto& entry : t.ports) {
            if (!entry.second->deleted && strcmp(entry.second->name, wanted) == 0)
                return entry.first;
        }
    }
    std::string folder = port_folder();
    if (folder.empty())
        return B_NAME_NOT_FOUND;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return B_NAME_NOT_FOUND;
    std::vector<port_id> candidates;
    while (dirent* entry = readdir(dir)) {
        char* end = nullptr;
        long id = strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || strcmp(end, ".name") != 0 || id <= 0 || id > INT32_MAX)
            continue;
        char portName[B_OS_NAME_LENGTH];
        if (read_name_file(folder + "/" + entry->d_name, portName) && strcmp(portName, wanted) == 0)
            candidates.push_back(static_cast<port_id>(id));
    }
    closedir(dir);
    std::sort(candidates.begin(), candidates.end());
    for (port_id id : candidates) {
        // A stopped owner is slow, not dead: its port is still there.
        port_info info;
        status_t status = remote_info(id, &info);
        if (status == B_OK || status == B_TIMED_OUT)
            return id;
    }
    return B_NAME_NOT_FOUND;
}

status_t delete_port(port_id id)
{
    ensure_init();
    PortTable& t = ports();
    MutexLocker locker(&t.lock);
    PortRef port = find_local(id);
    if (!port) {
        locker.Unlock();
        port_info info;
        return remote_info(id, &info) == B_OK ? status_t(B_NOT_ALLOWED) : status_t(B_BAD_PORT_ID);
    }
    t.ports.erase(id);
    port->deleted = true;
    port->queue.clear();
    pthread_cond_broadcast(&port->readable);
    pthread_cond_broadcast(&port->writable);
    unlink(port->namePath.c_str());
    unlink(port->socketPath.c_str());
    // Wakes the accept thread, which closes the socket.
    shutdown(port->listenFd, SHUT_RDWR);
    return B_OK;
}

status_t write_port(port_id port, int32 code, const void* buffer, size_t bufferSize)
{
    return write_port_etc(port, code, buffer, bufferSize, 0, 0);
}

status_t write_port_etc(port_id id, int32 code, const void* buffer, size_t bufferSize,
                        uint32 flags, bigtime_t timeout)
{
    if (bufferSize > B_MAX_PORT_MESSAGE_SIZE || (buffer == nullptr && bufferSize > 0))
        return B_BAD_VALUE;
    ensure_init();
    bigtime_t relative = relative_timeout(flags, timeout);
    PortRef port;
    {
        MutexLocker locker(&ports().lock);
        port = find_local(id);
    }
    if (port)
        return local_write(port, code, buffer, bufferSize, relative);
    return remote_write(id, code, buffer, bufferSize, relative);
}

ssize_t read_port(port_id port, int32* code, void* buffer, size_t bufferSize)
{
    return read_port_etc(port, code, buffer, bufferSize, 0, 0);
}

ssize_t read_port_etc(port_id port, int32* code, void* buffer, size_t bufferSize, uint32 flags,
                      bigtime_t timeout)
{
    if (buffer == nullptr && bufferSize > 0)
        return B_BAD_VALUE;
    ensure_init();
    return local_read(port, code, buffer, bufferSize, flags, timeout, true);
}

ssize_t port_buffer_size(port_id port)
{
    return port_buffer_size_etc(port, 0, 0);
}

ssize_t port_buffer_size_etc(port_id port, uint32 flags, bigtime_t timeout)
{
    ensure_init();
    return local_read(port, nullptr, nullptr, 0, flags, timeout, false);
}

status_t get_port_info(port_id id, port_info* info)
{
    if (info == nullptr)
        return B_BAD_VALUE;
    ensure_init();
    {
        PortTable& t = ports();
        MutexLocker locker(&t.lock);
        PortRef port = find_local(id);
        if (port) {
            memset(info, 0, sizeof *info);
            info->port = id;
            info->team = getpid();
            memcpy(info->name, port->name, sizeof info->name);
            info->capacity = port->capacity;
            info->queue_count = static_cast<int32>(port->queue.size());
            info->total_count = port->totalCount;
            return B_OK;
        }
    }
    return remote_info(id, info);
}
