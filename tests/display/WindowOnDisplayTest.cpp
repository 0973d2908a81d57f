// A BWindow on a real X server, driven with real input events.
#include <gtest/gtest.h>

#include <Display.h>
#include <InterfaceDefs.h>
#include <Message.h>
#include <OS.h>
#include <Screen.h>
#include <Window.h>

#include <atomic>
#include <string>
#include <vector>

#include "DisplayTestSupport.h"

using display_test::eventually;
using display_test::xdotool;

namespace {

struct Input {
    std::string what;
    BPoint where;
    int32 buttons = 0;
    int32 clicks = 0;
    std::string bytes;
    int32 rawChar = 0;
    int32 key = 0;
    int32 modifiers = 0;
};

// Writes down every hook call with the message behind it.
class RecordingView : public BView {
public:
    RecordingView(BRect frame, const char* name)
        : BView(frame, name, B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW)
    {
    }
    void MouseDown(BPoint where) override
    {
        Record("down", where);
        if (capture)
            SetMouseEventMask(B_POINTER_EVENTS, B_NO_POINTER_HISTORY);
    }
    void MouseUp(BPoint where) override { Record("up", where); }
    void MouseMoved(BPoint where, uint32 transit, const BMessage*) override
    {
        int32 buttons = 0;
        Window()->CurrentMessage()->FindInt32("buttons", &buttons);
        if (buttons != 0)
            Record(transit == B_OUTSIDE_VIEW ? "moved outside" : "moved", where);
    }
    void KeyDown(const char* bytes, int32 length) override { Record("key down", BPoint()); }
    void KeyUp(const char* bytes, int32 length) override { Record("key up", BPoint()); }

    std::vector<Input> Of(const std::string& what) const
    {
        std::vector<Input> found;
        for (const Input& input : log) {
            if (input.what == what)
                found.push_back(input);
        }
        return found;
    }

    std::vector<Input> log;
    bool capture = false;

private:
    void Record(const char* what, BPoint where)
    {
        const BMessage* m = Window()->CurrentMessage();
        Input input;
        input.what = what;
        input.where = where;
        m->FindInt32("buttons", &input.buttons);
        m->FindInt32("clicks", &input.clicks);
        m->FindInt32("raw_char", &input.rawChar);
        m->FindInt32("key", &input.key);
        m->FindInt32("modifiers", &input.modifiers);
        const char* bytes = nullptr;
        if (m->FindString("bytes", &bytes) == B_OK)
            input.bytes = bytes;
        log.push_back(input);
    }
};

class ScreenWindow : public BWindow {
public:
    ScreenWindow(BRect frame, const char* title)
        : BWindow(frame, title, B_TITLED_WINDOW, 0)
    {
    }
    void FrameMoved(BPoint where) override { moves.push_back(where); }
    void WindowActivated(bool active) override { activations.push_back(active); }
    void FrameResized(float width, float height) override
    {
        sizes.push_back(BPoint(width, height));
    }
    bool QuitRequested() override
    {
        quitAsked++;
        return allowQuit;
    }

    std::vector<BPoint> moves;
    std::vector<BPoint> sizes;
    std::vector<bool> activations;
    std::atomic<int> quitAsked{0};
    std::atomic<bool> allowQuit{false};
};

class WindowOnDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!display_test::start_display(&why))
            GTEST_SKIP() << why;
        ASSERT_TRUE(BPrivate::display_available());
    }

    static unsigned long ShowOnScreen(BWindow* window)
    {
        unsigned long id = display_test::show_on_screen(window);
        EXPECT_NE(id, 0u) << "the window never came on screen with the focus";
        return id;
    }

    static std::string Id(unsigned long id) { return std::to_string(id); }
};

}  // namespace

