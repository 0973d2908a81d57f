// An element's own streaming task (not a pad's), with the guard a pad's
// task has: once stopped, a pause from the task function itself does not
// start it again.
#pragma once

#include <gst/gst.h>

class TElementTask {
public:
    TElementTask(GstTaskFunction function, gpointer data)
    {
        g_rec_mutex_init(&fLock);
        g_mutex_init(&fStateLock);
        fTask = gst_task_new(function, data, nullptr);
        gst_task_set_lock(fTask, &fLock);
    }
    ~TElementTask()
    {
        gst_object_unref(fTask);
        g_mutex_clear(&fStateLock);
        g_rec_mutex_clear(&fLock);
    }
    TElementTask(const TElementTask&) = delete;
    TElementTask& operator=(const TElementTask&) = delete;

    // Held by the task function while it runs: taken to change what it works on.
    GRecMutex* Lock() { return &fLock; }

    bool Start()
    {
        g_mutex_lock(&fStateLock);
        fStopped = false;
        const bool started = gst_task_start(fTask);
        g_mutex_unlock(&fStateLock);
        return started;
    }

    void Pause()
    {
        g_mutex_lock(&fStateLock);
        if (!fStopped)
            gst_task_pause(fTask);
        g_mutex_unlock(&fStateLock);
    }

    // Stops the task and waits for it to end; never from the task itself.
    void Stop()
    {
        g_mutex_lock(&fStateLock);
        fStopped = true;
        gst_task_stop(fTask);
        g_mutex_unlock(&fStateLock);
        g_rec_mutex_lock(&fLock);
        g_rec_mutex_unlock(&fLock);
        gst_task_join(fTask);
    }

private:
    GstTask* fTask;
    GRecMutex fLock;
    GMutex fStateLock;
    bool fStopped = true;
};
