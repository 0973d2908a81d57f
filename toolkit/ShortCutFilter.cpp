#include "ShortCutFilter.h"

#include <AppDefs.h>
#include <InterfaceDefs.h>
#include <Looper.h>
#include <Message.h>

TShortCutFilter::TShortCutFilter(BHandler* handler)
    : BMessageFilter(B_KEY_DOWN), fHandler(handler)
{
}

TShortCutFilter::~TShortCutFilter() = default;

filter_result TShortCutFilter::Filter(BMessage* message, BHandler** target)
{
    int32 modifiers = 0, rawChar = 0;
    message->FindInt32("modifiers", &modifiers);
    message->FindInt32("raw_char", &rawChar);
    if ((modifiers & B_CONTROL_KEY) != 0 || rawChar == B_ESCAPE || rawChar == B_ENTER
        || rawChar == B_FUNCTION_KEY)
        *target = fHandler != nullptr ? fHandler : static_cast<BHandler*>(Looper());
    return B_DISPATCH_MESSAGE;
}
