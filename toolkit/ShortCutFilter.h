// Sends a dialog's shortcut keys (Control+anything, Escape, Enter, the
// function keys) to a handler of their own instead of the focus view; other
// keys go on as they were. Without a handler, the window itself takes them.
#pragma once

#include <MessageFilter.h>

class TShortCutFilter : public BMessageFilter {
public:
    explicit TShortCutFilter(BHandler* handler);
    ~TShortCutFilter() override;

    filter_result Filter(BMessage* message, BHandler** target) override;

private:
    BHandler* fHandler;  // not owned; may be none
};