TEST_F(WindowOnDisplay, TheWindowFollowsAndIsFollowedByTheDisplay)
{
    auto* w = new ScreenWindow(BRect(50, 60, 249, 159), "Gr\xC3\xBC\xC3\x9F" "e");
    unsigned long id = ShowOnScreen(w);
    EXPECT_EQ(display_test::frame_of(id), BRect(50, 60, 249, 159));
    EXPECT_EQ(display_test::title_of(id), "Gr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(BScreen().Frame(), display_test::root_frame());

    ASSERT_TRUE(w->Lock());
    w->SetTitle("Other");
    w->MoveTo(80, 90);
    w->ResizeTo(299, 149);
    w->moves.clear();
    w->sizes.clear();
    w->Unlock();
    EXPECT_TRUE(eventually([&] { return display_test::frame_of(id) == BRect(80, 90, 379, 239); }));
    EXPECT_EQ(display_test::title_of(id), "Other");

    // Moved and resized by someone else: the frame and the hooks follow.
    ASSERT_TRUE(xdotool({"windowmove", Id(id), "300", "200"}));
    ASSERT_TRUE(eventually(w, [&] { return w->Frame().LeftTop() == BPoint(300, 200); }));
    ASSERT_TRUE(xdotool({"windowsize", Id(id), "320", "240"}));
    ASSERT_TRUE(eventually(w, [&] { return w->Bounds() == BRect(0, 0, 319, 239); }));
    ASSERT_TRUE(w->Lock());
    EXPECT_EQ(w->Frame(), BRect(300, 200, 619, 439));
    EXPECT_EQ(w->moves, std::vector<BPoint>{BPoint(300, 200)});
    EXPECT_EQ(w->sizes, std::vector<BPoint>{BPoint(319, 239)});
    EXPECT_EQ(w->ChildAt(0), nullptr);

    w->Hide();
    w->Unlock();
    EXPECT_TRUE(eventually([&] { return !display_test::is_viewable(id); }));
    ASSERT_TRUE(w->Lock());
    w->Show();
    w->Unlock();
    EXPECT_TRUE(eventually([&] { return display_test::is_viewable(id); }));
    ASSERT_TRUE(w->Lock());
    w->Quit();
    EXPECT_TRUE(eventually([&] { return !display_test::exists(id); }));
}

TEST_F(WindowOnDisplay, ThePictureReachesTheScreen)
{
    struct Red : BView {
        Red() : BView(BRect(10, 10, 59, 39), "red", B_FOLLOW_NONE, B_WILL_DRAW) {}
        void Draw(BRect) override
        {
            SetHighColor(200, 30, 40);
            FillRect(Bounds());
        }
    };
    auto* w = new ScreenWindow(BRect(100, 100, 199, 179), "Picture");
    w->AddChild(new Red());
    unsigned long id = ShowOnScreen(w);
    auto pixel = [&](int x, int y) {
        cairo_surface_t* shot = display_test::capture(id);
        if (shot == nullptr)
            return uint32_t(0);
        auto* row = cairo_image_surface_get_data(shot) + y * cairo_image_surface_get_stride(shot);
        uint32_t value = reinterpret_cast<uint32_t*>(row)[x] & 0xffffff;
        cairo_surface_destroy(shot);
        return value;
    };
    rgb_color panel = ui_color(B_PANEL_BACKGROUND_COLOR);
    uint32_t panelPixel = uint32_t(panel.red) << 16 | uint32_t(panel.green) << 8 | panel.blue;
    EXPECT_TRUE(eventually([&] { return pixel(30, 20) == 0xc81e28u; }));
    EXPECT_EQ(pixel(80, 60), panelPixel);
    // Covered and uncovered by another window: drawn again.
    ASSERT_TRUE(xdotool({"windowunmap", "--sync", Id(id)}));
    ASSERT_TRUE(xdotool({"windowmap", "--sync", Id(id)}));
    EXPECT_TRUE(eventually([&] { return pixel(30, 20) == 0xc81e28u; }));
    ASSERT_TRUE(w->Lock());
    w->Quit();
}

TEST_F(WindowOnDisplay, ClicksCountAndCarryTheButtonsHeld)
{
    auto* w = new ScreenWindow(BRect(100, 100, 299, 199), "Clicks");
    auto* view = new RecordingView(BRect(0, 0, 199, 99), "clicks");
    w->AddChild(view);
    bigtime_t speed = 0;
    EXPECT_EQ(get_click_speed(&speed), B_OK);
    EXPECT_EQ(speed, 500000);
    // A busy machine may deliver the quick clicks slowly; every gesture here
    // starts elsewhere or with another button, so a longer interval merges
    // none of them.
    set_click_speed(2000000);
    unsigned long id = ShowOnScreen(w);
    ASSERT_TRUE(xdotool({"mousemove", "--window", Id(id), "--sync", "20", "30", "click", "1"}));
    ASSERT_TRUE(eventually(w, [&] { return view->Of("up").size() == 1; }));
    // Three quick clicks elsewhere: 1, 2, 3.
    ASSERT_TRUE(xdotool({"mousemove", "--window", Id(id), "--sync", "60", "30", "click",
        "--repeat", "3", "--delay", "60", "1"}));
    ASSERT_TRUE(eventually(w, [&] { return view->Of("up").size() == 4; }));
    // Another button starts counting anew.
    ASSERT_TRUE(xdotool({"click", "3"}));
    ASSERT_TRUE(eventually(w, [&] { return view->Of("up").size() == 5; }));
    ASSERT_TRUE(w->Lock());
    std::vector<Input> downs = view->Of("down");
    ASSERT_EQ(downs.size(), 5u);
    EXPECT_EQ(downs[0].where, BPoint(20, 30));
    std::vector<int32> clicks, buttons;
    for (const Input& down : downs) {
        clicks.push_back(down.clicks);
        buttons.push_back(down.buttons);
    }
    EXPECT_EQ(clicks, (std::vector<int32>{1, 1, 2, 3, 1}));
    EXPECT_EQ(buttons, (std::vector<int32>{1, 1, 1, 1, 2}));
    for (const Input& up : view->Of("up"))
        EXPECT_EQ(up.buttons, 0);
    EXPECT_EQ(view->Of("up")[1].where, BPoint(60, 30));
    set_click_speed(speed);
    w->Quit();
}

TEST_F(WindowOnDisplay, APressedButtonKeepsThePointerOutsideTheViewAndTheWindow)
{
    auto* w = new ScreenWindow(BRect(100, 100, 299, 199), "Drag");
    auto* left = new RecordingView(BRect(0, 0, 99, 99), "left");
    auto* right = new RecordingView(BRect(100, 0, 199, 99), "right");
    left->capture = true;
    w->AddChild(left);
    w->AddChild(right);
    unsigned long id = ShowOnScreen(w);
    ASSERT_TRUE(xdotool({"mousemove", "--window", Id(id), "--sync", "20", "20", "mousedown", "1"}));
    ASSERT_TRUE(eventually(w, [&] { return left->Of("down").size() == 1; }));
    ASSERT_TRUE(xdotool({"mousemove", "--window", Id(id), "--sync", "150", "40"}));
    ASSERT_TRUE(xdotool({"mousemove", "--window", Id(id), "--sync", "260", "150"}));
    ASSERT_TRUE(eventually(w, [&] {
        auto moved = left->Of("moved outside");
        return !moved.empty() && moved.back().where == BPoint(260, 150);
    }));
    ASSERT_TRUE(xdotool({"mouseup", "1"}));
    ASSERT_TRUE(eventually(w, [&] { return left->Of("up").size() == 1; }));
    ASSERT_TRUE(w->Lock());
    EXPECT_EQ(left->Of("down")[0].buttons, B_PRIMARY_MOUSE_BUTTON);
    for (const Input& moved : left->Of("moved outside"))
        EXPECT_EQ(moved.buttons, B_PRIMARY_MOUSE_BUTTON);
    EXPECT_EQ(left->Of("up")[0].where, BPoint(260, 150));
    EXPECT_EQ(left->Of("up")[0].buttons, 0);
    EXPECT_TRUE(right->log.empty());
    w->Quit();
}

TEST_F(WindowOnDisplay, KeysReachTheFocusViewWithCharacterCodeAndModifiers)
{
    auto* w = new ScreenWindow(BRect(100, 100, 299, 199), "Keys");
    auto* view = new RecordingView(BRect(0, 0, 199, 99), "keys");
    w->AddChild(view);
    ASSERT_TRUE(w->Lock());
    view->MakeFocus();
    w->Unlock();
    EXPECT_NE(ShowOnScreen(w), 0u);
    ASSERT_TRUE(xdotool({"key", "ctrl+s", "Return", "Escape", "F2", "Tab", "BackSpace", "Left",
        "shift+a", "x"}));
    ASSERT_TRUE(eventually(w, [&] { return view->Of("key up").size() >= 9; }));
    ASSERT_TRUE(w->Lock());
    std::vector<Input> downs = view->Of("key down");
    ASSERT_EQ(downs.size(), 9u);
    struct Expected {
        std::string bytes;
        int32 rawChar;
        int32 modifiers;
    };
    const Expected expected[] = {{"\x13", 's', B_CONTROL_KEY}, {"\n", B_ENTER, 0},
        {"\x1b", B_ESCAPE, 0}, {"\x10", B_FUNCTION_KEY, 0}, {"\t", B_TAB, 0},
        {"\x08", B_BACKSPACE, 0}, {"\x1c", B_LEFT_ARROW, 0}, {"A", 'a', B_SHIFT_KEY},
        {"x", 'x', 0}};
    for (size_t i = 0; i < downs.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(downs[i].bytes, expected[i].bytes);
        EXPECT_EQ(downs[i].rawChar, expected[i].rawChar);
        EXPECT_EQ(downs[i].modifiers & (B_SHIFT_KEY | B_CONTROL_KEY | B_COMMAND_KEY),
            expected[i].modifiers);
    }
    EXPECT_EQ(downs[3].key, B_F2_KEY);
    EXPECT_EQ(downs[1].key, 0x47);   // the Enter key
    EXPECT_EQ(downs[2].key, 0x01);   // the Escape key
    EXPECT_TRUE(downs[0].modifiers & B_LEFT_CONTROL_KEY);
    w->Quit();
}

TEST_F(WindowOnDisplay, TheCloseBoxAsksTheWindowWhetherToQuit)
{
    auto* w = new ScreenWindow(BRect(100, 100, 299, 199), "Close");
    unsigned long id = ShowOnScreen(w);
    display_test::press_close_box(id);
    ASSERT_TRUE(eventually([&] { return w->quitAsked.load() == 1; }));
    EXPECT_TRUE(display_test::is_viewable(id));
    w->allowQuit = true;
    thread_id thread = w->Thread();
    display_test::press_close_box(id);
    status_t result;
    EXPECT_EQ(wait_for_thread(thread, &result), B_OK);
    EXPECT_TRUE(eventually([&] { return !display_test::exists(id); }));
}

TEST_F(WindowOnDisplay, ActivateTakesTheFocusFromTheOtherWindow)
{
    auto* first = new ScreenWindow(BRect(100, 100, 299, 199), "First");
    auto* second = new ScreenWindow(BRect(400, 100, 599, 199), "Second");
    unsigned long firstId = ShowOnScreen(first);
    unsigned long secondId = ShowOnScreen(second);
    // Each shown window took the focus in turn.
    ASSERT_TRUE(eventually(first, [&] { return first->activations.size() == 2; }));
    ASSERT_TRUE(eventually(second, [&] { return second->IsActive(); }));
    ASSERT_TRUE(first->Lock());
    first->Activate();
    first->Unlock();
    EXPECT_TRUE(eventually([&] { return display_test::has_focus(firstId); }));
    ASSERT_TRUE(eventually(second, [&] { return !second->IsActive(); }));
    ASSERT_TRUE(first->Lock());
    EXPECT_TRUE(first->IsActive());
    EXPECT_EQ(first->activations, (std::vector<bool>{true, false, true}));
    first->Quit();
    ASSERT_TRUE(second->Lock());
    EXPECT_EQ(second->activations, (std::vector<bool>{true, false}));
    EXPECT_TRUE(display_test::exists(secondId));
    second->Quit();
}
