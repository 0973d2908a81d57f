// Kernel threads on pthreads: see KernelThreads.h for the behaviour.
//
// Every thread has a record in one table, guarded by one mutex. A spawned
// thread starts at once but waits at a gate until it is resumed (or
// discarded by kill_thread). Suspension is a signal whose handler sleeps
// in sigsuspend until a second signal and a cleared flag let it go, so a
// suspended thread stops wherever it is. A thread's end (return,
// exit_thread or cancellation by kill_thread) runs its exit hooks from the
// destructor of a guard on its own stack, then leaves its exit value for
// one waiter.
#include "KernelThreads.h"
#include "KernelPrivate.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kernel_private {

bigtime_t now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<bigtime_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

timespec deadline_after(bigtime_t timeout)
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    // Far time-outs are cut to a year: the same for every caller, and no
    // overflow of time_t.
    if (timeout > 365LL * 24 * 3600 * 1000000)
        timeout = 365LL * 24 * 3600 * 1000000;
    t.tv_sec += static_cast<time_t>(timeout / 1000000);
    t.tv_nsec += static_cast<long>(timeout % 1000000) * 1000;
    if (t.tv_nsec >= 1000000000) {
        t.tv_sec++;
        t.tv_nsec -= 1000000000;
    }
    return t;
}

void init_monotonic_cond(pthread_cond_t* cond)
{
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(cond, &attr);
    pthread_condattr_destroy(&attr);
}

} // namespace kernel_private

using namespace kernel_private;

namespace {

enum Phase { kWaitingAtGate, kRunning, kEnded };

struct ThreadRecord {
    thread_id id = -1;
    char name[B_OS_NAME_LENGTH] = {};
    int32 priority = B_NORMAL_PRIORITY;
    pthread_t pthread {};
    pid_t tid = 0;
    thread_func function = nullptr;
    void* data = nullptr;
    Phase phase = kWaitingAtGate;
    bool resumed = false;      // let through the gate
    bool discarded = false;    // killed at the gate
    bool adopted = false;      // not made by spawn_thread
    bool killed = false;
    std::atomic<int> suspended {0};
    std::atomic<int> stopped {0};   // inside the suspend handler
    std::atomic<int> blockedState {0};
    status_t exitValue = B_INTERRUPTED;
    std::vector<std::pair<void (*)(void*), void*>> exitHooks;
    void* stackBase = nullptr;
    void* stackEnd = nullptr;
    pthread_cond_t changed;

    ThreadRecord() { init_monotonic_cond(&changed); }
    ~ThreadRecord() { pthread_cond_destroy(&changed); }
};

using RecordRef = std::shared_ptr<ThreadRecord>;

// Never destroyed: threads may still end while the process exits.
struct ThreadTable {
    pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
    std::map<thread_id, RecordRef> live;
    std::map<thread_id, RecordRef> ended;   // exit values not yet collected
    thread_id nextId = 1;
    int baseNice = 0;
    int niceFloor = 0;   // lowest nice value this process may set
};

ThreadTable& table()
{
    static ThreadTable* t = new ThreadTable;
    return *t;
}

// Ended records kept for waiters; the oldest go first beyond this.
constexpr size_t kMaxEndedRecords = 4096;

thread_local ThreadRecord* tCurrent = nullptr;

int suspend_signal() { return SIGRTMIN + 4; }
int resume_signal() { return SIGRTMIN + 5; }

void suspend_handler(int)
{
    int savedErrno = errno;
    ThreadRecord* self = tCurrent;
    if (self != nullptr) {
        sigset_t mask;
        sigfillset(&mask);
        sigdelset(&mask, resume_signal());
        self->stopped.store(1);
        while (self->suspended.load() != 0)
            sigsuspend(&mask);
        self->stopped.store(0);
    }
    errno = savedErrno;
}

void resume_handler(int) {}

thread_id allocate_id(ThreadTable& t)
{
    // Ids wrap round after 2^31 - 1 threads, skipping ids still in use.
    for (;;) {
        thread_id id = t.nextId;
        t.nextId = t.nextId == INT32_MAX ? 1 : t.nextId + 1;
        if (t.live.count(id) == 0 && t.ended.count(id) == 0)
            return id;
    }
}

void after_fork_in_child();

void init_once()
{
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = suspend_handler;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaddset(&sa.sa_mask, resume_signal());
    sigaction(suspend_signal(), &sa, nullptr);
    sa.sa_handler = resume_handler;
    sigemptyset(&sa.sa_mask);
    sigaction(resume_signal(), &sa, nullptr);

    ThreadTable& t = table();
    errno = 0;
    int base = getpriority(PRIO_PROCESS, 0);
    t.baseNice = errno == 0 ? base : 0;
    rlimit limit;
    int floor = 19;
    if (geteuid() == 0)
        floor = -20;
    else if (getrlimit(RLIMIT_NICE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        floor = 20 - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 40));
    else if (getrlimit(RLIMIT_NICE, &limit) == 0)
        floor = -20;
    t.niceFloor = std::clamp(floor, -20, 19);

    pthread_atfork([] { pthread_mutex_lock(&table().lock); },
                   [] { pthread_mutex_unlock(&table().lock); },
                   after_fork_in_child);
}

void ensure_init()
{
    static pthread_once_t once = PTHREAD_ONCE_INIT;
    pthread_once(&once, init_once);
}

// Only the forking thread lives on in the child.
void after_fork_in_child()
{
    ThreadTable& t = table();
    pthread_mutex_init(&t.lock, nullptr);
    std::map<thread_id, RecordRef> keep;
    for (auto& entry : t.live) {
        if (entry.second.get() == tCurrent)
            keep.insert(entry);
    }
    t.live.swap(keep);
    t.ended.clear();
    if (tCurrent != nullptr)
        tCurrent->tid = static_cast<pid_t>(syscall(SYS_gettid));
}

// Applies a priority to the scheduler through the thread's nice value,
// only where the process could always go back to its own base value.
void apply_priority(const ThreadRecord& record)
{
    ThreadTable& t = table();
    if (record.tid == 0 || t.niceFloor > t.baseNice)
        return;
    int p = record.priority;
    int offset;
    if (p <= B_NORMAL_PRIORITY)
        offset = B_NORMAL_PRIORITY - p;
    else if (p < B_REAL_TIME_DISPLAY_PRIORITY)
        offset = -std::min(p - B_NORMAL_PRIORITY, 10);
    else
        offset = -15;
    int nice = std::clamp(t.baseNice + offset, t.niceFloor, 19);
    setpriority(PRIO_PROCESS, static_cast<id_t>(record.tid), nice);
}

void record_stack(ThreadRecord& record)
{
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0)
        return;
    void* address = nullptr;
    size_t size = 0;
    if (pthread_attr_getstack(&attr, &address, &size) == 0) {
        record.stackBase = address;
        record.stackEnd = static_cast<char*>(address) + size;
    }
    pthread_attr_destroy(&attr);
}

