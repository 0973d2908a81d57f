#include "KernelTime.h"

#include <cerrno>
#include <ctime>

bigtime_t system_time()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<bigtime_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

status_t snooze_until(bigtime_t time, int timebase)
{
    if (time <= 0)
        return B_OK;
    timespec until;
    until.tv_sec = static_cast<time_t>(time / 1000000);
    until.tv_nsec = static_cast<long>(time % 1000000) * 1000;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
    return B_OK;
}

status_t snooze(bigtime_t microseconds)
{
    if (microseconds <= 0)
        return B_OK;
    return snooze_until(system_time() + microseconds);
}
