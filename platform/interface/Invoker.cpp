#include "Invoker.h"

#include <Handler.h>
#include <Looper.h>
#include <Message.h>

BInvoker::BInvoker()
    : fMessage(nullptr), fHandler(nullptr), fLooper(nullptr), fHasTarget(false)
{
}

BInvoker::BInvoker(BMessage* message, const BHandler* handler, const BLooper* looper)
    : fMessage(message), fHandler(nullptr), fLooper(nullptr), fHasTarget(false)
{
    if (handler != nullptr || looper != nullptr)
        SetTarget(handler, looper);
}

BInvoker::BInvoker(BMessage* message, BMessenger target)
    : fMessage(message), fHandler(nullptr), fLooper(nullptr), fHasTarget(false)
{
    SetTarget(target);
}

BInvoker::~BInvoker()
{
    delete fMessage;
}

status_t BInvoker::SetMessage(BMessage* message)
{
    if (message != fMessage) {
        delete fMessage;
        fMessage = message;
    }
    return B_OK;
}

uint32 BInvoker::Command() const
{
    return fMessage != nullptr ? fMessage->what : 0;
}

status_t BInvoker::SetTarget(const BHandler* handler, const BLooper* looper)
{
    fHandler = nullptr;
    fLooper = nullptr;
    fHasTarget = handler != nullptr || looper != nullptr;
    if (!fHasTarget) {
        fMessenger = BMessenger();
        return B_OK;
    }
    status_t result = B_OK;
    fMessenger = BMessenger(handler, looper, &result);
    if (result != B_OK && handler != nullptr && handler->Looper() == nullptr && looper == nullptr) {
        fHandler = const_cast<BHandler*>(handler);
        return B_OK;
    }
    return result;
}

status_t BInvoker::SetTarget(BMessenger messenger)
{
    fHandler = nullptr;
    fLooper = nullptr;
    fMessenger = messenger;
    fHasTarget = messenger.IsValid();
    return B_OK;
}

bool BInvoker::IsTargetLocal() const
{
    return fHandler != nullptr || fMessenger.IsTargetLocal();
}

BHandler* BInvoker::Target(BLooper** looper) const
{
    if (fHandler != nullptr) {
        if (looper != nullptr)
            *looper = fHandler->Looper();
        return fHandler;
    }
    BLooper* ignored = nullptr;
    return fMessenger.Target(looper != nullptr ? looper : &ignored);
}

BMessenger BInvoker::Messenger() const
{
    if (fHandler != nullptr && fHandler->Looper() != nullptr)
        return BMessenger(fHandler, nullptr);
    return fMessenger;
}

status_t BInvoker::Invoke(BMessage* message)
{
    if (message == nullptr)
        message = fMessage;
    if (message == nullptr)
        return B_BAD_VALUE;
    // A target kept before it was in a looper is reached now.
    if (fHandler != nullptr && fHandler->Looper() != nullptr) {
        fMessenger = BMessenger(fHandler, nullptr);
        fHandler = nullptr;
    }
    if (!fMessenger.IsValid())
        return B_BAD_PORT_ID;
    return fMessenger.SendMessage(message, static_cast<BHandler*>(nullptr), B_INFINITE_TIMEOUT);
}
