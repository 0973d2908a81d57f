// App kit: BHandler, something that receives messages in a looper.
#pragma once

#include <SupportDefs.h>
#include <KernelThreads.h>
#include <Archivable.h>

#include <string>
#include <vector>

class BLooper;
class BMessage;
class BMessageFilter;

class BHandler : public BArchivable {
public:
    explicit BHandler(const char* name = NULL);
    explicit BHandler(BMessage* archive);   // reads "_name"
    virtual ~BHandler();   // deletes its filters

    static BArchivable* Instantiate(BMessage* archive);
    status_t Archive(BMessage* into, bool deep = true) const override;

    // Default: hands the message to the next handler, if there is one.
    virtual void MessageReceived(BMessage* message);

    BLooper* Looper() const { return fLooper; }
    void SetName(const char* name);
    const char* Name() const;
    virtual void SetNextHandler(BHandler* handler);
    BHandler* NextHandler() const { return fNextHandler; }

    // The handler owns its filters from here on.
    virtual void AddFilter(BMessageFilter* filter);
    virtual bool RemoveFilter(BMessageFilter* filter);
    int32 CountFilters() const { return static_cast<int32>(fFilters.size()); }
    BMessageFilter* FilterAt(int32 index) const;

    bool LockLooper();
    status_t LockLooperWithTimeout(bigtime_t timeout);
    void UnlockLooper();

private:
    friend class BLooper;
    friend class BMessenger;
    friend struct MessageRouting;

    void SetLooper(BLooper* looper);

    int32 fToken;
    std::string fName;
    bool fHasName;
    BLooper* fLooper;
    BHandler* fNextHandler;
    std::vector<BMessageFilter*> fFilters;
};
