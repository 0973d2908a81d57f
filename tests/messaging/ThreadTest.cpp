// Kernel threads: created suspended, really suspended, killed, ended by
// exit_thread, exit hooks, priorities, names and states.
#include "MessagingTestSupport.h"

#include <OS.h>

#include <gtest/gtest.h>

#include <TestSupport.h>

#include <sys/resource.h>

#include <atomic>
#include <cstring>
#include <vector>

using suite_test::eventually;

namespace {

status_t set_flag(void* data)
{
    static_cast<std::atomic<bool>*>(data)->store(true);
    return 42;
}

thread_state state_of(thread_id thread)
{
    thread_info info;
    return get_thread_info(thread, &info) == B_OK ? info.state : static_cast<thread_state>(0);
}

TEST(ThreadTest, SpawnedThreadWaitsUntilResumed)
{
    std::atomic<bool> ran {false};
    thread_id thread = spawn_thread(set_flag, "waits", B_NORMAL_PRIORITY, &ran);
    ASSERT_GT(thread, 0);
    EXPECT_EQ(state_of(thread), B_THREAD_SUSPENDED);
    EXPECT_FALSE(ran.load());
    EXPECT_EQ(resume_thread(thread), B_OK);
    status_t exitValue = 0;
    EXPECT_EQ(wait_for_thread(thread, &exitValue), B_OK);
    EXPECT_TRUE(ran.load());
    EXPECT_EQ(exitValue, 42);
    // Collected: the id is gone.
    EXPECT_EQ(wait_for_thread(thread, &exitValue), B_BAD_THREAD_ID);
    EXPECT_EQ(get_thread_info(thread, nullptr), B_BAD_VALUE);
}

TEST(ThreadTest, WaitingResumesANewThreadAndKeepsAnEarlyExitValue)
{
    std::atomic<bool> ran {false};
    thread_id thread = spawn_thread(set_flag, "waited", B_NORMAL_PRIORITY, &ran);
    status_t exitValue = 0;
    EXPECT_EQ(wait_for_thread(thread, &exitValue), B_OK);
    EXPECT_EQ(exitValue, 42);

    thread = spawn_thread(set_flag, "ends first", B_NORMAL_PRIORITY, &ran);
    resume_thread(thread);
    ASSERT_TRUE(eventually([&] { return state_of(thread) == 0; }));   // ended, not collected
    EXPECT_EQ(wait_for_thread(thread, &exitValue), B_OK);
    EXPECT_EQ(exitValue, 42);
}

TEST(ThreadTest, BadCalls)
{
    EXPECT_EQ(spawn_thread(nullptr, "none", B_NORMAL_PRIORITY, nullptr), B_BAD_VALUE);
    status_t value;
    EXPECT_EQ(wait_for_thread(find_thread(nullptr), &value), B_BAD_VALUE);
    EXPECT_EQ(wait_for_thread(987654, &value), B_BAD_THREAD_ID);
    EXPECT_EQ(resume_thread(987654), B_BAD_THREAD_ID);
    EXPECT_EQ(suspend_thread(987654), B_BAD_THREAD_ID);
    EXPECT_EQ(kill_thread(987654), B_BAD_THREAD_ID);
    EXPECT_EQ(rename_thread(find_thread(nullptr), nullptr), B_BAD_VALUE);
}

struct Spinner {
    std::atomic<bool> stop {false};
    std::atomic<int64> count {0};
};

status_t spin(void* data)
{
    Spinner* s = static_cast<Spinner*>(data);
    while (!s->stop.load())
        s->count.fetch_add(1);
    return B_OK;
}

TEST(ThreadTest, SuspendReallyStopsARunningThread)
{
    Spinner spinner;
    thread_id thread = spawn_thread(spin, "spinner", B_NORMAL_PRIORITY, &spinner);
    resume_thread(thread);
    ASSERT_TRUE(eventually([&] { return spinner.count.load() > 1000; }));
    EXPECT_EQ(resume_thread(thread), B_BAD_THREAD_STATE);

    ASSERT_EQ(suspend_thread(thread), B_OK);
    EXPECT_EQ(state_of(thread), B_THREAD_SUSPENDED);
    int64 frozen = spinner.count.load();
    for (int i = 0; i < 20; i++)
        sched_yield();
    usleep(20000);
    EXPECT_EQ(spinner.count.load(), frozen);
    EXPECT_EQ(suspend_thread(thread), B_OK);   // suspensions do not nest

    ASSERT_EQ(resume_thread(thread), B_OK);
    EXPECT_TRUE(eventually([&] { return spinner.count.load() > frozen; }));
    spinner.stop.store(true);
    status_t value;
    EXPECT_EQ(wait_for_thread(thread, &value), B_OK);
}

TEST(ThreadTest, KillingANeverResumedThreadDiscardsIt)
{
    std::atomic<bool> ran {false};
    thread_id thread = spawn_thread(set_flag, "discarded", B_NORMAL_PRIORITY, &ran);
    EXPECT_EQ(kill_thread(thread), B_OK);
    status_t value = 0;
    EXPECT_EQ(wait_for_thread(thread, &value), B_OK);
    EXPECT_EQ(value, B_INTERRUPTED);
    EXPECT_FALSE(ran.load());
}

struct BlockedWork {
    port_id port;
    std::atomic<int> hooks {0};
    std::atomic<bool> unwound {false};
};

struct Unwinds {
    BlockedWork* work;
    ~Unwinds() { work->unwound.store(true); }
};

void count_hook(void* data)
{
    static_cast<BlockedWork*>(data)->hooks.fetch_add(1);
}

status_t block_on_port(void* data)
{
    BlockedWork* work = static_cast<BlockedWork*>(data);
    on_exit_thread(count_hook, work);
    Unwinds guard {work};
    char buffer[8];
    int32 code;
    read_port(work->port, &code, buffer, sizeof buffer);
    return B_OK;
}

TEST(ThreadTest, KillingABlockedThreadUnwindsItAndRunsItsHooks)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "this compiler's AddressSanitizer reports the unwinding of a cancelled thread as a stack overflow";
#endif
    BlockedWork work;
    work.port = create_port(1, "kill me");
    thread_id thread = spawn_thread(block_on_port, "blocked", B_NORMAL_PRIORITY, &work);
    resume_thread(thread);
    ASSERT_TRUE(eventually([&] { return state_of(thread) == B_THREAD_RECEIVING; }));
    EXPECT_EQ(kill_thread(thread), B_OK);
    // kill_thread returns once the thread has gone.
    EXPECT_TRUE(work.unwound.load());
    EXPECT_EQ(work.hooks.load(), 1);
    status_t value = 0;
    EXPECT_EQ(wait_for_thread(thread, &value), B_OK);
    EXPECT_EQ(value, B_INTERRUPTED);
    delete_port(work.port);
}

