#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <Button.h>
#include <CheckBox.h>
#include <OS.h>
#include <Screen.h>
#include <TextControl.h>

#include "GUIBase.h"
#include "LanguageChangedFilter.h"
#include "ToolkitTestSupport.h"

using namespace toolkit_test;

namespace {

// Writes down every gesture hook it gets.
class GestureView : public TBasicView {
public:
    GestureView(BRect frame) : TBasicView(frame, "gestures", B_FOLLOW_NONE, B_WILL_DRAW) {}

    void MouseClickLeftDouble(BPoint p) override { Note("ClickLeftDouble", p); }
    void MouseClickLeftSingle(BPoint p) override { Note("ClickLeftSingle", p); }
    void MouseClickRightDouble(BPoint p) override { Note("ClickRightDouble", p); }
    void MouseClickRightSingle(BPoint p) override { Note("ClickRightSingle", p); }
    void MouseDownLeft(BPoint p) override { Note("DownLeft", p); }
    void MouseDownRight(BPoint p) override { Note("DownRight", p); }
    void MouseDragLeft(BPoint p) override { Note("DragLeft", p); }
    void MouseDragRight(BPoint p) override { Note("DragRight", p); }

    std::vector<std::string> log;

private:
    void Note(const char* hook, BPoint p) { log.push_back(std::string(hook) + " " + point(p)); }
};

class GestureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = new BWindow(BRect(0, 0, 199, 199), "gestures", B_TITLED_WINDOW, 0);
        view = new GestureView(BRect(0, 0, 99, 99));
        window->AddChild(view);
        watch(window);
        window->Show();
    }
    void TearDown() override
    {
        if (window->Lock())
            window->Quit();
    }

    void Press(BPoint where, int32 buttons, int32 clicks = 1)
    {
        post(window, mouse(B_MOUSE_DOWN, where, buttons, clicks));
    }
    void Move(BPoint where, int32 buttons = 1) { post(window, mouse(B_MOUSE_MOVED, where, buttons)); }
    void Release(BPoint where) { post(window, mouse(B_MOUSE_UP, where, 0)); }
    void Click(BPoint where, int32 buttons, int32 clicks)
    {
        Press(where, buttons, clicks);
        Release(where);
    }
    std::vector<std::string> Log()
    {
        settle(window);
        window->Lock();
        std::vector<std::string> copy = view->log;
        window->Unlock();
        return copy;
    }

    BWindow* window;
    GestureView* view;
};

}  // namespace

TEST_F(GestureTest, AMovementOfExactlyTheThresholdIsStillAClick)
{
    Press(BPoint(10, 10), 1);
    Move(BPoint(13, 11));  // 3 * 3 + 1 * 1 = 10
    Release(BPoint(13, 11));
    EXPECT_EQ(Log(), (std::vector<std::string>{"DownLeft 10.00,10.00", "ClickLeftSingle 13.00,11.00"}));
}

TEST_F(GestureTest, ADragIsReportedOncePerPressAndEndsWithoutAClick)
{
    Press(BPoint(10, 10), 1);
    Move(BPoint(13, 11.005f));  // 10.01
    Move(BPoint(150, 40));      // outside the view, which still holds the pointer
    Move(BPoint(160, 50));
    Release(BPoint(160, 50));
    // The next press starts over.
    Press(BPoint(20, 20), 2);
    Move(BPoint(20, 24));
    Release(BPoint(20, 24));
    EXPECT_EQ(Log(), (std::vector<std::string>{"DownLeft 10.00,10.00", "DragLeft 13.00,11.01",
                         "DownRight 20.00,20.00", "DragRight 20.00,24.00"}));
}

TEST_F(GestureTest, DoubleTripleAndFourthClicks)
{
    Click(BPoint(5, 5), 2, 1);
    Click(BPoint(6, 6), 2, 2);
    Click(BPoint(1, 1), 1, 1);
    Click(BPoint(2, 2), 1, 2);
    Click(BPoint(3, 3), 1, 3);  // a triple click: nothing
    Click(BPoint(4, 4), 1, 4);  // counts as a first click again
    EXPECT_EQ(Log(), (std::vector<std::string>{"DownRight 5.00,5.00", "ClickRightSingle 5.00,5.00",
                         "ClickRightDouble 6.00,6.00", "DownLeft 1.00,1.00",
                         "ClickLeftSingle 1.00,1.00", "ClickLeftDouble 2.00,2.00",
                         "DownLeft 4.00,4.00", "ClickLeftSingle 4.00,4.00"}));
}

