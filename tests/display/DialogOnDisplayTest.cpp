// A dialog window of the toolkit on a real X server: real clicks, drags
// and keys reach the gesture hooks, the shortcut routing and the controls.
#include <gtest/gtest.h>

#include <Button.h>
#include <CheckBox.h>
#include <GUIBase.h>
#include <LanguageChangedFilter.h>
#include <Locale.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <Message.h>
#include <OS.h>
#include <PopUpMenu.h>
#include <TestSupport.h>
#include <TextControl.h>

#include <cmath>
#include <string>
#include <vector>

#include "DisplayTestSupport.h"

using display_test::eventually;
using display_test::xdotool;

namespace {

enum : uint32 {
    kMsgSave = 0x73617665,     // 'save'
    kMsgOK = 0x6F6B6179,       // 'okay'
    kMsgCancel = 0x636E636C,   // 'cncl'
    kMsgLoop = 0x6C6F6F70,     // 'loop'
    kMsgName = 0x6E616D65,     // 'name'
};

std::string at(BPoint p)
{
    return std::to_string(int(std::lround(p.x))) + "," + std::to_string(int(std::lround(p.y)));
}

// The dialog's top view: writes down the gesture hooks, the shortcut keys
// and the controls' messages. Escape clicks Cancel, as dialogs add keys of
// their own.
class DialogView : public TDialogView {
public:
    DialogView() : TDialogView(BRect(0, 0, 299, 199), "dialog", B_FOLLOW_ALL, B_WILL_DRAW)
    {
        save = new BButton(BRect(10, 10, 90, 34), "save", "Save(S)", new BMessage(kMsgSave));
        ok = new BButton(BRect(100, 10, 180, 34), "ok", "OK", new BMessage(kMsgOK));
        cancel = new BButton(BRect(190, 10, 270, 34), "cancel", "Cancel", new BMessage(kMsgCancel));
        loop = new BCheckBox(BRect(10, 50, 150, 70), "loop", "Loop(L)", new BMessage(kMsgLoop));
        auto* menu = new BPopUpMenu("modes");
        menu->AddItem(new BMenuItem("Fast", new BMessage(0x66617374)));
        menu->AddItem(new BMenuItem("Good", new BMessage(0x676F6F64)));
        menu->ItemAt(0)->SetMarked(true);
        mode = new BMenuField(BRect(10, 80, 200, 100), "mode", "Mode(M)", menu);
        name = new BTextControl(BRect(10, 110, 250, 130), "name", "Name(N)", "",
            new BMessage(kMsgName));
        for (BView* child : std::vector<BView*>{save, ok, cancel, loop, mode, name})
            AddChild(child);
    }
    void AllAttached() override
    {
        TDialogView::AllAttached();
        SetTargetToThis(this);
        Window()->SetDefaultButton(ok);
    }
    void MessageReceived(BMessage* message) override
    {
        switch (message->what) {
            case kMsgSave: log.push_back("Save"); break;
            case kMsgOK: log.push_back("OK"); break;
            case kMsgCancel: log.push_back("Cancel"); break;
            case kMsgLoop: log.push_back("Loop " + std::to_string(loop->Value())); break;
            default: TDialogView::MessageReceived(message); break;
        }
    }
    void ShortCutDown(int32 rawChar, int32 key) const override
    {
        log.push_back("shortcut " + std::to_string(rawChar) + " " + std::to_string(key));
        if (rawChar == B_ESCAPE)
            cancel->Invoke();
        else
            TDialogView::ShortCutDown(rawChar, key);
    }
    void MouseDownLeft(BPoint p) override { log.push_back("DownLeft " + at(p)); }
    void MouseDownRight(BPoint p) override { log.push_back("DownRight " + at(p)); }
    void MouseClickLeftSingle(BPoint p) override { log.push_back("LeftSingle " + at(p)); }
    void MouseClickLeftDouble(BPoint p) override { log.push_back("LeftDouble " + at(p)); }
    void MouseClickRightSingle(BPoint p) override { log.push_back("RightSingle " + at(p)); }
    void MouseClickRightDouble(BPoint p) override { log.push_back("RightDouble " + at(p)); }
    void MouseDragLeft(BPoint p) override { log.push_back("DragLeft " + at(p)); }
    void MouseDragRight(BPoint p) override { log.push_back("DragRight " + at(p)); }

    size_t Count(const std::string& entry) const
    {
        size_t n = 0;
        for (const std::string& e : log)
            n += e == entry;
        return n;
    }

    BButton* save;
    BButton* ok;
    BButton* cancel;
    BCheckBox* loop;
    BMenuField* mode;
    BTextControl* name;
    mutable std::vector<std::string> log;
};

class DialogOnDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!display_test::start_display(&why))
            GTEST_SKIP() << why;
        // Every gesture starts elsewhere or with another button: a longer
        // click interval keeps the double click one on a busy machine.
        get_click_speed(&clickSpeed);
        set_click_speed(2000000);
        window = new TDialogWindow(BRect(200, 150, 499, 349), "Dialog", B_TITLED_WINDOW,
            B_NOT_RESIZABLE);
        view = new DialogView();
        window->AddChild(view);
        id = display_test::show_on_screen(window);
        ASSERT_NE(id, 0u) << "the dialog never came on screen with the focus";
    }
    void TearDown() override
    {
        if (window != nullptr && window->Lock())
            window->Quit();
        if (clickSpeed > 0)
            set_click_speed(clickSpeed);
    }

    // Waits until the log holds at least n entries, then returns it.
    std::vector<std::string> LogOf(size_t n)
    {
        EXPECT_TRUE(eventually(window, [&] { return view->log.size() >= n; }));
        std::vector<std::string> log;
        if (window->Lock()) {
            log = view->log;
            view->log.clear();
            window->Unlock();
        }
        return log;
    }

    std::string Id() const { return std::to_string(id); }

    TDialogWindow* window = nullptr;
    DialogView* view = nullptr;
    unsigned long id = 0;
    bigtime_t clickSpeed = 0;
};

}  // namespace