TEST(ThreadTest, KillingASuspendedThreadEndsIt)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "this compiler's AddressSanitizer reports the unwinding of a cancelled thread as a stack overflow";
#endif
    BlockedWork work;
    work.port = create_port(1, "kill suspended");
    thread_id thread = spawn_thread(block_on_port, "suspended", B_NORMAL_PRIORITY, &work);
    resume_thread(thread);
    ASSERT_TRUE(eventually([&] { return state_of(thread) == B_THREAD_RECEIVING; }));
    ASSERT_EQ(suspend_thread(thread), B_OK);
    EXPECT_EQ(kill_thread(thread), B_OK);
    EXPECT_EQ(work.hooks.load(), 1);
    delete_port(work.port);
}

std::vector<int>* gOrder = nullptr;

void record_one(void*) { gOrder->push_back(1); }
void record_two(void*) { gOrder->push_back(2); }

status_t exit_early(void* data)
{
    on_exit_thread(record_one, nullptr);
    on_exit_thread(record_two, nullptr);
    BlockedWork* work = static_cast<BlockedWork*>(data);
    Unwinds guard {work};
    exit_thread(77);
    return 1;   // never reached
}

TEST(ThreadTest, ExitThreadGivesItsValueAndRunsHooksLastFirst)
{
    std::vector<int> order;
    gOrder = &order;
    BlockedWork work;
    thread_id thread = spawn_thread(exit_early, "exits", B_NORMAL_PRIORITY, &work);
    status_t value = 0;
    EXPECT_EQ(wait_for_thread(thread, &value), B_OK);
    EXPECT_EQ(value, 77);
    EXPECT_TRUE(work.unwound.load());
    EXPECT_EQ(order, (std::vector<int> {2, 1}));
}

