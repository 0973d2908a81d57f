#include "Thread.h"

TThread::TThread(const char* name, long priority)
    : fTerminate(false), fThreadID(-1), fAutoDelete(false), fEnded(false)
{
    fThreadID = spawn_thread(SpawnThread, name, static_cast<int32>(priority), this);
}

TThread::~TThread()
{
    if (!fEnded.load())
        kill_thread(fThreadID);
}

status_t TThread::Terminate()
{
    fTerminate.store(true);
    return B_OK;
}

status_t TThread::Resume() const
{
    return resume_thread(fThreadID);
}

status_t TThread::Suspend() const
{
    return suspend_thread(fThreadID);
}

status_t TThread::SetPriority(long priority) const
{
    return set_thread_priority(fThreadID, static_cast<int32>(priority));
}

status_t TThread::SetName(const char* name) const
{
    return rename_thread(fThreadID, name);
}

status_t TThread::Wait(long* exitValue) const
{
    status_t value = B_OK;
    status_t status = wait_for_thread(fThreadID, &value);
    if (status == B_OK && exitValue != nullptr)
        *exitValue = value;
    return status;
}

status_t TThread::SetAutoDelete(bool autoDelete)
{
    fAutoDelete.store(autoDelete);
    return B_OK;
}

bool TThread::IsSuspended() const
{
    thread_info info;
    return get_thread_info(fThreadID, &info) == B_OK && info.state == B_THREAD_SUSPENDED;
}

status_t TThread::SpawnThread(void* data)
{
    TThread* thread = static_cast<TThread*>(data);
    on_exit_thread(ExitThread, thread);
    return thread->Execute();
}

void TThread::ExitThread(void* data)
{
    TThread* thread = static_cast<TThread*>(data);
    thread->fEnded.store(true);
    if (thread->fAutoDelete.load())
        delete thread;
}
