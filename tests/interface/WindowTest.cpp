#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include <Button.h>
#include <Message.h>
#include <MessageFilter.h>
#include <OS.h>
#include <Window.h>

namespace {

// Waits until the window's thread has done what the test asked of it;
// the window is locked while the condition is looked at.
bool wait_until(BWindow* window, const std::function<bool()>& done)
{
    for (int i = 0; i < 10000; i++) {
        if (window->Lock()) {
            bool ok = done();
            window->Unlock();
            if (ok)
                return true;
        }
        snooze(1000);
    }
    return false;
}

class RecordingView : public BView {
public:
    RecordingView(BRect frame, const char* name)
        : BView(frame, name, B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW)
    {
    }
    void MouseDown(BPoint where) override
    {
        int32 buttons = 0;
        Window()->CurrentMessage()->FindInt32("buttons", &buttons);
        log.push_back("down " + point(where) + " buttons " + std::to_string(buttons));
        if (capture)
            SetMouseEventMask(B_POINTER_EVENTS, B_NO_POINTER_HISTORY);
    }
    void MouseUp(BPoint where) override { log.push_back("up " + point(where)); }
    void MouseMoved(BPoint where, uint32 transit, const BMessage*) override
    {
        log.push_back("moved " + point(where) + " " + std::to_string(transit));
    }
    void KeyDown(const char* bytes, int32 numBytes) override
    {
        log.push_back(std::string("key ") + std::string(bytes, size_t(numBytes)));
    }
    static std::string point(BPoint p)
    {
        return std::to_string(int(p.x)) + "," + std::to_string(int(p.y));
    }

    std::vector<std::string> log;
    bool capture = false;
};

class TestWindow : public BWindow {
public:
    TestWindow() : BWindow(BRect(100, 100, 299, 199), "Test", B_TITLED_WINDOW, B_NOT_RESIZABLE) {}
    void MessageReceived(BMessage* message) override
    {
        received.push_back(message->what);
        if (message->what == 0x636C696B) {
            int32 value = -1;
            message->FindInt32("be:value", &value);
            void* source = nullptr;
            message->FindPointer("source", &source);
            clickSource = source;
        }
        BWindow::MessageReceived(message);
    }
    bool QuitRequested() override
    {
        quitAsked++;
        sawCurrentMessage = CurrentMessage() != nullptr;
        return allowQuit;
    }

    std::vector<uint32> received;
    void* clickSource = nullptr;
    std::atomic<int> quitAsked{0};
    bool sawCurrentMessage = false;
    bool allowQuit = false;
};

BMessage* mouse(uint32 what, BPoint where, int32 buttons, int32 clicks = 1)
{
    BMessage* m = new BMessage(what);
    m->AddPoint("where", where);
    m->AddInt32("buttons", buttons);
    m->AddInt32("clicks", clicks);
    m->AddInt32("modifiers", 0);
    return m;
}

void post(BWindow* w, BMessage* m, BHandler* handler)
{
    w->PostMessage(m, handler);
    delete m;
}

}  // namespace

TEST(Window, ShowsHidesAndKeepsItsGeometry)
{
    auto* w = new TestWindow();
    EXPECT_TRUE(w->IsHidden());
    EXPECT_EQ(w->Frame(), BRect(100, 100, 299, 199));
    EXPECT_EQ(w->Bounds(), BRect(0, 0, 199, 99));
    auto* view = new BView(BRect(0, 0, 199, 99), "all", B_FOLLOW_ALL, 0);
    w->AddChild(view);
    EXPECT_EQ(w->ChildAt(0), view);
    EXPECT_EQ(w->CountChildren(), 1);
    EXPECT_EQ(view->Window(), w);
    EXPECT_EQ(view->Looper(), w);
    w->ResizeTo(249, 149);
    EXPECT_EQ(view->Frame(), BRect(0, 0, 249, 149));
    w->MoveTo(10, 20);
    EXPECT_EQ(w->Frame(), BRect(10, 20, 259, 169));
    EXPECT_EQ(view->ConvertToScreen(BPoint(1, 1)), BPoint(11, 21));
    w->SetTitle("Other");
    EXPECT_STREQ(w->Title(), "Other");
    w->Show();
    ASSERT_TRUE(w->Lock());
    EXPECT_FALSE(w->IsHidden());
    w->Hide();
    EXPECT_TRUE(w->IsHidden());
    w->Show();
    EXPECT_FALSE(w->IsHidden());
    w->Quit();
}

TEST(Window, PointerMessagesReachTheViewUnderThePointerAndStayWhileHeld)
{
    auto* w = new TestWindow();
    auto* left = new RecordingView(BRect(0, 0, 99, 99), "left");
    auto* right = new RecordingView(BRect(100, 0, 199, 99), "right");
    left->capture = true;
    w->AddChild(left);
    w->AddChild(right);
    w->Show();
    post(w, mouse(B_MOUSE_DOWN, BPoint(10, 20), 1), w);
    post(w, mouse(B_MOUSE_MOVED, BPoint(150, 20), 1), w);  // outside, still held
    post(w, mouse(B_MOUSE_UP, BPoint(160, 30), 0), w);
    post(w, mouse(B_MOUSE_DOWN, BPoint(150, 5), 2), w);   // now the right view
    ASSERT_TRUE(wait_until(w, [&] { return right->log.size() >= 1; }));
    ASSERT_TRUE(w->Lock());
    EXPECT_EQ(left->log, (std::vector<std::string>{"down 10,20 buttons 1",
                             "moved 150,20 " + std::to_string(B_OUTSIDE_VIEW), "up 160,30"}));
    EXPECT_EQ(right->log, (std::vector<std::string>{"down 50,5 buttons 2"}));
    w->Quit();
}

