// Ports within one process: the rules of capacity, blocking, time-outs,
// sizes and deletion, and the private folder they live in.
#include <TestSupport.h>

#include "MessagingTestSupport.h"

#include <OS.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <cstring>
#include <string>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using messaging_test::runtime_dir;

namespace {

TEST(PortTest, CreateFindAndDelete)
{
    EXPECT_EQ(create_port(0, "zero"), B_BAD_VALUE);
    EXPECT_EQ(create_port(B_MAX_PORT_QUEUE_LENGTH + 1, "big"), B_BAD_VALUE);
    port_id port = create_port(5, "a port name longer than thirty-one bytes");
    ASSERT_GT(port, 0);
    port_info info;
    ASSERT_EQ(get_port_info(port, &info), B_OK);
    EXPECT_EQ(info.capacity, 5);
    EXPECT_EQ(info.team, getpid());
    EXPECT_EQ(strlen(info.name), static_cast<size_t>(B_OS_NAME_LENGTH - 1));
    EXPECT_EQ(find_port(info.name), port);
    EXPECT_EQ(find_port("no such port"), B_NAME_NOT_FOUND);
    EXPECT_EQ(find_port(nullptr), B_BAD_VALUE);

    EXPECT_EQ(delete_port(port), B_OK);
    EXPECT_EQ(find_port(info.name), B_NAME_NOT_FOUND);
    EXPECT_EQ(delete_port(port), B_BAD_PORT_ID);
    EXPECT_EQ(write_port(port, 1, "x", 1), B_BAD_PORT_ID);
    int32 code;
    char buffer[4];
    EXPECT_EQ(read_port(port, &code, buffer, sizeof buffer), B_BAD_PORT_ID);
    EXPECT_EQ(port_buffer_size(port), B_BAD_PORT_ID);
    EXPECT_EQ(get_port_info(port, &info), B_BAD_PORT_ID);
}

TEST(PortTest, MessagesComeInOrderWithCodeAndSize)
{
    port_id port = create_port(10, "order");
    EXPECT_EQ(write_port(port, 7, "hello", 5), B_OK);
    EXPECT_EQ(write_port(port, 8, nullptr, 0), B_OK);
    EXPECT_EQ(write_port(port, 9, "truncated", 9), B_OK);
    EXPECT_EQ(write_port(port, 9, nullptr, 3), B_BAD_VALUE);
    std::string big(B_MAX_PORT_MESSAGE_SIZE + 1, 'b');
    EXPECT_EQ(write_port(port, 9, big.data(), big.size()), B_BAD_VALUE);

    port_info info;
    get_port_info(port, &info);
    EXPECT_EQ(info.queue_count, 3);
    EXPECT_EQ(port_buffer_size(port), 5);
    char buffer[16] = {};
    int32 code = 0;
    EXPECT_EQ(read_port(port, &code, buffer, sizeof buffer), 5);
    EXPECT_EQ(code, 7);
    EXPECT_STREQ(buffer, "hello");
    EXPECT_EQ(port_buffer_size(port), 0);
    EXPECT_EQ(read_port(port, &code, nullptr, 0), 0);
    EXPECT_EQ(code, 8);
    // A short buffer gets the start; the rest is lost.
    memset(buffer, 0, sizeof buffer);
    EXPECT_EQ(read_port(port, &code, buffer, 4), 4);
    EXPECT_STREQ(buffer, "trun");
    EXPECT_EQ(port_buffer_size_etc(port, B_RELATIVE_TIMEOUT, 0), B_WOULD_BLOCK);
    delete_port(port);
}

// A kernel-kit thread running work, so that the test can wait for the
// state its port call puts it in rather than sleep and hope.
class PortThread {
public:
    explicit PortThread(std::function<void()> work) : fWork(std::move(work))
    {
        fThread = spawn_thread(Run, "port test", B_NORMAL_PRIORITY, this);
        resume_thread(fThread);
    }
    ~PortThread() { Join(); }
    bool Reaches(thread_state state)
    {
        return suite_test::eventually([&] {
            thread_info info;
            return get_thread_info(fThread, &info) == B_OK && info.state == state;
        });
    }
    void Join()
    {
        status_t value;
        if (fThread >= 0)
            wait_for_thread(fThread, &value);
        fThread = -1;
    }

private:
    static status_t Run(void* self)
    {
        static_cast<PortThread*>(self)->fWork();
        return B_OK;
    }
    std::function<void()> fWork;
    thread_id fThread;
};

TEST(PortTest, FullPortBlocksOrTimesOut)
{
    port_id port = create_port(2, "full");
    EXPECT_EQ(write_port(port, 1, "a", 1), B_OK);
    EXPECT_EQ(write_port(port, 2, "b", 1), B_OK);
    EXPECT_EQ(write_port_etc(port, 3, "c", 1, B_RELATIVE_TIMEOUT, 0), B_WOULD_BLOCK);
    EXPECT_EQ(write_port_etc(port, 3, "c", 1, B_RELATIVE_TIMEOUT, 1000), B_TIMED_OUT);
    EXPECT_EQ(read_port_etc(port, nullptr, nullptr, 0, B_ABSOLUTE_TIMEOUT, 0), 0);

    // A blocked writer goes on once a reader makes room.
    EXPECT_EQ(write_port(port, 3, "c", 1), B_OK);   // full again
    std::atomic<status_t> written {1};
    PortThread writer([&] { written.store(write_port(port, 4, "d", 1)); });
    ASSERT_TRUE(writer.Reaches(B_THREAD_WAITING));
    EXPECT_EQ(written.load(), 1);
    int32 code;
    read_port(port, &code, nullptr, 0);
    writer.Join();
    EXPECT_EQ(written.load(), B_OK);
    read_port(port, &code, nullptr, 0);
    EXPECT_EQ(code, 3);
    read_port(port, &code, nullptr, 0);
    EXPECT_EQ(code, 4);
    delete_port(port);
}

TEST(PortTest, DeletingWakesBlockedReadersAndWriters)
{
    port_id port = create_port(1, "wake");
    std::atomic<ssize_t> readResult {1};
    PortThread reader([&] {
        char buffer[4];
        int32 code;
        readResult.store(read_port(port, &code, buffer, sizeof buffer));
    });
    ASSERT_TRUE(reader.Reaches(B_THREAD_RECEIVING));
    EXPECT_EQ(delete_port(port), B_OK);
    reader.Join();
    EXPECT_EQ(readResult.load(), B_BAD_PORT_ID);

    port = create_port(1, "wake writer");
    write_port(port, 1, nullptr, 0);
    std::atomic<status_t> writeResult {1};
    PortThread writer([&] { writeResult.store(write_port(port, 2, nullptr, 0)); });
    ASSERT_TRUE(writer.Reaches(B_THREAD_WAITING));
    delete_port(port);
    writer.Join();
    EXPECT_EQ(writeResult.load(), B_BAD_PORT_ID);
}

TEST(PortTest, TheFolderIsPrivateAndGarbageOnTheSocketIsRefused)
{
    port_id port = create_port(3, "private");
    std::string folder = runtime_dir() + "/velmor-ports";
    struct stat st;
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Bytes that are not a request are dropped; the port still works.
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::string path = folder + "/" + std::to_string(port);
    strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const char garbage[] = "this is no request at all, just some bytes";
    EXPECT_GT(send(fd, garbage, sizeof garbage, MSG_NOSIGNAL), 0);
    char answer[8];
    EXPECT_LE(recv(fd, answer, sizeof answer, 0), 0);
    close(fd);
    port_info info;
    ASSERT_EQ(get_port_info(port, &info), B_OK);
    EXPECT_EQ(info.queue_count, 0);
    EXPECT_EQ(write_port(port, 1, "ok", 2), B_OK);
    delete_port(port);
}

TEST(PortTest, AFolderOthersCanEnterIsRefused)
{
    std::string folder = runtime_dir() + "/velmor-ports";
    mkdir(folder.c_str(), 0700);
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(create_port(1, "exposed"), B_PERMISSION_DENIED);
    chmod(folder.c_str(), 0700);
    port_id port = create_port(1, "fine again");
    EXPECT_GT(port, 0);
    delete_port(port);
}

} // namespace
