#include "Looper.h"
#include "Application.h"
#include "Message.h"
#include "MessageFilter.h"
#include "MessagePrivate.h"

#include <KernelDebug.h>
#include <KernelPrivate.h>

#include <algorithm>
#include <map>

#include <unistd.h>

using namespace kernel_private;

// The lock lives apart from the looper, so that a thread waiting for it
// learns that the looper has gone instead of touching freed memory.
struct BLooper::LockState {
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t released;
    thread_id owner = -1;
    int32 count = 0;
    bool dead = false;

    LockState() { init_monotonic_cond(&released); }
};

struct LooperQueue {
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t changed;
    std::deque<BMessage*> messages;
    bool quitting = false;
    bool closed = false;

    LooperQueue() { init_monotonic_cond(&changed); }
};

namespace {

// Live loopers, guarded by the registry lock.
std::map<const BLooper*, std::shared_ptr<BLooper::LockState>>& loopers()
{
    static auto* map = new std::map<const BLooper*, std::shared_ptr<BLooper::LockState>>;
    return *map;
}

std::shared_ptr<BLooper::LockState> lock_state_of(const BLooper* looper)
{
    MutexLocker locker(app_private::registry_lock());
    auto it = loopers().find(looper);
    return it == loopers().end() ? nullptr : it->second;
}

status_t acquire(const std::shared_ptr<BLooper::LockState>& state, bigtime_t timeout)
{
    thread_id me = find_thread(nullptr);
    MutexLocker locker(&state->mutex);
    if (state->dead)
        return B_BAD_VALUE;
    if (state->owner == me) {
        state->count++;
        return B_OK;
    }
    status_t status = wait_until(&state->released, &state->mutex, timeout,
                                 [&] { return state->dead || state->owner == -1; });
    if (state->dead)
        return B_BAD_VALUE;
    if (status != B_OK)
        return status;
    state->owner = me;
    state->count = 1;
    return B_OK;
}

// Gives up every lock level the calling thread holds; returns how many.
int32 release_all(const std::shared_ptr<BLooper::LockState>& state)
{
    MutexLocker locker(&state->mutex);
    if (state->owner != find_thread(nullptr))
        return 0;
    int32 count = state->count;
    state->owner = -1;
    state->count = 0;
    pthread_cond_broadcast(&state->released);
    return count;
}

} // namespace

BLooper::BLooper(const char* name, int32 priority, int32)
    : BHandler(name), fLock(std::make_shared<LockState>()), fPreferred(nullptr),
      fCurrentMessage(nullptr), fThread(-1), fPriority(priority),
      fThreadName(name != nullptr ? name : "looper"), fQueue(std::make_shared<LooperQueue>())
{
    {
        MutexLocker locker(app_private::registry_lock());
        loopers()[this] = fLock;
    }
    fHandlers.push_back(this);
    SetLooper(this);
    acquire(fLock, B_INFINITE_TIMEOUT);
}

BLooper::~BLooper()
{
    // From here on no message can be queued here any more.
    app_private::unregister_handler(fToken);
    {
        MutexLocker locker(app_private::registry_lock());
        loopers().erase(this);
        for (BHandler* handler : fHandlers) {
            if (handler != this) {
                handler->SetLooper(nullptr);
                handler->SetNextHandler(nullptr);
            }
        }
    }
    std::deque<BMessage*> pending;
    {
        MutexLocker locker(&fQueue->mutex);
        fQueue->closed = true;
        pending.swap(fQueue->messages);
    }
    for (BMessage* message : pending)
        delete message;
    if (fCurrentMessage != nullptr && fThread != find_thread(nullptr))
        delete fCurrentMessage;
    for (BMessageFilter* filter : fCommonFilters)
        delete filter;
    MutexLocker locker(&fLock->mutex);
    fLock->dead = true;
    fLock->owner = -1;
    fLock->count = 0;
    pthread_cond_broadcast(&fLock->released);
}

status_t BLooper::PostMessage(uint32 command)
{
    BMessage message(command);
    return PostMessage(&message, this, nullptr);
}

status_t BLooper::PostMessage(BMessage* message)
{
    return PostMessage(message, this, nullptr);
}

status_t BLooper::PostMessage(uint32 command, BHandler* handler, BHandler* replyTo)
{
    BMessage message(command);
    return PostMessage(&message, handler, replyTo);
}

status_t BLooper::PostMessage(BMessage* message, BHandler* handler, BHandler* replyTo)
{
    if (message == nullptr)
        return B_BAD_VALUE;
    BMessenger target(handler, handler == nullptr ? this : nullptr);
    if (handler != nullptr && handler->Looper() != this)
        return B_MISMATCHED_VALUES;
    return target.SendMessage(message, replyTo);
}

