// Lets a view hear of language changes that are addressed to its window:
// added to the window as a common filter, it sends a copy of each
// language-changed message, marked with "LFSendFlag", to its messenger.
// The marked copy is not relayed again, and the window still gets the
// original.
#pragma once

#include <MessageFilter.h>
#include <Messenger.h>

class TLanguageChangedFilter : public BMessageFilter {
public:
    explicit TLanguageChangedFilter(const BMessenger& messenger);
    ~TLanguageChangedFilter() override;

    filter_result Filter(BMessage* message, BHandler** target) override;

private:
    BMessenger fMessenger;
};