void set_native_name(pthread_t thread, const char* name)
{
    // The kernel keeps at most 15 bytes of a thread's name.
    char shortName[16];
    size_t length = strnlen(name, sizeof shortName - 1);
    memcpy(shortName, name, length);
    shortName[length] = '\0';
    pthread_setname_np(thread, shortName);
}

// Runs the exit hooks and files the record as ended. Called on the ending
// thread, with cancellation off.
void finish_thread(ThreadRecord* record)
{
    int oldState;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &oldState);
    for (;;) {
        std::pair<void (*)(void*), void*> hook;
        {
            MutexLocker locker(&table().lock);
            if (record->exitHooks.empty())
                break;
            hook = record->exitHooks.back();
            record->exitHooks.pop_back();
        }
        hook.first(hook.second);
    }
    ThreadTable& t = table();
    // Keeps the record alive to the end here: for a foreign thread the
    // table held the only reference.
    RecordRef ref;
    MutexLocker locker(&t.lock);
    auto it = t.live.find(record->id);
    if (it != t.live.end()) {
        ref = it->second;
        t.live.erase(it);
        if (!record->adopted) {
            if (t.ended.size() >= kMaxEndedRecords)
                t.ended.erase(t.ended.begin());
            t.ended[record->id] = ref;
        }
    }
    record->phase = kEnded;
    pthread_cond_broadcast(&record->changed);
    tCurrent = nullptr;
}

struct EndGuard {
    ThreadRecord* record;
    ~EndGuard() { finish_thread(record); }
};

void* trampoline(void* argument)
{
    RecordRef* holder = static_cast<RecordRef*>(argument);
    RecordRef record = *holder;
    delete holder;
    tCurrent = record.get();
    {
        MutexLocker locker(&table().lock);
        record_stack(*record);
        set_native_name(pthread_self(), record->name);
        record->tid = static_cast<pid_t>(syscall(SYS_gettid));
        apply_priority(*record);
        while (!record->resumed && !record->discarded)
            pthread_cond_wait(&record->changed, &table().lock);
        if (record->discarded) {
            locker.Unlock();
            finish_thread(record.get());
            return nullptr;
        }
        record->phase = kRunning;
    }
    EndGuard guard {record.get()};
    status_t result = record->function(record->data);
    record->exitValue = result;
    return nullptr;
}

// Removes the record of a thread not made by spawn_thread when it ends.
struct AdoptedThreadCleanup {
    ThreadRecord* record = nullptr;
    ~AdoptedThreadCleanup()
    {
        if (record != nullptr && tCurrent == record)
            finish_thread(record);
    }
};