TEST_F(GestureTest, OtherButtonsAndStrayReleasesCallNoHook)
{
    Release(BPoint(3, 3));  // no press under way
    Press(BPoint(10, 10), 3);
    Move(BPoint(40, 40), 3);
    Release(BPoint(40, 40));
    Press(BPoint(10, 10), 4);
    Release(BPoint(10, 10));
    // The drag the two-button press made is forgotten with its release.
    Click(BPoint(30, 30), 1, 1);
    EXPECT_EQ(Log(), (std::vector<std::string>{"DownLeft 30.00,30.00", "ClickLeftSingle 30.00,30.00"}));
}

TEST_F(GestureTest, TheClickHookGetsTheReleasePoint)
{
    Press(BPoint(10, 10), 1);
    Move(BPoint(12, 12));  // 8: below the threshold
    Release(BPoint(11, 13));
    EXPECT_EQ(Log(), (std::vector<std::string>{"DownLeft 10.00,10.00", "ClickLeftSingle 11.00,13.00"}));
}

// ---------------------------------------------------------------------------
// Placement

namespace {

class PlacementTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        BPrivate::set_offscreen_screen_frame(BRect(0, 0, 1919, 1199));
        window = new TBasicWindow(BRect(50, 50, 249, 149), "placed", B_TITLED_WINDOW, 0);
    }
    void TearDown() override
    {
        window->Quit();  // never ran: deleted at once
        BPrivate::set_offscreen_screen_frame(BRect(0, 0, 1919, 1199));
    }

    TBasicWindow* window;
};

}  // namespace

TEST_F(PlacementTest, MovesKeepTheWindowOnScreenWithAMargin)
{
    ASSERT_EQ(BScreen(B_MAIN_SCREEN_ID).Frame(), BRect(0, 0, 1919, 1199));
    ASSERT_EQ(window->Bounds(), BRect(0, 0, 199, 99));
    EXPECT_EQ(window->IntelligentMoveTo(BPoint(1900, 1150)), BPoint(1715, 1095));
    EXPECT_EQ(window->Frame().LeftTop(), BPoint(1715, 1095));
    EXPECT_EQ(window->IntelligentMoveTo(BPoint(-40, 20)), BPoint(0, 20));
    EXPECT_EQ(window->Frame().LeftTop(), BPoint(0, 20));
    EXPECT_EQ(window->IntelligentMoveTo(BPoint(300, 400)), BPoint(300, 400));
    // Just fits: 1714 + 199 = 1913 is not beyond 1914.
    EXPECT_EQ(window->IntelligentMoveTo(BPoint(1715, 1095)), BPoint(1715, 1095));
}

TEST_F(PlacementTest, CentresOnTheScreen)
{
    EXPECT_EQ(window->IntelligentCentering(), BPoint(860, 550));
    EXPECT_EQ(window->Frame().LeftTop(), BPoint(860, 550));
}

TEST_F(PlacementTest, AWindowLargerThanTheScreen)
{
    BPrivate::set_offscreen_screen_frame(BRect(0, 0, 639, 479));
    window->ResizeTo(799, 599);
    // Clamped to the corner, not 5 pixels in.
    EXPECT_EQ(window->IntelligentMoveTo(BPoint(100, 100)), BPoint(0, 0));
    // Centring does not clamp.
    EXPECT_EQ(window->IntelligentCentering(), BPoint(-80, -60));
}

// ---------------------------------------------------------------------------
// Closing, showing again, priorities

namespace {

int32 priority_of(thread_id thread)
{
    thread_info info;
    return get_thread_info(thread, &info) == B_OK ? info.priority : -1;
}

}  // namespace

