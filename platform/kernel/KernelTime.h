// Kernel kit: system_time and snooze.
#pragma once

#include <SupportDefs.h>

// Microseconds of a monotonic clock: never goes back, unaffected by
// changes of the wall-clock time. Only differences are meaningful.
bigtime_t system_time();

// Sleeps for at least the given number of microseconds (none for 0 or
// less); a signal does not cut the sleep short. Returns B_OK.
status_t snooze(bigtime_t microseconds);

// Sleeps until system_time() has reached the given time.
status_t snooze_until(bigtime_t time, int timebase = 0);
