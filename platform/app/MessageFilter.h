// App kit: BMessageFilter, which sees messages before their handler does.
//
// A filter answers B_DISPATCH_MESSAGE (go on, possibly to another handler
// it put in *target) or B_SKIP_MESSAGE (the message is dropped). A new
// target must belong to the same looper; a target of another looper drops
// the message. Filters that name a command see only messages with that
// `what`.
#pragma once

#include <SupportDefs.h>

class BHandler;
class BLooper;
class BMessage;

enum filter_result {
    B_SKIP_MESSAGE,
    B_DISPATCH_MESSAGE,
};

enum message_delivery {
    B_ANY_DELIVERY,
    B_DROPPED_DELIVERY,
    B_PROGRAMMED_DELIVERY,
};

enum message_source {
    B_ANY_SOURCE,
    B_REMOTE_SOURCE,
    B_LOCAL_SOURCE,
};

class BMessageFilter;
typedef filter_result (*filter_hook)(BMessage* message, BHandler** target, BMessageFilter* filter);

class BMessageFilter {
public:
    BMessageFilter(uint32 what, filter_hook func = NULL);
    BMessageFilter(message_delivery delivery, message_source source, filter_hook func = NULL);
    BMessageFilter(message_delivery delivery, message_source source, uint32 what,
                   filter_hook func = NULL);
    BMessageFilter(const BMessageFilter& filter);
    BMessageFilter(const BMessageFilter* filter);
    virtual ~BMessageFilter();

    BMessageFilter& operator=(const BMessageFilter& from);

    // Default: the hook's answer, or B_DISPATCH_MESSAGE without one.
    virtual filter_result Filter(BMessage* message, BHandler** target);

    message_delivery MessageDelivery() const { return fDelivery; }
    message_source MessageSource() const { return fSource; }
    uint32 Command() const { return fWhat; }
    bool FiltersAnyCommand() const { return fAnyCommand; }
    // The looper of the handler or looper the filter is installed in.
    BLooper* Looper() const;
    filter_hook FilterFunction() const { return fHook; }

private:
    friend class BHandler;
    friend class BLooper;

    message_delivery fDelivery;
    message_source fSource;
    uint32 fWhat;
    bool fAnyCommand;
    filter_hook fHook;
    BLooper* fLooper;     // for a common filter
    BHandler* fHandler;   // for a handler's filter
};