thread_local AdoptedThreadCleanup tAdopted;

// The calling thread's record, made on first use for foreign threads.
// Call with the table lock held.
ThreadRecord* current_locked()
{
    if (tCurrent != nullptr)
        return tCurrent;
    ThreadTable& t = table();
    auto record = std::make_shared<ThreadRecord>();
    record->id = allocate_id(t);
    record->adopted = true;
    record->resumed = true;
    record->phase = kRunning;
    record->pthread = pthread_self();
    record->tid = static_cast<pid_t>(syscall(SYS_gettid));
    char nativeName[16] = {};
    if (pthread_getname_np(pthread_self(), nativeName, sizeof nativeName) != 0)
        strcpy(nativeName, "thread");
    strncpy(record->name, nativeName, B_OS_NAME_LENGTH - 1);
    record_stack(*record);
    t.live[record->id] = record;
    tCurrent = record.get();
    tAdopted.record = record.get();
    return tCurrent;
}

RecordRef find_live(thread_id id)
{
    auto it = table().live.find(id);
    return it == table().live.end() ? nullptr : it->second;
}

} // namespace

namespace kernel_private {

BlockedState::BlockedState(thread_state state) : fPrevious(0)
{
    if (tCurrent != nullptr)
        fPrevious = tCurrent->blockedState.exchange(state);
}

BlockedState::~BlockedState()
{
    if (tCurrent != nullptr)
        tCurrent->blockedState.store(fPrevious);
}

} // namespace kernel_private

thread_id spawn_thread(thread_func function, const char* name, int32 priority, void* data)
{
    if (function == nullptr)
        return B_BAD_VALUE;
    ensure_init();
    auto record = std::make_shared<ThreadRecord>();
    record->function = function;
    record->data = data;
    record->priority = std::clamp<int32>(priority, 1, B_REAL_TIME_PRIORITY);
    strncpy(record->name, name != nullptr ? name : "unnamed thread", B_OS_NAME_LENGTH - 1);

    ThreadTable& t = table();
    MutexLocker locker(&t.lock);
    record->id = allocate_id(t);
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    auto* holder = new RecordRef(record);
    int error = pthread_create(&record->pthread, &attr, trampoline, holder);
    pthread_attr_destroy(&attr);
    if (error != 0) {
        delete holder;
        return error == EAGAIN ? status_t(B_NO_MORE_THREADS) : status_t(B_NO_MEMORY);
    }
    t.live[record->id] = record;
    return record->id;
}

status_t resume_thread(thread_id thread)
{
    ensure_init();
    MutexLocker locker(&table().lock);
    RecordRef record = find_live(thread);
    if (!record)
        return B_BAD_THREAD_ID;
    if (record->phase == kWaitingAtGate) {
        if (record->resumed)
            return B_BAD_THREAD_STATE;
        record->resumed = true;
        pthread_cond_broadcast(&record->changed);
        return B_OK;
    }
    if (record->suspended.exchange(0) == 0)
        return B_BAD_THREAD_STATE;
    pthread_kill(record->pthread, resume_signal());
    return B_OK;
}

status_t suspend_thread(thread_id thread)
{
    ensure_init();
    RecordRef record;
    {
        MutexLocker locker(&table().lock);
        record = find_live(thread);
        if (!record)
            return B_BAD_THREAD_ID;
        if (record->phase == kWaitingAtGate && !record->resumed)
            return B_OK;   // suspended already: suspensions do not nest
        if (record->phase == kWaitingAtGate) {
            // Resumed but not yet past the gate: back to waiting there.
            record->resumed = false;
            return B_OK;
        }
        if (record->suspended.exchange(1) != 0)
            return B_OK;
        if (record.get() != tCurrent) {
            // The thread cannot end while the table is locked, so the
            // signal reaches a live thread.
            pthread_kill(record->pthread, suspend_signal());
        }
    }
    if (record.get() == tCurrent) {
        pthread_kill(pthread_self(), suspend_signal());
        return B_OK;
    }
    // Return once it has really stopped (or was resumed or ended meanwhile);
    // a thread that keeps the signal blocked stops only when it unblocks
    // it, and is not waited for beyond a few seconds.
    bigtime_t giveUp = now() + 5000000;
    while (record->stopped.load() == 0 && record->suspended.load() != 0 && now() < giveUp) {
        {
            MutexLocker locker(&table().lock);
            if (record->phase == kEnded)
                break;
        }
        sched_yield();
    }
    return B_OK;
}

