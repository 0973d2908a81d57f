#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <Box.h>
#include <Button.h>
#include <CheckBox.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <PopUpMenu.h>
#include <RadioButton.h>
#include <TextControl.h>

#include "GUIBase.h"
#include "ShortCutFilter.h"
#include "ToolkitTestSupport.h"

using namespace toolkit_test;

namespace {

const uint32 kMsgControl = 0x63746C21;

// The dialog's top view: the controls' target, writing down which of them
// sent what.
class Panel : public TDialogView {
public:
    Panel() : TDialogView(BRect(0, 0, 299, 199), "panel", B_FOLLOW_ALL, B_WILL_DRAW) {}
    void MessageReceived(BMessage* message) override
    {
        if (message->what != kMsgControl) {
            TDialogView::MessageReceived(message);
            return;
        }
        void* source = nullptr;
        message->FindPointer("source", &source);
        BView* view = static_cast<BView*>(source);
        sent.push_back(view != nullptr ? view->Name() : "?");
    }
    std::vector<std::string> sent;
};

BMessage* note()
{
    return new BMessage(kMsgControl);
}

class ShortCutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = new TDialogWindow(BRect(0, 0, 299, 199), "dialog", B_TITLED_WINDOW, 0);
        panel = new Panel();
        // A frame first, with a button inside: it comes before every
        // control after the frame in the search.
        auto* frame = new BBox(BRect(0, 0, 140, 60), "frame");
        go = new BButton(BRect(5, 5, 80, 27), "go", "Go(G)", note());
        frame->AddChild(go);
        panel->AddChild(frame);
        grid = new BCheckBox(BRect(150, 0, 290, 15), "grid", "Grid(G)", note());
        show = new BCheckBox(BRect(150, 20, 290, 35), "show", "S) Show", note());
        start = new BButton(BRect(150, 40, 230, 62), "start", "S Start", note());
        mono = new BRadioButton(BRect(0, 70, 100, 85), "mono", "Mono(M)", note());
        stereo = new BRadioButton(BRect(0, 90, 100, 105), "stereo", "Stereo(T)", note());
        name = new BTextControl(BRect(0, 110, 200, 130), "name", "Name(N)", "", note());
        auto* menu = new BPopUpMenu("Format");
        menu->AddItem(new BMenuItem("APE", nullptr));
        format = new BMenuField(BRect(0, 140, 200, 160), "format", "Format(F)", menu);
        ok = new BButton(BRect(210, 160, 290, 182), "ok", "OK", note());
        for (BView* v : std::vector<BView*>{grid, show, start, mono, stereo, name, format, ok})
            panel->AddChild(v);
        window->AddChild(panel);
        panel->SetTargetToThis(panel);
        ok->MakeDefault(true);
        watch(window);
        window->Show();
    }
    void TearDown() override
    {
        if (window->Lock())
            window->Quit();
    }

    // What the controls sent; the window stays locked until Done.
    std::vector<std::string> Sent()
    {
        settle(window);
        window->Lock();
        return panel->sent;
    }
    void Done() { window->Unlock(); }
    void Focus(BView* view)
    {
        window->Lock();
        view->MakeFocus(true);
        window->Unlock();
    }

    TDialogWindow* window;
    Panel* panel;
    BButton* go;
    BCheckBox* grid;
    BCheckBox* show;
    BButton* start;
    BRadioButton* mono;
    BRadioButton* stereo;
    BTextControl* name;
    BMenuField* format;
    BButton* ok;
};

}  // namespace

TEST_F(ShortCutTest, ControlLetterTogglesACheckBoxAndIgnoresShift)
{
    type(window, 's', B_CONTROL_KEY);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"show"}));
    EXPECT_EQ(show->Value(), 1);
    EXPECT_EQ(window->CurrentFocus(), show);
    EXPECT_EQ(start->Value(), 0);
    Done();
    type(window, 's', B_CONTROL_KEY | B_SHIFT_KEY);  // raw_char stays 's'
    EXPECT_EQ(Sent(), (std::vector<std::string>{"show", "show"}));
    EXPECT_EQ(show->Value(), 0);
    Done();
}

TEST_F(ShortCutTest, TheControlMetFirstInTheTreeWins)
{
    type(window, 'g', B_CONTROL_KEY);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"go"}));
    EXPECT_EQ(grid->Value(), 0);
    EXPECT_EQ(go->Value(), 0);  // released again after the click
    Done();
}

TEST_F(ShortCutTest, ARadioButtonIsOnlyEverSwitchedOn)
{
    type(window, 'm', B_CONTROL_KEY);
    type(window, 'm', B_CONTROL_KEY);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"mono", "mono"}));
    EXPECT_EQ(mono->Value(), 1);
    Done();
    type(window, 't', B_CONTROL_KEY);
    EXPECT_EQ(Sent().back(), "stereo");
    EXPECT_EQ(stereo->Value(), 1);
    EXPECT_EQ(mono->Value(), 0);
    Done();
}

