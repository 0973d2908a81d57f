// A menu field's menu pops up in a window of its own; what the user picks
// there is marked and invoked in the field's window.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include <InterfaceDefs.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <Message.h>
#include <OS.h>
#include <PopUpMenu.h>
#include <Window.h>
#include <WindowList.h>

namespace {

enum : uint32 { kFast = 0x66617374, kGood = 0x676F6F64, kBest = 0x62657374 };

bool wait_for(const std::function<bool()>& done)
{
    for (int i = 0; i < 10000 && !done(); i++)
        snooze(1000);
    return done();
}

class Picker : public BView {
public:
    Picker() : BView(BRect(0, 0, 299, 99), "picker", B_FOLLOW_ALL, B_WILL_DRAW)
    {
        auto* menu = new BPopUpMenu("levels");
        menu->AddItem(new BMenuItem("Fast", new BMessage(kFast)));
        menu->AddItem(new BMenuItem("Good", new BMessage(kGood)));
        menu->AddSeparatorItem();
        menu->AddItem(new BMenuItem("Best", new BMessage(kBest)));
        menu->ItemAt(3)->SetEnabled(false);
        menu->ItemAt(0)->SetMarked(true);
        field = new BMenuField(BRect(10, 10, 250, 30), "level", "Level:", menu);
        AddChild(field);
    }
    void AttachedToWindow() override { field->Menu()->SetTargetForItems(this); }
    void MessageReceived(BMessage* message) override { picked.push_back(message->what); }

    BMenuField* field;
    std::vector<uint32> picked;
};

struct Popped {
    BWindow* window = nullptr;
    BRect frame;
};

class MenuTracking : public ::testing::Test {
protected:
    void SetUp() override
    {
        fWindow = new BWindow(BRect(100, 100, 399, 199), "menus", B_TITLED_WINDOW, 0);
        fWindow->AddChild(fPicker = new Picker());
        fWindow->Show();
    }
    void TearDown() override
    {
        if (fWindow->Lock())
            fWindow->Quit();
    }

    // Presses the menu bar and waits for the menu's window.
    Popped Open()
    {
        int32 before = app_private::count_windows();
        Pointer(fWindow, B_MOUSE_DOWN, BPoint(200, 20));
        Pointer(fWindow, B_MOUSE_UP, BPoint(200, 20));
        Popped popped;
        if (!wait_for([&] { return app_private::count_windows() == before + 1; }))
            return popped;
        popped.window = app_private::window_at(before);
        popped.window->Lock();
        popped.frame = popped.window->Frame();
        popped.window->Unlock();
        return popped;
    }
    // The middle of item index, in the menu window's coordinates.
    static BPoint ItemPoint(const Popped& popped, int32 index)
    {
        popped.window->Lock();
        BRect frame = dynamic_cast<BMenu*>(popped.window->ChildAt(0))->ItemAt(index)->Frame();
        popped.window->Unlock();
        return BPoint((frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2);
    }
    static void Pointer(BWindow* window, uint32 what, BPoint where)
    {
        BMessage message(what);
        message.AddPoint("where", where);
        message.AddInt32("buttons", what == B_MOUSE_UP ? 0 : 1);
        message.AddInt32("clicks", 1);
        window->PostMessage(&message);
    }
    static void Key(BWindow* window, int32 key)
    {
        BMessage message(B_KEY_DOWN);
        message.AddString("bytes", std::string(1, char(key)).c_str());
        message.AddInt32("raw_char", key);
        message.AddInt32("key", 0);
        message.AddInt32("modifiers", 0);
        window->PostMessage(&message);
    }
    bool Closed(int32 windows = 1)
    {
        return wait_for([&] { return app_private::count_windows() == windows; });
    }
    const char* Marked()
    {
        fWindow->Lock();
        BMenuItem* marked = fPicker->field->Menu()->FindMarked();
        const char* label = marked != nullptr ? marked->Label() : "";
        fWindow->Unlock();
        return label;
    }

    // The mark and the invocation reach the field's window as messages
    // of their own.
    bool Picked(const char* label)
    {
        return wait_for([&] {
            fWindow->Lock();
            bool invoked = !fPicker->picked.empty();
            fWindow->Unlock();
            return invoked && Marked() == std::string(label);
        });
    }

    BWindow* fWindow;
    Picker* fPicker;
};

TEST_F(MenuTracking, AClickedItemIsMarkedAndInvokedInTheFieldsWindow)
{
    Popped popped = Open();
    ASSERT_NE(popped.window, nullptr) << "no menu popped up";
    // Below the field's bar, in screen coordinates.
    EXPECT_GT(popped.frame.top, 100 + 30 - 10);
    EXPECT_GE(popped.frame.left, 100 + 10);

    Pointer(popped.window, B_MOUSE_DOWN, ItemPoint(popped, 1));
    Pointer(popped.window, B_MOUSE_UP, ItemPoint(popped, 1));
    ASSERT_TRUE(Closed());
    ASSERT_TRUE(Picked("Good"));
    fWindow->Lock();
    EXPECT_EQ(fPicker->picked, std::vector<uint32>{kGood});
    EXPECT_STREQ(fPicker->field->MenuLabel(), "Good");
    fWindow->Unlock();
}

TEST_F(MenuTracking, OutsidePressesEscapeAndDisabledItemsChooseNothing)
{
    Popped popped = Open();
    ASSERT_NE(popped.window, nullptr);
    // A disabled item and the separator do not close the menu.
    Pointer(popped.window, B_MOUSE_UP, ItemPoint(popped, 3));
    Pointer(popped.window, B_MOUSE_UP, ItemPoint(popped, 2));
    Pointer(popped.window, B_MOUSE_DOWN, BPoint(-5, -5));
    ASSERT_TRUE(Closed());

    popped = Open();
    ASSERT_NE(popped.window, nullptr);
    Key(popped.window, B_ESCAPE);
    ASSERT_TRUE(Closed());
    EXPECT_STREQ(Marked(), "Fast");

    // The keys: down twice skips nothing enabled, Enter picks.
    popped = Open();
    ASSERT_NE(popped.window, nullptr);
    Key(popped.window, B_DOWN_ARROW);
    Key(popped.window, B_DOWN_ARROW);
    Key(popped.window, B_DOWN_ARROW);   // the separator and "Best" are passed over
    Key(popped.window, B_ENTER);
    ASSERT_TRUE(Closed());
    ASSERT_TRUE(Picked("Good"));
    fWindow->Lock();
    EXPECT_EQ(fPicker->picked, std::vector<uint32>{kGood});
    fWindow->Unlock();
}

}  // namespace
