#include "Handler.h"
#include "Looper.h"
#include "Message.h"
#include "MessageFilter.h"
#include "MessagePrivate.h"

#include <KernelDebug.h>
#include <KernelPrivate.h>

#include <algorithm>
#include <map>

using kernel_private::MutexLocker;

namespace app_private {

namespace {

struct HandlerRegistry {
    std::map<int32, BHandler*> handlers;
    int32 nextToken = 1;
};

HandlerRegistry& handlers()
{
    static HandlerRegistry* r = new HandlerRegistry;
    return *r;
}

} // namespace

pthread_mutex_t* registry_lock()
{
    static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
    return &lock;
}

int32 register_handler(BHandler* handler)
{
    MutexLocker locker(registry_lock());
    HandlerRegistry& r = handlers();
    while (r.handlers.count(r.nextToken) != 0 || r.nextToken <= 0)
        r.nextToken = r.nextToken == INT32_MAX ? 1 : r.nextToken + 1;
    int32 token = r.nextToken++;
    r.handlers[token] = handler;
    return token;
}

void unregister_handler(int32 token)
{
    MutexLocker locker(registry_lock());
    handlers().handlers.erase(token);
}

BHandler* handler_for_token(int32 token)
{
    auto it = handlers().handlers.find(token);
    return it == handlers().handlers.end() ? nullptr : it->second;
}

} // namespace app_private

BHandler::BHandler(const char* name)
    : fToken(app_private::register_handler(this)), fName(name != nullptr ? name : ""),
      fHasName(name != nullptr), fLooper(nullptr), fNextHandler(nullptr)
{
}

BHandler::BHandler(BMessage* archive)
    : BArchivable(archive), fToken(app_private::register_handler(this)), fHasName(false),
      fLooper(nullptr), fNextHandler(nullptr)
{
    const char* name;
    if (archive != nullptr && archive->FindString("_name", &name) == B_OK) {
        fName = name;
        fHasName = true;
    }
}

BHandler::~BHandler()
{
    // A handler deleted while in a looper leaves it first, so that the
    // looper never holds a handler that has gone.
    if (fLooper != nullptr && fLooper != this)
        fLooper->RemoveHandler(this);
    app_private::unregister_handler(fToken);
    for (BMessageFilter* filter : fFilters)
        delete filter;
}

BArchivable* BHandler::Instantiate(BMessage* archive)
{
    if (!validate_instantiation(archive, "BHandler"))
        return nullptr;
    return new BHandler(archive);
}

B_REGISTER_ARCHIVABLE(BHandler);

status_t BHandler::Archive(BMessage* into, bool deep) const
{
    status_t status = BArchivable::Archive(into, deep);
    if (status == B_OK && fHasName)
        status = into->AddString("_name", fName.c_str());
    return status;
}

void BHandler::MessageReceived(BMessage* message)
{
    if (fNextHandler != nullptr && fNextHandler != this)
        fNextHandler->MessageReceived(message);
}

void BHandler::SetName(const char* name)
{
    fName = name != nullptr ? name : "";
    fHasName = name != nullptr;
}

const char* BHandler::Name() const
{
    return fHasName ? fName.c_str() : nullptr;
}

void BHandler::SetNextHandler(BHandler* handler)
{
    fNextHandler = handler;
}

void BHandler::AddFilter(BMessageFilter* filter)
{
    if (filter == nullptr)
        return;
    if (filter->fHandler != nullptr || filter->fLooper != nullptr) {
        debugger("BHandler::AddFilter: a message filter can be installed only once");
        return;
    }
    filter->fHandler = this;
    fFilters.push_back(filter);
}

bool BHandler::RemoveFilter(BMessageFilter* filter)
{
    auto it = std::find(fFilters.begin(), fFilters.end(), filter);
    if (it == fFilters.end())
        return false;
    fFilters.erase(it);
    filter->fHandler = nullptr;
    return true;
}

BMessageFilter* BHandler::FilterAt(int32 index) const
{
    if (index < 0 || index >= CountFilters())
        return nullptr;
    return fFilters[static_cast<size_t>(index)];
}

bool BHandler::LockLooper()
{
    BLooper* looper = fLooper;
    if (looper == nullptr || !looper->Lock())
        return false;
    // The handler may have moved while we waited.
    if (fLooper != looper) {
        looper->Unlock();
        return false;
    }
    return true;
}

status_t BHandler::LockLooperWithTimeout(bigtime_t timeout)
{
    BLooper* looper = fLooper;
    if (looper == nullptr)
        return B_BAD_VALUE;
    status_t status = looper->LockWithTimeout(timeout);
    if (status == B_OK && fLooper != looper) {
        looper->Unlock();
        return B_MISMATCHED_VALUES;
    }
    return status;
}

void BHandler::UnlockLooper()
{
    if (fLooper != nullptr)
        fLooper->Unlock();
}

void BHandler::SetLooper(BLooper* looper)
{
    fLooper = looper;
    for (BMessageFilter* filter : fFilters)
        filter->fHandler = this;
}
