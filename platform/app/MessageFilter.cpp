#include "MessageFilter.h"
#include "Handler.h"

BMessageFilter::BMessageFilter(uint32 what, filter_hook func)
    : fDelivery(B_ANY_DELIVERY), fSource(B_ANY_SOURCE), fWhat(what), fAnyCommand(false),
      fHook(func), fLooper(nullptr), fHandler(nullptr)
{
}

BMessageFilter::BMessageFilter(message_delivery delivery, message_source source, filter_hook func)
    : fDelivery(delivery), fSource(source), fWhat(0), fAnyCommand(true), fHook(func),
      fLooper(nullptr), fHandler(nullptr)
{
}

BMessageFilter::BMessageFilter(message_delivery delivery, message_source source, uint32 what,
                               filter_hook func)
    : fDelivery(delivery), fSource(source), fWhat(what), fAnyCommand(false), fHook(func),
      fLooper(nullptr), fHandler(nullptr)
{
}

// A copy filters the same way but is installed nowhere.
BMessageFilter::BMessageFilter(const BMessageFilter& filter)
    : fDelivery(filter.fDelivery), fSource(filter.fSource), fWhat(filter.fWhat),
      fAnyCommand(filter.fAnyCommand), fHook(filter.fHook), fLooper(nullptr), fHandler(nullptr)
{
}

BMessageFilter::BMessageFilter(const BMessageFilter* filter) : BMessageFilter(*filter) {}

BMessageFilter::~BMessageFilter() {}

BMessageFilter& BMessageFilter::operator=(const BMessageFilter& from)
{
    fDelivery = from.fDelivery;
    fSource = from.fSource;
    fWhat = from.fWhat;
    fAnyCommand = from.fAnyCommand;
    fHook = from.fHook;
    return *this;
}

filter_result BMessageFilter::Filter(BMessage* message, BHandler** target)
{
    return fHook != nullptr ? fHook(message, target, this) : B_DISPATCH_MESSAGE;
}

BLooper* BMessageFilter::Looper() const
{
    if (fLooper != nullptr)
        return fLooper;
    return fHandler != nullptr ? fHandler->Looper() : nullptr;
}