status_t kill_thread(thread_id thread)
{
    ensure_init();
    RecordRef record;
    {
        MutexLocker locker(&table().lock);
        record = find_live(thread);
        if (!record)
            return B_BAD_THREAD_ID;
        if (record.get() == tCurrent) {
            locker.Unlock();
            exit_thread(B_INTERRUPTED);
        }
        if (record->phase == kWaitingAtGate) {
            record->discarded = true;
            pthread_cond_broadcast(&record->changed);
            return B_OK;
        }
        record->killed = true;
        pthread_cancel(record->pthread);
        if (record->suspended.exchange(0) != 0)
            pthread_kill(record->pthread, resume_signal());
        // Return once it has gone, so that whatever it used may be freed.
        BlockedState blocked(B_THREAD_WAITING);
        while (record->phase != kEnded)
            pthread_cond_wait(&record->changed, &table().lock);
    }
    return B_OK;
}

status_t wait_for_thread(thread_id thread, status_t* exitValue)
{
    ensure_init();
    ThreadTable& t = table();
    MutexLocker locker(&t.lock);
    RecordRef record = find_live(thread);
    if (!record) {
        auto it = t.ended.find(thread);
        if (it == t.ended.end())
            return B_BAD_THREAD_ID;
        record = it->second;
    }
    if (record.get() == tCurrent)
        return B_BAD_VALUE;
    if (record->phase == kWaitingAtGate && !record->resumed) {
        record->resumed = true;
        pthread_cond_broadcast(&record->changed);
    } else if (record->suspended.exchange(0) != 0) {
        pthread_kill(record->pthread, resume_signal());
    }
    {
        BlockedState blocked(B_THREAD_WAITING);
        while (record->phase != kEnded)
            pthread_cond_wait(&record->changed, &t.lock);
    }
    t.ended.erase(thread);
    if (exitValue != nullptr)
        *exitValue = record->exitValue;
    return B_OK;
}

void exit_thread(status_t status)
{
    ensure_init();
    {
        MutexLocker locker(&table().lock);
        current_locked()->exitValue = status;
    }
    pthread_exit(nullptr);
}

status_t on_exit_thread(void (*callback)(void*), void* data)
{
    if (callback == nullptr)
        return B_BAD_VALUE;
    ensure_init();
    MutexLocker locker(&table().lock);
    current_locked()->exitHooks.emplace_back(callback, data);
    return B_OK;
}

status_t set_thread_priority(thread_id thread, int32 newPriority)
{
    ensure_init();
    MutexLocker locker(&table().lock);
    RecordRef record = find_live(thread);
    if (!record)
        return B_BAD_THREAD_ID;
    int32 previous = record->priority;
    record->priority = std::clamp<int32>(newPriority, 1, B_REAL_TIME_PRIORITY);
    apply_priority(*record);
    return previous;
}

status_t rename_thread(thread_id thread, const char* newName)
{
    if (newName == nullptr)
        return B_BAD_VALUE;
    ensure_init();
    MutexLocker locker(&table().lock);
    RecordRef record = find_live(thread);
    if (!record)
        return B_BAD_THREAD_ID;
    memset(record->name, 0, sizeof record->name);
    strncpy(record->name, newName, B_OS_NAME_LENGTH - 1);
    if (record->tid != 0)
        set_native_name(record->pthread, record->name);
    return B_OK;
}

status_t get_thread_info(thread_id thread, thread_info* info)
{
    if (info == nullptr)
        return B_BAD_VALUE;
    ensure_init();
    MutexLocker locker(&table().lock);
    RecordRef record = find_live(thread);
    if (!record)
        return B_BAD_THREAD_ID;
    memset(info, 0, sizeof *info);
    info->thread = record->id;
    info->team = getpid();
    memcpy(info->name, record->name, sizeof info->name);
    info->priority = record->priority;
    info->sem = -1;
    if ((record->phase == kWaitingAtGate) || record->suspended.load() != 0)
        info->state = B_THREAD_SUSPENDED;
    else if (record->blockedState.load() != 0)
        info->state = static_cast<thread_state>(record->blockedState.load());
    else
        info->state = B_THREAD_RUNNING;
    clockid_t clock;
    timespec used;
    if (record->tid != 0 && pthread_getcpuclockid(record->pthread, &clock) == 0
        && clock_gettime(clock, &used) == 0)
        info->user_time = static_cast<bigtime_t>(used.tv_sec) * 1000000 + used.tv_nsec / 1000;
    info->stack_base = record->stackBase;
    info->stack_end = record->stackEnd;
    return B_OK;
}

thread_id find_thread(const char* name)
{
    ensure_init();
    ThreadTable& t = table();
    if (name == nullptr) {
        if (tCurrent != nullptr)
            return tCurrent->id;
        MutexLocker locker(&t.lock);
        return current_locked()->id;
    }
    MutexLocker locker(&t.lock);
    for (auto& entry : t.live) {
        if (strcmp(entry.second->name, name) == 0)
            return entry.first;
    }
    return B_NAME_NOT_FOUND;
}