TEST_F(DialogOnDisplay, ClicksDoubleClicksAndDragsReachTheGestureHooks)
{
    // An empty part of the dialog view, below the controls.
    ASSERT_TRUE(xdotool({"mousemove", "--window", Id(), "--sync", "40", "160", "click", "1"}));
    EXPECT_EQ(LogOf(2), (std::vector<std::string>{"DownLeft 40,160", "LeftSingle 40,160"}));
    ASSERT_TRUE(xdotool({"mousemove", "--window", Id(), "--sync", "120", "160", "click",
        "--repeat", "2", "--delay", "80", "1"}));
    EXPECT_EQ(LogOf(3), (std::vector<std::string>{"DownLeft 120,160", "LeftSingle 120,160",
                            "LeftDouble 120,160"}));
    ASSERT_TRUE(xdotool({"mousemove", "--window", Id(), "--sync", "200", "160", "click", "3"}));
    EXPECT_EQ(LogOf(2), (std::vector<std::string>{"DownRight 200,160", "RightSingle 200,160"}));
    // A drag that leaves the window: one drag hook, no click.
    ASSERT_TRUE(xdotool({"mousemove", "--window", Id(), "--sync", "40", "170", "mousedown", "1"}));
    ASSERT_TRUE(xdotool({"mousemove", "--window", Id(), "--sync", "60", "180"}));
    ASSERT_TRUE(xdotool({"mousemove", "--window", Id(), "--sync", "350", "250", "mouseup", "1"}));
    ASSERT_TRUE(xdotool({"mousemove", "--window", Id(), "--sync", "250", "185", "click", "1"}));
    EXPECT_EQ(LogOf(4), (std::vector<std::string>{"DownLeft 40,170", "DragLeft 60,180",
                            "DownLeft 250,185", "LeftSingle 250,185"}));
    // A click on a button invokes it.
    ASSERT_TRUE(xdotool({"mousemove", "--window", Id(), "--sync", "50", "20", "click", "1"}));
    EXPECT_EQ(LogOf(1), std::vector<std::string>{"Save"});
}

TEST_F(DialogOnDisplay, ControlLettersActOnTheControlThatCarriesThem)
{
    ASSERT_TRUE(xdotool({"key", "ctrl+s"}));
    EXPECT_EQ(LogOf(2), (std::vector<std::string>{"shortcut 115 61", "Save"}));
    ASSERT_TRUE(xdotool({"key", "ctrl+l"}));
    EXPECT_EQ(LogOf(2), (std::vector<std::string>{"shortcut 108 68", "Loop 1"}));
    ASSERT_TRUE(xdotool({"key", "ctrl+m"}));
    EXPECT_EQ(LogOf(1), (std::vector<std::string>{"shortcut 109 82"}));
    ASSERT_TRUE(eventually(window, [&] { return window->CurrentFocus() == view->mode
        || view->mode->IsFocus(); }));
    // Control+n focuses the text field; plain letters are typed into it.
    ASSERT_TRUE(xdotool({"key", "ctrl+n", "a", "b"}));
    ASSERT_TRUE(eventually(window, [&] { return std::string(view->name->Text()) == "ab"; }));
    EXPECT_EQ(LogOf(1), (std::vector<std::string>{"shortcut 110 81"}));
}

TEST_F(DialogOnDisplay, EnterClicksTheFocusedOrTheDefaultButtonAndEscapeCancels)
{
    ASSERT_TRUE(window->Lock());
    view->name->MakeFocus();
    window->Unlock();
    ASSERT_TRUE(xdotool({"key", "Return"}));
    EXPECT_EQ(LogOf(2), (std::vector<std::string>{"shortcut 10 71", "OK"}));
    ASSERT_TRUE(window->Lock());
    view->save->MakeFocus();
    window->Unlock();
    ASSERT_TRUE(xdotool({"key", "Return"}));
    EXPECT_EQ(LogOf(2), (std::vector<std::string>{"shortcut 10 71", "Save"}));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    EXPECT_EQ(LogOf(2), (std::vector<std::string>{"shortcut 27 1", "Cancel"}));
    ASSERT_TRUE(xdotool({"key", "F3"}));
    EXPECT_EQ(LogOf(1), (std::vector<std::string>{"shortcut 16 4"}));
}

TEST_F(DialogOnDisplay, TheCloseBoxHidesTheWindowAndAppearShowsItAgain)
{
    thread_info info;
    ASSERT_EQ(get_thread_info(window->Thread(), &info), B_OK);
    EXPECT_EQ(info.priority, B_DISPLAY_PRIORITY);
    display_test::press_close_box(id);
    ASSERT_TRUE(eventually(window, [&] { return window->IsHidden(); }));
    EXPECT_TRUE(eventually([&] { return !display_test::is_viewable(id); }));
    ASSERT_EQ(get_thread_info(window->Thread(), &info), B_OK);
    EXPECT_EQ(info.priority, B_LOW_PRIORITY);
    ASSERT_TRUE(window->Lock());
    window->Appear();
    window->Unlock();
    EXPECT_TRUE(eventually([&] { return display_test::is_viewable(id); }));
    ASSERT_TRUE(window->Lock());
    EXPECT_EQ(view->loop->Value(), 0);   // the same window, as it was
    window->Unlock();
}