void BLooper::DispatchMessage(BMessage* message, BHandler* handler)
{
    if (message->what == B_QUIT_REQUESTED && handler == this) {
        if (QuitRequested())
            Quit();
        return;
    }
    handler->MessageReceived(message);
}

void BLooper::MessageReceived(BMessage* message)
{
    BHandler::MessageReceived(message);
}

BMessage* BLooper::DetachCurrentMessage()
{
    BMessage* message = fCurrentMessage;
    fCurrentMessage = nullptr;
    return message;
}

void BLooper::AddHandler(BHandler* handler)
{
    if (handler == nullptr)
        return;
    if (handler->Looper() != nullptr) {
        debugger("BLooper::AddHandler: the handler already belongs to a looper");
        return;
    }
    fHandlers.push_back(handler);
    handler->SetLooper(this);
    if (handler->NextHandler() == nullptr)
        handler->SetNextHandler(this);
}

bool BLooper::RemoveHandler(BHandler* handler)
{
    if (handler == nullptr || handler == this)
        return false;
    auto it = std::find(fHandlers.begin(), fHandlers.end(), handler);
    if (it == fHandlers.end())
        return false;
    fHandlers.erase(it);
    handler->SetLooper(nullptr);
    handler->SetNextHandler(nullptr);
    if (fPreferred == handler)
        fPreferred = nullptr;
    return true;
}

BHandler* BLooper::HandlerAt(int32 index) const
{
    if (index < 0 || index >= CountHandlers())
        return nullptr;
    return fHandlers[static_cast<size_t>(index)];
}

int32 BLooper::IndexOf(BHandler* handler) const
{
    auto it = std::find(fHandlers.begin(), fHandlers.end(), handler);
    return it == fHandlers.end() ? -1 : static_cast<int32>(it - fHandlers.begin());
}

void BLooper::SetPreferredHandler(BHandler* handler)
{
    fPreferred = handler != nullptr && handler->Looper() == this ? handler : nullptr;
}

thread_id BLooper::Run()
{
    if (fThread >= 0)
        return fThread;
    thread_id thread = spawn_thread(ThreadEntry, fThreadName.c_str(), fPriority, this);
    if (thread < 0)
        return thread;
    fThread = thread;
    // Gives up the lock taken at construction.
    if (IsLocked())
        Unlock();
    resume_thread(thread);
    return thread;
}

status_t BLooper::ThreadEntry(void* data)
{
    BLooper* looper = static_cast<BLooper*>(data);
    looper->Loop();
    looper->Lock();
    delete looper;
    return B_OK;
}

void BLooper::Quit()
{
    if (fThread < 0) {
        delete this;
        return;
    }
    if (fThread == find_thread(nullptr)) {
        RequestQuit();
        return;
    }
    std::shared_ptr<LockState> state = fLock;
    thread_id thread = fThread;
    RequestQuit();
    release_all(state);
    status_t ignored;
    wait_for_thread(thread, &ignored);
}

bool BLooper::QuitRequested()
{
    return true;
}

void BLooper::RequestQuit()
{
    MutexLocker locker(&fQueue->mutex);
    fQueue->quitting = true;
    pthread_cond_broadcast(&fQueue->changed);
}

bool BLooper::IsQuitting() const
{
    MutexLocker locker(&fQueue->mutex);
    return fQueue->quitting;
}

bool BLooper::Lock()
{
    std::shared_ptr<LockState> state = lock_state_of(this);
    return state && acquire(state, B_INFINITE_TIMEOUT) == B_OK;
}

status_t BLooper::LockWithTimeout(bigtime_t timeout)
{
    std::shared_ptr<LockState> state = lock_state_of(this);
    if (!state)
        return B_BAD_VALUE;
    return acquire(state, timeout);
}

void BLooper::Unlock()
{
    MutexLocker locker(&fLock->mutex);
    if (fLock->owner != find_thread(nullptr) || fLock->count == 0)
        return;
    if (--fLock->count == 0) {
        fLock->owner = -1;
        pthread_cond_signal(&fLock->released);
    }
}

bool BLooper::IsLocked() const
{
    std::shared_ptr<LockState> state = lock_state_of(this);
    if (!state)
        return false;
    MutexLocker locker(&state->mutex);
    return state->owner == find_thread(nullptr);
}

thread_id BLooper::LockingThread() const
{
    MutexLocker locker(&fLock->mutex);
    return fLock->owner;
}

