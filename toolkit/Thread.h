// TThread: one kernel thread wrapped in an object. A subclass supplies the
// thread's work as Execute; its result is the thread's exit value.
//
// The thread is created suspended at construction; Resume starts it.
// Termination is cooperative: Terminate only raises a flag that Execute
// polls (TerminateRequested). When the thread ends, however it ends, the
// ended flag is set and, with auto-delete, the object deletes itself on
// that thread. Deleting the object while its thread has not ended kills
// the thread first (one never resumed is discarded without running).
//
// The flags are atomic, so the owner's and the thread's views of them
// never race.
#pragma once

#include <OS.h>

#include <atomic>

class TThread {
public:
    TThread(const char* name, long priority);
    virtual ~TThread();

    virtual status_t Terminate();

    status_t Resume() const;
    status_t Suspend() const;
    status_t SetPriority(long priority) const;
    status_t SetName(const char* name) const;
    // Waits for the thread to end; a null pointer drops the exit value.
    status_t Wait(long* exitValue) const;
    thread_id ThreadID() const { return fThreadID; }
    status_t SetAutoDelete(bool autoDelete);
    bool IsTerminated() const { return fEnded.load(); }
    bool IsSuspended() const;

    static status_t SpawnThread(void* data);
    static void ExitThread(void* data);

protected:
    virtual status_t Execute() = 0;
    // Whether Terminate has been called; for Execute to poll.
    bool TerminateRequested() const { return fTerminate.load(); }

private:
    std::atomic<bool> fTerminate;
    thread_id fThreadID;
    std::atomic<bool> fAutoDelete;
    std::atomic<bool> fEnded;
};
