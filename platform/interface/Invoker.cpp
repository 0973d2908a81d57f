#include "Invoker.h"

// Messages and their delivery belong to the messaging core; until it is
// part of the build there is no message to own or send.
#if __has_include(<Message.h>)
#define INVOKER_HAS_MESSAGES 1
#include <Message.h>
#endif

BInvoker::BInvoker()
    : fMessage(nullptr), fHandler(nullptr), fLooper(nullptr)
{
}

BInvoker::BInvoker(BMessage* message, const BHandler* handler, const BLooper* looper)
    : fMessage(message),
      fHandler(const_cast<BHandler*>(handler)),
      fLooper(const_cast<BLooper*>(looper))
{
}

BInvoker::~BInvoker()
{
#ifdef INVOKER_HAS_MESSAGES
    delete fMessage;
#endif
}

status_t BInvoker::SetMessage(BMessage* message)
{
    if (message == fMessage)
        return B_OK;
#ifdef INVOKER_HAS_MESSAGES
    delete fMessage;
#endif
    fMessage = message;
    return B_OK;
}

uint32 BInvoker::Command() const
{
#ifdef INVOKER_HAS_MESSAGES
    return fMessage != nullptr ? fMessage->what : 0;
#else
    return 0;
#endif
}

status_t BInvoker::SetTarget(const BHandler* handler, const BLooper* looper)
{
    fHandler = const_cast<BHandler*>(handler);
    fLooper = const_cast<BLooper*>(looper);
    return B_OK;
}

BHandler* BInvoker::Target(BLooper** looper) const
{
    if (looper != nullptr)
        *looper = fLooper;
    return fHandler;
}

status_t BInvoker::Invoke(BMessage* message)
{
    return B_NO_INIT;
}