int32 BLooper::CountLocks() const
{
    MutexLocker locker(&fLock->mutex);
    return fLock->count;
}

team_id BLooper::Team() const
{
    return getpid();
}

BLooper* BLooper::LooperForThread(thread_id thread)
{
    MutexLocker locker(app_private::registry_lock());
    for (auto& entry : loopers()) {
        if (entry.first->fThread == thread)
            return const_cast<BLooper*>(entry.first);
    }
    return nullptr;
}

void BLooper::AddCommonFilter(BMessageFilter* filter)
{
    if (filter == nullptr)
        return;
    if (filter->fHandler != nullptr || filter->fLooper != nullptr) {
        debugger("BLooper::AddCommonFilter: a message filter can be installed only once");
        return;
    }
    filter->fLooper = this;
    fCommonFilters.push_back(filter);
}

bool BLooper::RemoveCommonFilter(BMessageFilter* filter)
{
    auto it = std::find(fCommonFilters.begin(), fCommonFilters.end(), filter);
    if (it == fCommonFilters.end())
        return false;
    fCommonFilters.erase(it);
    filter->fLooper = nullptr;
    return true;
}

void BLooper::Enqueue(BMessage* message)
{
    MutexLocker locker(&fQueue->mutex);
    if (fQueue->closed) {
        locker.Unlock();
        delete message;
        return;
    }
    fQueue->messages.push_back(message);
    pthread_cond_signal(&fQueue->changed);
}

BMessage* BLooper::NextMessage()
{
    MutexLocker locker(&fQueue->mutex);
    wait_until(&fQueue->changed, &fQueue->mutex, B_INFINITE_TIMEOUT,
               [&] { return fQueue->quitting || !fQueue->messages.empty(); });
    if (fQueue->quitting)
        return nullptr;
    BMessage* message = fQueue->messages.front();
    fQueue->messages.pop_front();
    return message;
}

BHandler* BLooper::Resolve(BMessage* message)
{
    MutexLocker locker(app_private::registry_lock());
    BHandler* handler = app_private::handler_for_token(MessageRouting::TargetToken(message));
    if (handler == nullptr || handler->Looper() != this)
        return nullptr;
    if (MessageRouting::TargetPreferred(message) && handler == this)
        return fPreferred != nullptr ? fPreferred : this;
    return handler;
}

BHandler* BLooper::ApplyFilter(BMessageFilter* filter, BMessage* message, BHandler* target)
{
    if (!filter->FiltersAnyCommand() && filter->Command() != message->what)
        return target;
    if (filter->MessageDelivery() == B_DROPPED_DELIVERY)
        return target;   // no message here is ever dropped by drag and drop
    bool remote = message->IsSourceRemote();
    if ((filter->MessageSource() == B_REMOTE_SOURCE && !remote)
        || (filter->MessageSource() == B_LOCAL_SOURCE && remote))
        return target;
    filter_result result = filter->FilterFunction() != nullptr
        ? filter->FilterFunction()(message, &target, filter)
        : filter->Filter(message, &target);
    if (result == B_SKIP_MESSAGE || target == nullptr || target->Looper() != this)
        return nullptr;
    return target;
}

// Common filters, then the target's own filters; a filter that redirects
// hands the message on to the new target's filters.
BHandler* BLooper::TopLevelFilter(BMessage* message, BHandler* target)
{
    std::vector<BMessageFilter*> common = fCommonFilters;
    for (BMessageFilter* filter : common) {
        target = ApplyFilter(filter, message, target);
        if (target == nullptr)
            return nullptr;
    }
    for (int redirects = 0; redirects < 32; redirects++) {
        BHandler* before = target;
        std::vector<BMessageFilter*> own = target->fFilters;
        for (BMessageFilter* filter : own) {
            target = ApplyFilter(filter, message, target);
            if (target == nullptr)
                return nullptr;
            if (target != before)
                break;
        }
        if (target == before)
            return target;
    }
    return target;
}

void BLooper::Loop()
{
    for (;;) {
        BMessage* message = NextMessage();
        if (message == nullptr)
            break;
        if (!Lock()) {
            delete message;
            break;
        }
        if (IsQuitting()) {
            Unlock();
            delete message;
            break;
        }
        fCurrentMessage = message;
        MessageRouting::MarkDelivered(message);
        BHandler* target = Resolve(message);
        if (target != nullptr)
            target = TopLevelFilter(message, target);
        if (target != nullptr)
            DispatchMessage(message, target);
        delete fCurrentMessage;
        fCurrentMessage = nullptr;
        Unlock();
    }
}
