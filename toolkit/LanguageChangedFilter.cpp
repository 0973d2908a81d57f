#include "LanguageChangedFilter.h"

#include <Message.h>

#include "GUIBase.h"

namespace {
const char kRelayedField[] = "LFSendFlag";
}

TLanguageChangedFilter::TLanguageChangedFilter(const BMessenger& messenger)
    : BMessageFilter(kMsgLanguageChanged), fMessenger(messenger)
{
}

TLanguageChangedFilter::~TLanguageChangedFilter() = default;

filter_result TLanguageChangedFilter::Filter(BMessage* message, BHandler**)
{
    if (!message->HasBool(kRelayedField)) {
        BMessage copy(*message);
        copy.AddBool(kRelayedField, true);
        fMessenger.SendMessage(&copy, static_cast<BHandler*>(nullptr), B_INFINITE_TIMEOUT);
    }
    return B_DISPATCH_MESSAGE;
}
