// Helpers shared by the kernel kit's sources and the app kit; not part of
// the BeOS interface.
#pragma once

#include <KernelThreads.h>
#include <LittleEndian.h>

#include <pthread.h>
#include <cerrno>
#include <ctime>
#include <string>

namespace kernel_private {

// The folder of this user's ports (and of the roster's records), made
// on first use with mode 0700; empty when no safe one can be had.
std::string runtime_folder();

// Little-endian numbers in byte buffers, as the wire formats use them.
using namespace little_endian;

// Microseconds of the monotonic clock.
bigtime_t now();

// The absolute CLOCK_MONOTONIC time for a relative time-out from now.
timespec deadline_after(bigtime_t timeout);

// A condition variable on the monotonic clock.
void init_monotonic_cond(pthread_cond_t* cond);

// Holds a pthread mutex for a scope; also released when a cancelled
// thread's stack unwinds.
class MutexLocker {
public:
    explicit MutexLocker(pthread_mutex_t* mutex) : fMutex(mutex) { pthread_mutex_lock(fMutex); }
    ~MutexLocker() { if (fMutex) pthread_mutex_unlock(fMutex); }
    void Unlock() { if (fMutex) { pthread_mutex_unlock(fMutex); fMutex = nullptr; } }
    MutexLocker(const MutexLocker&) = delete;
    MutexLocker& operator=(const MutexLocker&) = delete;

private:
    pthread_mutex_t* fMutex;
};

// Waits on cond until pred() holds or the time-out passes. A time-out of
// B_INFINITE_TIMEOUT waits for ever, 0 does not wait. Returns B_OK,
// B_WOULD_BLOCK (time-out 0) or B_TIMED_OUT. A cancellation point.
template <typename Pred>
status_t wait_until(pthread_cond_t* cond, pthread_mutex_t* mutex, bigtime_t timeout, Pred pred)
{
    if (pred())
        return B_OK;
    if (timeout <= 0)
        return B_WOULD_BLOCK;
    if (timeout == B_INFINITE_TIMEOUT) {
        while (!pred())
            pthread_cond_wait(cond, mutex);
        return B_OK;
    }
    timespec until = deadline_after(timeout);
    while (!pred()) {
        if (pthread_cond_timedwait(cond, mutex, &until) == ETIMEDOUT)
            return pred() ? B_OK : B_TIMED_OUT;
    }
    return B_OK;
}

// Marks the calling thread as blocked (get_thread_info reports the state)
// for a scope.
class BlockedState {
public:
    explicit BlockedState(thread_state state);
    ~BlockedState();
    BlockedState(const BlockedState&) = delete;
    BlockedState& operator=(const BlockedState&) = delete;

private:
    int fPrevious;
};

} // namespace kernel_private
