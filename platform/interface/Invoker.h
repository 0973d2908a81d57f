// Something that sends a message when it is invoked: the message it owns
// and the target it sends to.
#pragma once

#include <SupportDefs.h>

class BHandler;
class BLooper;
class BMessage;

class BInvoker {
public:
    BInvoker();
    BInvoker(BMessage* message, const BHandler* handler, const BLooper* looper = nullptr);
    virtual ~BInvoker();
    BInvoker(const BInvoker&) = delete;
    BInvoker& operator=(const BInvoker&) = delete;

    // Takes ownership of the message; the one held before is deleted.
    virtual status_t SetMessage(BMessage* message);
    BMessage* Message() const { return fMessage; }
    uint32 Command() const;

    virtual status_t SetTarget(const BHandler* handler, const BLooper* looper = nullptr);
    BHandler* Target(BLooper** looper = nullptr) const;

    // Sends message, or the held one when none is given, to the target.
    virtual status_t Invoke(BMessage* message = nullptr);

private:
    BMessage* fMessage;
    BHandler* fHandler;
    BLooper* fLooper;
};
