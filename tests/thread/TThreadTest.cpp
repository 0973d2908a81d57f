// TThread: its life from construction to the end of its thread, with the
// edge cases of cooperative termination, auto-delete and killing.
#include <TestSupport.h>
#include <Thread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

// The ports used here live in a private folder of this test process.
struct RuntimeDir {
    RuntimeDir()
    {
        char pattern[] = "/tmp/thread-test-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            path = pattern;
            setenv("XDG_RUNTIME_DIR", pattern, 1);
        }
    }
    ~RuntimeDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string path;
} gRuntimeDir;

using suite_test::eventually;

thread_state state_of(thread_id thread)
{
    thread_info info;
    return get_thread_info(thread, &info) == B_OK ? info.state : static_cast<thread_state>(0);
}

struct Events {
    std::atomic<bool> executed {false};
    std::atomic<bool> destroyed {false};
    std::atomic<bool> unwound {false};
    std::atomic<bool> sawTerminate {false};
};

struct Unwinds {
    Events* events;
    ~Unwinds() { events->unwound.store(true); }
};

// Like the preferences' port manager: blocks reading a port until asked
// to stop, then returns 7.
class PortReader : public TThread {
public:
    PortReader(Events* events, port_id port)
        : TThread("PortReader", B_NORMAL_PRIORITY), fEvents(events), fPort(port) {}
    ~PortReader() override { fEvents->destroyed.store(true); }

protected:
    status_t Execute() override
    {
        fEvents->executed.store(true);
        Unwinds guard {fEvents};
        while (!TerminateRequested()) {
            char buffer[8];
            int32 code;
            if (read_port(fPort, &code, buffer, sizeof buffer) < 0)
                return B_ERROR;
        }
        fEvents->sawTerminate.store(true);
        return 7;
    }

private:
    Events* fEvents;
    port_id fPort;
};

class Quick : public TThread {
public:
    explicit Quick(Events* events) : TThread("Quick", B_LOW_PRIORITY), fEvents(events) {}
    ~Quick() override { fEvents->destroyed.store(true); }

protected:
    status_t Execute() override
    {
        fEvents->executed.store(true);
        return 3;
    }

private:
    Events* fEvents;
};

TEST(TThreadTest, ANeverResumedThreadIsKilledByTheDestructorWithoutRunning)
{
    Events events;
    Quick* thread = new Quick(&events);
    thread_id id = thread->ThreadID();
    ASSERT_GT(id, 0);
    EXPECT_TRUE(thread->IsSuspended());
    EXPECT_FALSE(thread->IsTerminated());
    delete thread;
    EXPECT_FALSE(events.executed.load());
    status_t value;
    wait_for_thread(id, &value);
    EXPECT_FALSE(events.executed.load());
}

TEST(TThreadTest, TerminateDoesNotUnblockAKernelWait)
{
    Events events;
    port_id port = create_port(4, "tthread port");
    PortReader thread(&events, port);
    EXPECT_EQ(thread.Resume(), B_OK);
    ASSERT_TRUE(eventually([&] { return state_of(thread.ThreadID()) == B_THREAD_RECEIVING; }));
    EXPECT_EQ(thread.Terminate(), B_OK);
    usleep(20000);
    EXPECT_FALSE(thread.IsTerminated());
    EXPECT_EQ(state_of(thread.ThreadID()), B_THREAD_RECEIVING);

    // The owner wakes it by its own means, then waits.
    write_port(port, 0, nullptr, 0);
    long exitValue = 0;
    EXPECT_EQ(thread.Wait(&exitValue), B_OK);
    EXPECT_EQ(exitValue, 7);
    EXPECT_TRUE(thread.IsTerminated());
    EXPECT_TRUE(events.sawTerminate.load());
    delete_port(port);
}

TEST(TThreadTest, AfterExecuteReturnsWaitGivesItsResult)
{
    Events events;
    Quick thread(&events);
    EXPECT_EQ(thread.SetPriority(B_NORMAL_PRIORITY), B_LOW_PRIORITY);
    EXPECT_EQ(thread.SetName("Renamed"), B_OK);
    thread_info info;
    get_thread_info(thread.ThreadID(), &info);
    EXPECT_STREQ(info.name, "Renamed");
    thread.Resume();
    ASSERT_TRUE(eventually([&] { return thread.IsTerminated(); }));
    long exitValue = 0;
    EXPECT_EQ(thread.Wait(&exitValue), B_OK);
    EXPECT_EQ(exitValue, 3);
    EXPECT_FALSE(thread.IsSuspended());   // the kernel has no information any more
}

TEST(TThreadTest, WaitWithANullPointerWaitsAndDropsTheValue)
{
    Events events;
    Quick thread(&events);
    thread.Resume();
    EXPECT_EQ(thread.Wait(nullptr), B_OK);
    EXPECT_TRUE(events.executed.load());
    EXPECT_TRUE(thread.IsTerminated());
}

TEST(TThreadTest, AutoDeleteDeletesTheObjectOnItsOwnThreadWithoutKilling)
{
    Events events;
    Quick* thread = new Quick(&events);
    thread_id id = thread->ThreadID();
    EXPECT_EQ(thread->SetAutoDelete(true), B_OK);
    thread->Resume();
    // The object is gone once the thread has ended; only the id is used now.
    status_t value = 0;
    EXPECT_EQ(wait_for_thread(id, &value), B_OK);
    EXPECT_EQ(value, 3);
    EXPECT_TRUE(events.destroyed.load());
}

TEST(TThreadTest, SuspendAndResume)
{
    Events events;
    port_id port = create_port(4, "suspend port");
    PortReader thread(&events, port);
    EXPECT_TRUE(thread.IsSuspended());
    thread.Resume();
    ASSERT_TRUE(eventually([&] { return state_of(thread.ThreadID()) == B_THREAD_RECEIVING; }));
    EXPECT_FALSE(thread.IsSuspended());
    EXPECT_EQ(thread.Suspend(), B_OK);
    EXPECT_TRUE(thread.IsSuspended());
    EXPECT_EQ(thread.Resume(), B_OK);
    EXPECT_FALSE(thread.IsSuspended());
    thread.Terminate();
    write_port(port, 0, nullptr, 0);
    EXPECT_EQ(thread.Wait(nullptr), B_OK);
    delete_port(port);
}

TEST(TThreadTest, DeletingARunningThreadKillsItAtOnce)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "this compiler's AddressSanitizer reports the unwinding of a cancelled thread as a stack overflow";
#endif
    Events events;
    port_id port = create_port(4, "doomed reader");
    PortReader* thread = new PortReader(&events, port);
    thread->Resume();
    ASSERT_TRUE(eventually([&] { return state_of(thread->ThreadID()) == B_THREAD_RECEIVING; }));
    thread_id id = thread->ThreadID();
    delete thread;
    EXPECT_TRUE(events.unwound.load());
    EXPECT_FALSE(events.sawTerminate.load());
    status_t value = 0;
    EXPECT_EQ(wait_for_thread(id, &value), B_OK);
    EXPECT_EQ(value, B_INTERRUPTED);
    delete_port(port);
}

} // namespace