TEST(BasicWindow, TheCloseBoxHidesAndADirectRequestAgrees)
{
    auto* window = new TDialogWindow(BRect(0, 0, 99, 99), "closing", B_TITLED_WINDOW, 0);
    auto* box = new BCheckBox(BRect(5, 5, 90, 20), "box", "Keep", nullptr);
    window->AddChild(box);
    watch(window);
    window->Appear();
    ASSERT_TRUE(window->Lock());
    EXPECT_FALSE(window->IsHidden());
    box->SetValue(1);
    window->Unlock();

    window->PostMessage(B_QUIT_REQUESTED);
    settle(window);
    ASSERT_TRUE(window->Lock());
    EXPECT_TRUE(window->IsHidden());
    // Asked directly (no message being handled), it agrees.
    EXPECT_TRUE(window->QuitRequested());
    EXPECT_TRUE(window->IsHidden());

    // A second close request leaves a hidden window hidden (Hide does not
    // nest deeper), and Appear shows it again as it was.
    window->Unlock();
    window->PostMessage(B_QUIT_REQUESTED);
    settle(window);
    ASSERT_TRUE(window->Lock());
    window->Appear();
    EXPECT_FALSE(window->IsHidden());
    EXPECT_EQ(box->Value(), 1);
    window->Appear();  // visible: only brought to the front
    EXPECT_FALSE(window->IsHidden());
    EXPECT_TRUE(window->IsActive());
    window->Quit();
}

TEST(DialogWindow, ShowRaisesTheThreadAndHideLowersIt)
{
    auto* window = new TDialogWindow(BRect(0, 0, 99, 99), "priority", B_TITLED_WINDOW, 0);
    window->Show();
    ASSERT_TRUE(window->Lock());
    thread_id thread = window->Thread();
    EXPECT_EQ(priority_of(thread), B_DISPLAY_PRIORITY);
    window->Hide();
    EXPECT_EQ(priority_of(thread), B_LOW_PRIORITY);
    window->Show();
    EXPECT_EQ(priority_of(thread), B_DISPLAY_PRIORITY);
    window->Quit();
}

// ---------------------------------------------------------------------------
// Language changes

namespace {

class RelabellingView : public TBasicView {
public:
    RelabellingView(const char* name, bool listens)
        : TBasicView(BRect(0, 0, 20, 20), name, B_FOLLOW_NONE, 0), fListens(listens)
    {
    }
    void AttachedToWindow() override
    {
        if (fListens)
            Window()->AddCommonFilter(new TLanguageChangedFilter(BMessenger(this)));
    }
    void LanguageChanged() override { changes++; }
    int changes = 0;

private:
    bool fListens;
};

class RelabellingWindow : public TDialogWindow {
public:
    RelabellingWindow() : TDialogWindow(BRect(0, 0, 99, 99), "language", B_TITLED_WINDOW, 0) {}
    void LanguageChanged() override { changes++; }
    int changes = 0;
};

}  // namespace

TEST(LanguageRelay, EveryListeningViewAndTheWindowHearOnce)
{
    auto* window = new RelabellingWindow();
    auto* top = new RelabellingView("top", true);
    auto* inner = new RelabellingView("inner", true);
    auto* deaf = new RelabellingView("deaf", false);
    window->AddChild(top);
    top->AddChild(inner);
    window->AddChild(deaf);
    watch(window);
    window->Show();

    window->PostMessage(kMsgLanguageChanged);
    settle(window);
    ASSERT_TRUE(window->Lock());
    EXPECT_EQ(window->changes, 1);
    EXPECT_EQ(top->changes, 1);
    EXPECT_EQ(inner->changes, 1);
    EXPECT_EQ(deaf->changes, 0);
    window->Unlock();

    window->PostMessage(kMsgLanguageChanged);
    settle(window);
    ASSERT_TRUE(window->Lock());
    EXPECT_EQ(window->changes, 2);
    EXPECT_EQ(top->changes, 2);
    EXPECT_EQ(inner->changes, 2);
    window->Quit();
}