TEST_F(ShortCutTest, MenuFieldsAndTextFieldsAreOnlyFocused)
{
    type(window, 'f', B_CONTROL_KEY);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(window->CurrentFocus(), format);
    Done();
    type(window, 'n', B_CONTROL_KEY);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(window->CurrentFocus(), name);
    EXPECT_STREQ(name->Text(), "");
    Done();
}

TEST_F(ShortCutTest, PlainLettersReachTheFocusedTextField)
{
    Focus(name);
    type(window, 's');
    type(window, 'g');
    Sent();
    EXPECT_STREQ(name->Text(), "sg");
    EXPECT_EQ(show->Value(), 0);
    EXPECT_EQ(panel->sent.size(), 0u);
    Done();
    // With Control the same letter is a shortcut, and is not typed.
    type(window, 's', B_CONTROL_KEY);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"show"}));
    EXPECT_STREQ(name->Text(), "sg");
    Done();
}

TEST_F(ShortCutTest, AKeyThatMatchesNothingIsDropped)
{
    Focus(name);
    type(window, 'q', B_CONTROL_KEY);
    type(window, B_ESCAPE);
    type(window, B_FUNCTION_KEY);
    EXPECT_TRUE(Sent().empty());
    EXPECT_STREQ(name->Text(), "");
    EXPECT_EQ(window->CurrentFocus(), name);
    Done();
}

TEST_F(ShortCutTest, EnterClicksTheFocusedButtonElseTheDefaultOne)
{
    Focus(start);
    type(window, B_ENTER);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"start"}));
    Done();
    Focus(name);
    type(window, B_ENTER);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"start", "ok"}));
    Done();
    // No default button: nothing.
    window->Lock();
    ok->MakeDefault(false);
    window->Unlock();
    type(window, B_ENTER);
    EXPECT_EQ(Sent().size(), 2u);
    Done();
}

TEST(ShortCutFilter, RedirectsOnlyShortcutKeys)
{
    BHandler handler("keys");
    TShortCutFilter filter(&handler);
    BHandler focus("focus");
    auto target_of = [&](char c, int32 modifiers) {
        BMessage m = key(c, modifiers);
        BHandler* target = &focus;
        EXPECT_EQ(filter.Filter(&m, &target), B_DISPATCH_MESSAGE);
        return target;
    };
    EXPECT_EQ(target_of('a', 0), &focus);
    EXPECT_EQ(target_of('a', B_SHIFT_KEY | B_COMMAND_KEY), &focus);
    EXPECT_EQ(target_of('a', B_CONTROL_KEY), &handler);
    EXPECT_EQ(target_of(B_ESCAPE, 0), &handler);
    EXPECT_EQ(target_of(B_ENTER, 0), &handler);
    EXPECT_EQ(target_of(B_FUNCTION_KEY, 0), &handler);
    EXPECT_EQ(target_of(B_TAB, 0), &focus);
}

TEST(DialogView, ApplyShortCutSkipsUnlabelledControlsButSearchesBelowThem)
{
    TDialogView dialog(BRect(0, 0, 99, 99), "dialog", B_FOLLOW_NONE, 0);
    auto* bare = new BCheckBox(BRect(0, 0, 50, 15), "bare", "", nullptr);
    auto* inside = new BCheckBox(BRect(0, 0, 40, 10), "inside", "X) Inside", nullptr);
    bare->AddChild(inside);
    dialog.AddChild(bare);
    EXPECT_EQ(dialog.ApplyShortCut(&dialog, 0, 0), B_ERROR);
    EXPECT_EQ(dialog.ApplyShortCut(&dialog, 'y', 0), B_ERROR);
    EXPECT_EQ(dialog.ApplyShortCut(&dialog, 'x', 0), B_OK);
    EXPECT_EQ(inside->Value(), 1);
    EXPECT_EQ(bare->Value(), 0);
    EXPECT_EQ(dialog.ApplyShortCut(nullptr, 'x', 0), B_ERROR);
}

TEST(DialogWindow, ShortcutsNeedADialogViewOnTop)
{
    auto* window = new TDialogWindow(BRect(0, 0, 199, 99), "plain", B_TITLED_WINDOW, 0);
    auto* top = new BView(BRect(0, 0, 199, 99), "top", B_FOLLOW_ALL, 0);
    auto* box = new BCheckBox(BRect(5, 5, 100, 20), "save", "S Save", nullptr);
    auto* text = new BTextControl(BRect(5, 30, 190, 50), "text", "Text", "", nullptr);
    top->AddChild(box);
    top->AddChild(text);
    window->AddChild(top);
    text->MakeFocus(true);
    watch(window);
    window->Show();
    type(window, 's', B_CONTROL_KEY);
    type(window, 'a');
    settle(window);
    ASSERT_TRUE(window->Lock());
    EXPECT_EQ(box->Value(), 0);
    EXPECT_STREQ(text->Text(), "a");  // the shortcut was taken, not typed
    window->Quit();
}