TEST(ThreadTest, PriorityNameAndInfo)
{
    std::atomic<bool> ran {false};
    thread_id thread = spawn_thread(set_flag, "first name", B_LOW_PRIORITY, &ran);
    thread_info info;
    ASSERT_EQ(get_thread_info(thread, &info), B_OK);
    EXPECT_EQ(info.thread, thread);
    EXPECT_EQ(info.team, getpid());
    EXPECT_STREQ(info.name, "first name");
    EXPECT_EQ(info.priority, B_LOW_PRIORITY);

    // The priority reaches the scheduler as the thread's nice value: lower
    // for a higher priority.
    if (suite_test::priorities_reach_the_scheduler()) {
        // The thread applies its priority once it has started.
        int low = suite_test::kNoThread;
        ASSERT_TRUE(suite_test::eventually(
            [&] { return (low = suite_test::native_nice("first name")) != suite_test::kNoThread; }));
        set_thread_priority(thread, B_NORMAL_PRIORITY);
        const int normal = suite_test::native_nice("first name");
        EXPECT_GT(low, normal);
        set_thread_priority(thread, B_LOW_PRIORITY);
        EXPECT_EQ(suite_test::native_nice("first name"), low);
    }
    EXPECT_EQ(set_thread_priority(thread, B_DISPLAY_PRIORITY), B_LOW_PRIORITY);
    if (suite_test::priorities_reach_the_scheduler())
        EXPECT_LT(suite_test::native_nice("first name"), getpriority(PRIO_PROCESS, 0));
    EXPECT_EQ(set_thread_priority(thread, 500), B_DISPLAY_PRIORITY);
    get_thread_info(thread, &info);
    EXPECT_EQ(info.priority, B_REAL_TIME_PRIORITY);
    EXPECT_EQ(set_thread_priority(thread, B_NORMAL_PRIORITY), B_REAL_TIME_PRIORITY);

    EXPECT_EQ(rename_thread(thread, "a name much longer than thirty-one bytes"), B_OK);
    get_thread_info(thread, &info);
    EXPECT_EQ(strlen(info.name), static_cast<size_t>(B_OS_NAME_LENGTH - 1));
    EXPECT_EQ(find_thread(info.name), thread);
    EXPECT_EQ(find_thread("no such thread"), B_NAME_NOT_FOUND);

    thread_id me = find_thread(nullptr);
    EXPECT_GT(me, 0);
    EXPECT_EQ(find_thread(nullptr), me);
    EXPECT_EQ(state_of(me), B_THREAD_RUNNING);
    resume_thread(thread);
    status_t value;
    wait_for_thread(thread, &value);
}

status_t report_self(void* data)
{
    *static_cast<thread_id*>(data) = find_thread(nullptr);
    return B_OK;
}

TEST(ThreadTest, FindThreadNullInASpawnedThreadIsItsId)
{
    thread_id seen = -1;
    thread_id thread = spawn_thread(report_self, "self", B_NORMAL_PRIORITY, &seen);
    status_t value;
    wait_for_thread(thread, &value);
    EXPECT_EQ(seen, thread);
}

} // namespace
