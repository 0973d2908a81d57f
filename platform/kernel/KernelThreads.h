// Kernel kit: threads.
//
// Threads are pthreads with BeOS behaviour on top. Ids are positive and
// unique within the process; a thread not made by spawn_thread (the main
// thread, for instance) gets an id the first time it asks for one.
//
// spawn_thread creates the thread suspended: nothing of its function runs
// until resume_thread (or wait_for_thread, which resumes a thread it waits
// for). suspend_thread really stops a running thread, wherever it is (also
// inside a blocking call), until it is resumed; a thread suspended while it
// holds a lock stops its holders' rivals too, as on BeOS.
//
// kill_thread: a thread that has never run is discarded without running
// its function. A running thread is cancelled at its next cancellation
// point, that is any blocking call (port reads and writes, waits, snooze,
// sleeps and I/O of the C library); a suspended one is resumed to let that
// happen. Its stack is unwound (destructors run), its on_exit_thread hooks
// run, and wait_for_thread reports B_OK with the exit value B_INTERRUPTED.
// A thread that computes without ever reaching such a point ends only when
// it reaches one.
#pragma once

#include <SupportDefs.h>

typedef int32 thread_id;
typedef int32 team_id;
typedef int32 sem_id;

#ifndef B_OS_NAME_LENGTH
#define B_OS_NAME_LENGTH 32
#endif

#ifndef B_INFINITE_TIMEOUT
#define B_INFINITE_TIMEOUT ((bigtime_t)INT64_MAX)
#endif

// Priorities. The value a thread is given is kept as given (get_thread_info
// reports it); it is mapped onto the scheduler as far as the process may:
// below B_NORMAL_PRIORITY as a higher nice value, above it as a lower one
// when the process is allowed to lower it, and never in a way the process
// could not undo.
enum {
    B_LOW_PRIORITY = 5,
    B_NORMAL_PRIORITY = 10,
    B_DISPLAY_PRIORITY = 15,
    B_URGENT_DISPLAY_PRIORITY = 20,
    B_REAL_TIME_DISPLAY_PRIORITY = 100,
    B_URGENT_PRIORITY = 110,
    B_REAL_TIME_PRIORITY = 120,
};

typedef enum {
    B_THREAD_RUNNING = 1,
    B_THREAD_READY,
    B_THREAD_RECEIVING,
    B_THREAD_ASLEEP,
    B_THREAD_SUSPENDED,
    B_THREAD_WAITING,
} thread_state;

typedef struct {
    thread_id thread;
    team_id team;
    char name[B_OS_NAME_LENGTH];
    thread_state state;
    int32 priority;
    sem_id sem;
    bigtime_t user_time;
    bigtime_t kernel_time;
    void* stack_base;
    void* stack_end;
} thread_info;

typedef status_t (*thread_func)(void* data);
#define thread_entry thread_func

// The new thread's id, or B_NO_MORE_THREADS / B_NO_MEMORY / B_BAD_VALUE
// (no function).
thread_id spawn_thread(thread_func function, const char* name, int32 priority, void* data);

status_t resume_thread(thread_id thread);
status_t suspend_thread(thread_id thread);
status_t kill_thread(thread_id thread);

// Waits until the thread has ended and gives its exit value. The value of
// a thread that ended before anyone waited is kept for one waiter.
// B_BAD_THREAD_ID for an unknown (or already collected) thread, B_BAD_VALUE
// for the calling thread itself.
status_t wait_for_thread(thread_id thread, status_t* exitValue);

// Ends the calling thread with the given exit value; its stack is unwound.
void exit_thread(status_t status);

// Registers a function that runs on the calling thread when it ends,
// however it ends; hooks run last registered first.
status_t on_exit_thread(void (*callback)(void*), void* data);

// Returns the previous priority, or B_BAD_THREAD_ID. Values are clamped to
// 1..B_REAL_TIME_PRIORITY.
status_t set_thread_priority(thread_id thread, int32 newPriority);
status_t rename_thread(thread_id thread, const char* newName);

// B_BAD_THREAD_ID for a thread that has ended or never existed.
status_t get_thread_info(thread_id thread, thread_info* info);

// With NULL, the calling thread's id; with a name, the first live thread
// of that name, or B_NAME_NOT_FOUND.
thread_id find_thread(const char* name);
