#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <thread>

#include <Alert.h>
#include <Button.h>
#include <Invoker.h>

#include "ToolkitTestSupport.h"

using namespace toolkit_test;

namespace {

// Makes an alert and runs its Go on a thread of its own (an alert is
// locked by the thread that makes it until it runs); the test speaks to
// it through a messenger (the alert deletes itself at the end).
class Running {
public:
    explicit Running(std::function<BAlert*()> make)
    {
        std::promise<BAlert*> made;
        std::future<BAlert*> alert = made.get_future();
        fThread = std::thread([&made, make, this] {
            BAlert* a = make();
            made.set_value(a);
            fResult = a->Go();
        });
        fAlert = alert.get();
        fMessenger = BMessenger(nullptr, fAlert);
    }
    // Valid until a button is pressed.
    BAlert* Alert() const { return fAlert; }
    void Type(char c, int32 modifiers = 0)
    {
        BMessage m = key(c, modifiers);
        fMessenger.SendMessage(&m);
    }
    void Send(BMessage m) { fMessenger.SendMessage(&m); }
    int32 Result()
    {
        fThread.join();
        return fResult;
    }

private:
    BAlert* fAlert;
    BMessenger fMessenger;
    std::thread fThread;
    int32 fResult = -2;
};

BAlert* three_buttons(button_width width = B_WIDTH_AS_USUAL)
{
    auto* alert = new BAlert("Question", "Save the changes?", "Cancel", "Don't save",
        "Save", width, B_WARNING_ALERT);
    alert->SetShortcut(0, B_ESCAPE);
    alert->SetShortcut(1, 'd');
    return alert;
}

}  // namespace

TEST(Alert, ShortcutKeysPressTheirButton)
{
    Running letter([] { return three_buttons(); });
    letter.Type('x');  // no button's key: ignored
    letter.Type('D');  // letters in either case
    EXPECT_EQ(letter.Result(), 1);

    Running escape([] { return three_buttons(); });
    escape.Type(B_ESCAPE);
    EXPECT_EQ(escape.Result(), 0);

    Running enter([] { return three_buttons(); });
    enter.Type(B_ENTER);  // the last button is the default one
    EXPECT_EQ(enter.Result(), 2);
}

TEST(Alert, AClickedButtonEndsIt)
{
    Running running([] { return three_buttons(); });
    // Clicked with the pointer, as the display would post it.
    BButton* button = running.Alert()->ButtonAt(1);
    BPoint where = button->ConvertToWindow(BPoint(5, 5));
    running.Send(mouse(B_MOUSE_DOWN, where, 1));
    running.Send(mouse(B_MOUSE_UP, where, 0));
    EXPECT_EQ(running.Result(), 1);
}

TEST(Alert, ACloseRequestCountsAsEscape)
{
    Running withEscape([] { return three_buttons(); });
    withEscape.Send(BMessage(B_QUIT_REQUESTED));
    EXPECT_EQ(withEscape.Result(), 0);

    Running without([] { return new BAlert("Note", "Done.", "OK"); });
    without.Send(BMessage(B_QUIT_REQUESTED));
    EXPECT_EQ(without.Result(), -1);
}

TEST(Alert, ButtonsStandRightAlignedInOrder)
{
    BAlert* usual = three_buttons();
    EXPECT_EQ(usual->CountButtons(), 3);
    EXPECT_EQ(usual->ButtonAt(3), nullptr);
    EXPECT_EQ(usual->Shortcut(0), B_ESCAPE);
    EXPECT_EQ(usual->Shortcut(2), 0);
    EXPECT_STREQ(usual->Text(), "Save the changes?");
    BRect frames[3];
    for (int i = 0; i < 3; i++) {
        frames[i] = usual->ButtonAt(i)->ConvertToWindow(usual->ButtonAt(i)->Bounds());
        EXPECT_GE(frames[i].Width() + 1, 75);
    }
    EXPECT_LT(frames[0].right, frames[1].left);
    EXPECT_LT(frames[1].right, frames[2].left);
    EXPECT_EQ(frames[2].right, usual->Bounds().right - 10);
    EXPECT_TRUE(usual->ButtonAt(2)->IsDefault());
    usual->Quit();

    BAlert* widest = three_buttons(B_WIDTH_FROM_WIDEST);
    EXPECT_EQ(widest->ButtonAt(0)->Bounds(), widest->ButtonAt(1)->Bounds());
    EXPECT_EQ(widest->ButtonAt(2)->Bounds(), widest->ButtonAt(1)->Bounds());
    widest->Quit();

    // Long text wraps and makes the alert taller, not wider.
    BAlert* shortText = new BAlert("t", "One line.", "OK");
    std::string words;
    for (int i = 0; i < 60; i++)
        words += "word ";
    BAlert* longText = new BAlert("t", words.c_str(), "OK");
    EXPECT_EQ(longText->Bounds().Width(), shortText->Bounds().Width());
    EXPECT_GT(longText->Bounds().Height(), shortText->Bounds().Height());
    shortText->Quit();
    longText->Quit();
}

TEST(Alert, GoWithAnInvokerReturnsAtOnceAndReportsTheButton)
{
    struct Catcher : BWindow {
        Catcher() : BWindow(BRect(0, 0, 9, 9), "catcher", B_TITLED_WINDOW, 0) { watch(this); }
        void MessageReceived(BMessage* message) override
        {
            if (message->what == 0x616E7377)
                message->FindInt32("which", &which);
        }
        int32 which = -1;
    };
    auto* catcher = new Catcher();
    catcher->Show();
    // Made, locked and run by a thread of its own, as Go(invoker) is
    // meant to be used from a window's thread.
    BMessenger messenger;
    std::thread asking([&] {
        BAlert* alert = three_buttons();
        messenger = BMessenger(nullptr, alert);
        auto* answer = new BMessage(0x616E7377);
        answer->AddInt32("which", 99);  // replaced
        EXPECT_EQ(alert->Go(new BInvoker(answer, BMessenger(catcher))), B_OK);
    });
    asking.join();
    BMessage d = key('d');
    messenger.SendMessage(&d);
    // The alert quits after sending, so once it is gone the answer has
    // been sent; the catcher then sees it before the second marker.
    for (int i = 0; i < 100000 && messenger.IsValid(); i++)
        snooze(1000);
    ASSERT_FALSE(messenger.IsValid());
    settle(catcher);
    ASSERT_TRUE(catcher->Lock());
    EXPECT_EQ(catcher->which, 1);
    catcher->Quit();
}