// The view the pointer was over goes away; the next movement tells only
// the view it is over now.
TEST(Window, AViewRemovedUnderThePointerIsNotToldItWasLeft)
{
    auto* w = new TestWindow();
    auto* gone = new RecordingView(BRect(0, 0, 99, 99), "gone");
    auto* next = new RecordingView(BRect(100, 0, 199, 99), "next");
    w->AddChild(gone);
    w->AddChild(next);
    w->Show();
    post(w, mouse(B_MOUSE_MOVED, BPoint(10, 20), 0), w);
    ASSERT_TRUE(wait_until(w, [&] { return gone->log.size() == 1; }));
    ASSERT_TRUE(w->Lock());
    w->RemoveChild(gone);
    delete gone;
    w->Unlock();
    post(w, mouse(B_MOUSE_MOVED, BPoint(150, 20), 0), w);
    ASSERT_TRUE(wait_until(w, [&] { return next->log.size() == 1; }));
    ASSERT_TRUE(w->Lock());
    EXPECT_EQ(next->log, (std::vector<std::string>{"moved 50,20 " + std::to_string(B_ENTERED_VIEW)}));
    w->Quit();
}

TEST(Window, KeysGoThroughCommonFiltersToTheFocusView)
{
    struct Redirect : BMessageFilter {
        Redirect() : BMessageFilter(B_KEY_DOWN) {}
        filter_result Filter(BMessage* message, BHandler** target) override
        {
            int32 modifiers = 0;
            message->FindInt32("modifiers", &modifiers);
            if (modifiers & B_CONTROL_KEY)
                *target = Looper();
            return B_DISPATCH_MESSAGE;
        }
    };
    auto* w = new TestWindow();
    auto* view = new RecordingView(BRect(0, 0, 99, 99), "typing");
    w->AddChild(view);
    w->AddCommonFilter(new Redirect());
    view->MakeFocus();
    EXPECT_EQ(w->CurrentFocus(), view);
    w->Show();
    auto key = [](const char* bytes, int32 modifiers) {
        BMessage* m = new BMessage(B_KEY_DOWN);
        m->AddString("bytes", bytes);
        m->AddInt32("raw_char", bytes[0]);
        m->AddInt32("key", 0);
        m->AddInt32("modifiers", modifiers);
        return m;
    };
    post(w, key("a", 0), nullptr);
    post(w, key("s", B_CONTROL_KEY), nullptr);
    post(w, key("b", 0), nullptr);
    ASSERT_TRUE(wait_until(w, [&] { return view->log.size() >= 2; }));
    ASSERT_TRUE(w->Lock());
    EXPECT_EQ(view->log, (std::vector<std::string>{"key a", "key b"}));
    EXPECT_EQ(w->received, (std::vector<uint32>{B_KEY_DOWN}));
    w->Quit();
}

TEST(Window, ButtonsClickedWithThePointerInvokeTheirTarget)
{
    auto* w = new TestWindow();
    auto* button = new BButton(BRect(10, 10, 90, 32), "ButtonOK", "OK", new BMessage(0x636C696B));
    w->AddChild(button);
    w->SetDefaultButton(button);
    EXPECT_EQ(w->DefaultButton(), button);
    w->Show();
    post(w, mouse(B_MOUSE_DOWN, BPoint(20, 20), 1), w);
    post(w, mouse(B_MOUSE_UP, BPoint(21, 21), 0), w);
    // Released outside the button: no click.
    post(w, mouse(B_MOUSE_DOWN, BPoint(20, 20), 1), w);
    post(w, mouse(B_MOUSE_UP, BPoint(150, 80), 0), w);
    post(w, new BMessage(0x646F6E65), w);
    // Once the marker is handled every release was, and any click they sent
    // is queued; a second marker posted now comes after all of them.
    ASSERT_TRUE(wait_until(w, [&] {
        return std::count(w->received.begin(), w->received.end(), 0x646F6E65u) == 1;
    }));
    post(w, new BMessage(0x656E6421), w);
    ASSERT_TRUE(wait_until(w, [&] {
        return std::count(w->received.begin(), w->received.end(), 0x656E6421u) == 1;
    }));
    ASSERT_TRUE(w->Lock());
    EXPECT_EQ(std::count(w->received.begin(), w->received.end(), 0x636C696Bu), 1);
    EXPECT_EQ(w->received.size(), 3u);
    EXPECT_EQ(w->clickSource, static_cast<void*>(button));
    EXPECT_EQ(button->Value(), 0);
    w->Quit();
}

TEST(Window, QuitRequestedDecidesAndSeesTheMessage)
{
    auto* w = new TestWindow();
    w->Show();
    w->PostMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(wait_until(w, [&] { return w->quitAsked.load() == 1; }));
    ASSERT_TRUE(w->Lock());
    EXPECT_TRUE(w->sawCurrentMessage);
    // Asked directly, outside any message.
    EXPECT_FALSE(w->QuitRequested());
    EXPECT_FALSE(w->sawCurrentMessage);
    w->allowQuit = true;
    w->Unlock();
    thread_id thread = w->Thread();
    w->PostMessage(B_QUIT_REQUESTED);
    status_t result;
    EXPECT_EQ(wait_for_thread(thread, &result), B_OK);
}
