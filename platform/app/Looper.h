// App kit: BLooper, a thread of its own that takes messages from a queue
// and hands them, one at a time and with the looper locked, to their
// handlers.
//
// A looper is locked by the thread that constructs it; Run starts its
// thread and gives that lock up. Each message passes the common filters,
// then the target handler's filters, then DispatchMessage. The message
// being handled is CurrentMessage; the looper deletes it afterwards unless
// DetachCurrentMessage took it.
//
// Quit: from the looper's own thread, the looper stops after the current
// message and deletes itself; from another thread (which should hold the
// lock), it stops the looper, waits for its thread to end and returns once
// the looper is gone. Messages still queued are deleted undelivered. A
// looper that never ran is deleted at once.
#pragma once

#include <SupportDefs.h>
#include <KernelThreads.h>
#include <Handler.h>

#include <deque>
#include <memory>
#include <vector>

class BMessage;
class BMessageFilter;

#define B_LOOPER_PORT_DEFAULT_CAPACITY 200

struct LooperQueue;

class BLooper : public BHandler {
public:
    explicit BLooper(const char* name = NULL, int32 priority = B_NORMAL_PRIORITY,
                     int32 portCapacity = B_LOOPER_PORT_DEFAULT_CAPACITY);
    virtual ~BLooper();

    // Copies of the message go to the looper itself (the first two) or to
    // the handler given, which must be in this looper (NULL: the preferred
    // handler); B_MISMATCHED_VALUES otherwise.
    status_t PostMessage(uint32 command);
    status_t PostMessage(BMessage* message);
    status_t PostMessage(uint32 command, BHandler* handler, BHandler* replyTo = NULL);
    status_t PostMessage(BMessage* message, BHandler* handler, BHandler* replyTo = NULL);

    // Default: B_QUIT_REQUESTED to the looper itself asks QuitRequested and
    // quits when it agrees; everything else goes to the handler's
    // MessageReceived.
    virtual void DispatchMessage(BMessage* message, BHandler* handler);
    void MessageReceived(BMessage* message) override;
    BMessage* CurrentMessage() const { return fCurrentMessage; }
    BMessage* DetachCurrentMessage();

    void AddHandler(BHandler* handler);
    bool RemoveHandler(BHandler* handler);
    int32 CountHandlers() const { return static_cast<int32>(fHandlers.size()); }
    BHandler* HandlerAt(int32 index) const;
    int32 IndexOf(BHandler* handler) const;
    BHandler* PreferredHandler() const { return fPreferred; }
    void SetPreferredHandler(BHandler* handler);

    virtual thread_id Run();
    virtual void Quit();
    virtual bool QuitRequested();

    // Recursive; false when the looper is gone (also for a pointer to a
    // looper deleted meanwhile).
    bool Lock();
    void Unlock();
    status_t LockWithTimeout(bigtime_t timeout);
    bool IsLocked() const;
    thread_id LockingThread() const;
    int32 CountLocks() const;

    thread_id Thread() const { return fThread; }
    team_id Team() const;
    static BLooper* LooperForThread(thread_id thread);

    // The looper owns its common filters from here on.
    virtual void AddCommonFilter(BMessageFilter* filter);
    virtual bool RemoveCommonFilter(BMessageFilter* filter);
    int32 CountCommonFilters() const { return static_cast<int32>(fCommonFilters.size()); }

    struct LockState;

protected:
    // The message loop; returns when the looper quits. BApplication runs
    // it on the thread that calls its Run.
    void Loop();
    void RequestQuit();
    bool IsQuitting() const;

private:
    friend struct MessageRouting;
    friend class BApplication;

    static status_t ThreadEntry(void* data);
    void Enqueue(BMessage* message);
    BMessage* NextMessage();
    BHandler* Resolve(BMessage* message);
    BHandler* ApplyFilter(BMessageFilter* filter, BMessage* message, BHandler* target);
    BHandler* TopLevelFilter(BMessage* message, BHandler* target);

    std::shared_ptr<LockState> fLock;
    std::vector<BHandler*> fHandlers;
    std::vector<BMessageFilter*> fCommonFilters;
    BHandler* fPreferred;
    BMessage* fCurrentMessage;
    thread_id fThread;
    int32 fPriority;
    std::string fThreadName;
    std::shared_ptr<LooperQueue> fQueue;
};
