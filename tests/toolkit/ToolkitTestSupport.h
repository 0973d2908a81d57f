// Helpers of the toolkit tests: messages as the display would post them,
// and waiting for a window's thread without timing it.
#pragma once

#include <future>
#include <string>

#include <InterfaceDefs.h>
#include <Message.h>
#include <MessageFilter.h>
#include <OS.h>
#include <Window.h>

namespace toolkit_test {

const uint32 kMsgSettle = 0x73796E63;  // 'sync'

// Answers the settle marker; added to every window a test drives.
class SettleFilter : public BMessageFilter {
public:
    SettleFilter() : BMessageFilter(kMsgSettle) {}
    filter_result Filter(BMessage* message, BHandler**) override
    {
        void* done = nullptr;
        if (message->FindPointer("done", &done) == B_OK)
            static_cast<std::promise<void>*>(done)->set_value();
        return B_SKIP_MESSAGE;
    }
};

// Call before the window runs, or with it locked.
inline void watch(BWindow* window)
{
    window->AddCommonFilter(new SettleFilter());
}

// Returns once the window has handled every message posted before, and
// the messages those sent to the window in turn.
inline void settle(BWindow* window, int rounds = 2)
{
    for (int i = 0; i < rounds; i++) {
        std::promise<void> done;
        std::future<void> handled = done.get_future();
        BMessage marker(kMsgSettle);
        marker.AddPointer("done", &done);
        window->PostMessage(&marker);
        handled.wait();
    }
}

inline BMessage mouse(uint32 what, BPoint where, int32 buttons, int32 clicks = 1)
{
    BMessage m(what);
    m.AddPoint("where", where);
    m.AddInt32("buttons", buttons);
    m.AddInt32("clicks", clicks);
    m.AddInt32("modifiers", 0);
    return m;
}

inline BMessage key(char c, int32 modifiers = 0, int32 code = 0)
{
    BMessage m(B_KEY_DOWN);
    char bytes[2] = {c, 0};
    m.AddString("bytes", bytes);
    m.AddInt32("raw_char", (unsigned char)c);
    m.AddInt32("key", code);
    m.AddInt32("modifiers", modifiers);
    return m;
}

// Posts a key as the display does: to the window's preferred handler, so
// that it passes the common filters to the focus view.
inline void type(BWindow* window, char c, int32 modifiers = 0)
{
    BMessage m = key(c, modifiers);
    window->PostMessage(&m, nullptr);
}

inline void post(BWindow* window, BMessage m)
{
    window->PostMessage(&m);
}

// "x,y" with two decimals.
inline std::string point(BPoint p)
{
    char text[64];
    snprintf(text, sizeof text, "%.2f,%.2f", p.x, p.y);
    return text;
}

}  // namespace toolkit_test
