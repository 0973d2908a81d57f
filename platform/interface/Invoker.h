// Something that sends a message when it is invoked: the message it owns
// and the target it sends to.
#pragma once

#include <Messenger.h>
#include <SupportDefs.h>

class BHandler;
class BLooper;
class BMessage;

class BInvoker {
public:
    BInvoker();
    BInvoker(BMessage* message, const BHandler* handler, const BLooper* looper = nullptr);
    BInvoker(BMessage* message, BMessenger target);
    virtual ~BInvoker();
    BInvoker(const BInvoker&) = delete;
    BInvoker& operator=(const BInvoker&) = delete;

    // Takes ownership of the message; the one held before is deleted.
    virtual status_t SetMessage(BMessage* message);
    BMessage* Message() const { return fMessage; }
    uint32 Command() const;

    // A handler that is in no looper yet is kept and reached once it is.
    virtual status_t SetTarget(const BHandler* handler, const BLooper* looper = nullptr);
    virtual status_t SetTarget(BMessenger messenger);
    bool IsTargetLocal() const;
    BHandler* Target(BLooper** looper = nullptr) const;
    BMessenger Messenger() const;
    // Whether a target was ever given.
    bool HasTarget() const { return fHasTarget; }

    // Sends message, or the held one when none is given, to the target;
    // B_BAD_VALUE with nothing to send, B_BAD_PORT_ID for no target.
    virtual status_t Invoke(BMessage* message = nullptr);

private:
    BMessage* fMessage;
    BMessenger fMessenger;
    BHandler* fHandler;
    BLooper* fLooper;
    bool fHasTarget;
};