TEST(LanguageRelay, AMarkedCopyIsNotRelayedAgain)
{
    auto* window = new RelabellingWindow();
    auto* view = new RelabellingView("view", true);
    window->AddChild(view);
    watch(window);
    window->Show();
    BMessage relayed(kMsgLanguageChanged);
    relayed.AddBool("LFSendFlag", true);
    window->PostMessage(&relayed);
    settle(window);
    ASSERT_TRUE(window->Lock());
    EXPECT_EQ(window->changes, 1);
    EXPECT_EQ(view->changes, 0);
    window->Quit();
}

// ---------------------------------------------------------------------------
// The dialog window's own message

namespace {

class Recorder : public BWindow {
public:
    Recorder() : BWindow(BRect(0, 0, 9, 9), "recorder", B_TITLED_WINDOW, 0) { watch(this); }
    void MessageReceived(BMessage* message) override
    {
        int32 tag = -1;
        message->FindInt32("tag", &tag);
        received.push_back(tag);
    }
    std::vector<int32> Received()
    {
        settle(this);
        Lock();
        std::vector<int32> copy = received;
        Unlock();
        return copy;
    }
    std::vector<int32> received;
};

BMessage* tagged(int32 tag)
{
    auto* m = new BMessage(0x74616767);
    m->AddInt32("tag", tag);
    return m;
}

}  // namespace

TEST(DialogWindow, InvokeSendsTheGivenOrTheHeldMessage)
{
    auto* recorder = new Recorder();
    recorder->Show();
    auto* window = new TDialogWindow(BRect(0, 0, 99, 99), "invoking", B_TITLED_WINDOW, 0);
    EXPECT_FALSE(window->Target().IsValid());
    EXPECT_EQ(window->Message(), nullptr);
    EXPECT_EQ(window->Invoke(), B_BAD_VALUE);  // nothing to send

    window->SetTarget(BMessenger(recorder));
    EXPECT_EQ(window->Target(), BMessenger(recorder));
    EXPECT_EQ(window->SetMessage(tagged(1)), B_OK);
    EXPECT_EQ(window->SetMessage(tagged(2)), B_OK);  // the first one is deleted
    BMessage* held = window->Message();
    EXPECT_EQ(window->Invoke(), B_OK);
    std::unique_ptr<BMessage> given(tagged(3));
    EXPECT_EQ(window->Invoke(given.get()), B_OK);
    EXPECT_EQ(window->Invoke(given.get()), B_OK);  // not consumed
    EXPECT_EQ(window->Message(), held);
    EXPECT_EQ(recorder->Received(), (std::vector<int32>{2, 3, 3}));

    window->SetTarget(BMessenger());
    EXPECT_NE(window->Invoke(), B_OK);
    window->Quit();
    recorder->Lock();
    recorder->Quit();
}

TEST(DialogView, SetTargetToThisReachesEveryControlBelow)
{
    auto* window = new TDialogWindow(BRect(0, 0, 199, 199), "targets", B_TITLED_WINDOW, 0);
    auto* dialog = new TDialogView(BRect(0, 0, 199, 199), "dialog", B_FOLLOW_ALL, B_WILL_DRAW);
    EXPECT_EQ(dialog->ViewColor(), ui_color(B_PANEL_BACKGROUND_COLOR));
    auto* group = new BView(BRect(0, 0, 100, 100), "group", B_FOLLOW_NONE, 0);
    auto* button = new BButton(BRect(0, 0, 50, 20), "button", "OK", nullptr);
    auto* box = new BCheckBox(BRect(0, 30, 50, 45), "box", "Box", nullptr);
    auto* text = new BTextControl(BRect(0, 50, 90, 70), "text", "Name", "", nullptr);
    auto* other = new BButton(BRect(110, 0, 150, 20), "other", "Other", nullptr);
    group->AddChild(button);
    group->AddChild(box);
    box->AddChild(text);  // controls below controls are reached too
    dialog->AddChild(group);
    dialog->AddChild(other);
    window->AddChild(dialog);
    dialog->SetTargetToThis(group);
    dialog->SetTargetToThis(nullptr);
    EXPECT_EQ(button->Target(), dialog);
    EXPECT_EQ(box->Target(), dialog);
    EXPECT_EQ(text->Target(), dialog);
    EXPECT_NE(other->Target(), dialog);
    window->Quit();
}
