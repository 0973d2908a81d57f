// The X server goes away under open windows: the program goes on, its
// windows off-screen. A program of its own, as the display is gone for
// good once lost.
#include <gtest/gtest.h>

#include <Display.h>
#include <Message.h>
#include <OS.h>
#include <Screen.h>
#include <Window.h>

#include <atomic>

#include "DisplayTestSupport.h"

using display_test::eventually;

namespace {

class CountingView : public BView {
public:
    CountingView() : BView(BRect(0, 0, 99, 99), "count", B_FOLLOW_ALL, B_WILL_DRAW) {}
    void MouseDown(BPoint) override { presses++; }
    void Draw(BRect) override { draws++; }

    std::atomic<int> presses{0};
    std::atomic<int> draws{0};
};

}  // namespace

TEST(DisplayLoss, WindowsCarryOnOffScreenWhenTheServerEnds)
{
    std::string why;
    if (!display_test::start_display(&why))
        GTEST_SKIP() << why;
    auto* w = new BWindow(BRect(10, 10, 109, 109), "Lost", B_TITLED_WINDOW, 0);
    auto* view = new CountingView();
    w->AddChild(view);
    ASSERT_NE(display_test::show_on_screen(w, false), 0u);

    display_test::stop_display();
    ASSERT_TRUE(eventually([] { return !BPrivate::display_available(); }));

    ASSERT_TRUE(w->Lock());
    w->SetTitle("Still here");
    w->MoveTo(40, 50);
    w->ResizeTo(149, 119);
    w->Hide();
    w->Show();
    w->Activate();
    view->Invalidate();
    w->Unlock();
    BMessage down(B_MOUSE_DOWN);
    down.AddPoint("where", BPoint(5, 5));
    down.AddInt32("buttons", 1);
    down.AddInt32("clicks", 1);
    w->PostMessage(&down);
    ASSERT_TRUE(eventually(w, [&] { return view->presses == 1; }));
    ASSERT_TRUE(w->Lock());
    EXPECT_EQ(w->Frame(), BRect(40, 50, 189, 169));
    EXPECT_GT(view->draws.load(), 0);
    w->Quit();
    // A new window after the loss is off-screen from the start.
    auto* later = new BWindow(BRect(0, 0, 49, 49), "Later", B_TITLED_WINDOW, 0);
    later->Show();
    ASSERT_TRUE(later->Lock());
    EXPECT_EQ(BPrivate::native_window_id(later), 0u);
    later->Quit();
}
