#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include <Box.h>
#include <Button.h>
#include <CheckBox.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <PopUpMenu.h>
#include <RadioButton.h>
#include <StringView.h>
#include <TextControl.h>

#include "ViewHost.h"

using BPrivate::Surface;
using BPrivate::ViewHost;

namespace {

// Pixels in area darker than the panel's shadow: ink of text or marks.
int dark_pixels(Surface& s, BRect area)
{
    int n = 0;
    for (int y = int(area.top); y <= int(area.bottom); y++)
        for (int x = int(area.left); x <= int(area.right); x++) {
            rgb_color c = s.PixelAt(x, y);
            if (c.red + c.green + c.blue < 3 * 110)
                n++;
        }
    return n;
}

double mean_brightness(Surface& s, BRect area)
{
    double sum = 0;
    int n = 0;
    for (int y = int(area.top); y <= int(area.bottom); y++)
        for (int x = int(area.left); x <= int(area.right); x++, n++) {
            rgb_color c = s.PixelAt(x, y);
            sum += (c.red + c.green + c.blue) / 3.0;
        }
    return n > 0 ? sum / n : 0;
}

BRect in_window(BView* view, BRect r)
{
    return view->ConvertToWindow(r);
}

}  // namespace

TEST(Controls, PreferredSizesFollowTheLabels)
{
    BButton shortButton(BRect(0, 0, 10, 10), "b", "OK", nullptr);
    BButton longButton(BRect(0, 0, 10, 10), "b", "A rather long button label", nullptr);
    float w1, h1, w2, h2;
    shortButton.GetPreferredSize(&w1, &h1);
    longButton.GetPreferredSize(&w2, &h2);
    EXPECT_EQ(w1, 75);  // the least width a button has
    EXPECT_GT(w2, 100);
    EXPECT_EQ(w2, std::ceil(longButton.StringWidth(longButton.Label())) + 20);
    EXPECT_EQ(h1, h2);
    EXPECT_GE(h1, 18);

    BCheckBox box(BRect(0, 0, 10, 10), "c", "Flat Tool Bar", nullptr);
    box.GetPreferredSize(&w1, &h1);
    EXPECT_EQ(w1, std::ceil(box.StringWidth("Flat Tool Bar")) + 19);
    box.ResizeToPreferred();
    EXPECT_EQ(box.Bounds().Width(), w1);

    BStringView text(BRect(0, 0, 10, 10), "s", "日本語のテキスト");
    text.GetPreferredSize(&w1, &h1);
    BStringView latin(BRect(0, 0, 10, 10), "s", "iiiiiiii");
    latin.GetPreferredSize(&w2, &h2);
    EXPECT_GT(w1, 3 * w2);

    BMenuField field(BRect(0, 0, 250, 30), "f", "Format:", new BPopUpMenu("Select..."));
    EXPECT_EQ(field.Divider(), std::ceil(field.StringWidth("Format:")) + 5);
    BTextControl unlabelled(BRect(0, 0, 100, 20), "t", nullptr, "text", nullptr);
    EXPECT_EQ(unlabelled.Divider(), 0);
}

TEST(Controls, RadioButtonsExcludeTheirSiblings)
{
    BView parent(BRect(0, 0, 100, 100), "p", B_FOLLOW_NONE, 0);
    auto* a = new BRadioButton(BRect(0, 0, 50, 15), "a", "A", nullptr);
    auto* b = new BRadioButton(BRect(0, 20, 50, 35), "b", "B", nullptr);
    auto* c = new BCheckBox(BRect(0, 40, 50, 55), "c", "C", nullptr);
    parent.AddChild(a);
    parent.AddChild(b);
    parent.AddChild(c);
    c->SetValue(1);
    a->SetValue(1);
    b->SetValue(7);  // any non-zero value is "on"
    EXPECT_EQ(a->Value(), 0);
    EXPECT_EQ(b->Value(), 1);
    EXPECT_EQ(c->Value(), 1);  // not a radio button
}

TEST(Controls, PointerClicksToggleAndOnlyInside)
{
    ViewHost host(BRect(0, 0, 199, 99));
    auto* box = new BCheckBox(BRect(10, 10, 100, 25), "c", "Check", nullptr);
    auto* button = new BButton(BRect(10, 40, 90, 62), "b", "Press", nullptr);
    host.TopView()->AddChild(box);
    host.TopView()->AddChild(button);

    box->MouseDown(BPoint(5, 5));
    EXPECT_EQ(host.MouseCapture(), box);
    box->MouseUp(BPoint(5, 5));
    EXPECT_EQ(box->Value(), 1);
    box->MouseDown(BPoint(5, 5));
    box->MouseUp(BPoint(500, 5));  // released outside: no change
    EXPECT_EQ(box->Value(), 1);
    box->MouseUp(BPoint(5, 5));  // no press under way: nothing
    EXPECT_EQ(box->Value(), 1);

    // The pressed look shows while the button is held over it.
    host.UpdateIfNeeded();
    double released = mean_brightness(host.GetSurface(), in_window(button, button->Bounds()));
    button->MouseDown(BPoint(5, 5));
    EXPECT_EQ(button->Value(), 1);
    host.UpdateIfNeeded();
    double pressed = mean_brightness(host.GetSurface(), in_window(button, button->Bounds()));
    EXPECT_LT(pressed, released - 50);
    button->MouseMoved(BPoint(300, 5), B_EXITED_VIEW, nullptr);
    EXPECT_EQ(button->Value(), 0);
    button->MouseMoved(BPoint(5, 5), B_ENTERED_VIEW, nullptr);
    EXPECT_EQ(button->Value(), 1);
    button->MouseUp(BPoint(5, 5));
    EXPECT_EQ(button->Value(), 0);

    box->SetEnabled(false);
    box->MouseDown(BPoint(5, 5));
    box->MouseUp(BPoint(5, 5));
    EXPECT_EQ(box->Value(), 1);
}

TEST(Controls, DefaultButtonBelongsToTheWindow)
{
    ViewHost host(BRect(0, 0, 199, 99));
    auto* ok = new BButton(BRect(10, 10, 90, 32), "ok", "OK", nullptr);
    auto* cancel = new BButton(BRect(100, 10, 180, 32), "cancel", "Cancel", nullptr);
    ok->MakeDefault(true);  // before it is in a window
    EXPECT_TRUE(ok->IsDefault());
    host.TopView()->AddChild(ok);
    host.TopView()->AddChild(cancel);
    EXPECT_EQ(host.DefaultButton(), ok);
    cancel->MakeDefault(true);
    EXPECT_EQ(host.DefaultButton(), cancel);
    EXPECT_FALSE(ok->IsDefault());
    ok->MakeDefault(false);  // not the default: nothing changes
    EXPECT_EQ(host.DefaultButton(), cancel);
    host.TopView()->RemoveChild(cancel);
    EXPECT_EQ(host.DefaultButton(), nullptr);
    delete cancel;
}

TEST(Controls, TextControlEditsWholeCharacters)
{
    ViewHost host(BRect(0, 0, 299, 49));
    auto* text = new BTextControl(BRect(10, 10, 250, 30), "t", "Name:", "ab", nullptr);
    host.TopView()->AddChild(text);
    text->MakeFocus();
    text->KeyDown("日", 3);
    EXPECT_STREQ(text->Text(), "ab日");
    text->KeyDown("\x1c", 1);  // left arrow, over the three bytes
    EXPECT_EQ(text->CaretOffset(), 2);
    text->KeyDown("c", 1);
    EXPECT_STREQ(text->Text(), "abc日");
    const char right[] = {B_RIGHT_ARROW, 0};
    text->KeyDown(right, 1);
    const char backspace[] = {B_BACKSPACE, 0};
    text->KeyDown(backspace, 1);
    EXPECT_STREQ(text->Text(), "abc");
    const char home[] = {B_HOME, 0};
    text->KeyDown(home, 1);
    const char del[] = {B_DELETE, 0};
    text->KeyDown(del, 1);
    EXPECT_STREQ(text->Text(), "bc");
    text->KeyDown(backspace, 1);  // at the start: nothing
    EXPECT_STREQ(text->Text(), "bc");
    text->KeyDown("\x03", 1);  // a control character is not text
    EXPECT_STREQ(text->Text(), "bc");
    text->SetDivider(40);
    EXPECT_EQ(text->Divider(), 40);
    // A click puts the caret at the nearest character boundary.
    text->MouseDown(BPoint(0, 10));
    EXPECT_EQ(text->CaretOffset(), 0);
    text->MouseDown(BPoint(240, 10));
    EXPECT_EQ(text->CaretOffset(), 2);
}

TEST(Menus, RadioModeMarksAndFieldLabel)
{
    auto* menu = new BPopUpMenu("Select...");
    EXPECT_TRUE(menu->IsRadioMode());
    EXPECT_TRUE(menu->IsLabelFromMarked());
    auto* a = new BMenuItem("(a)", nullptr);
    auto* b = new BMenuItem("a) ", nullptr);
    menu->AddItem(a);
    menu->AddItem(b);
    menu->AddSeparatorItem();
    menu->AddItem(new BMenuItem("(None)", nullptr));
    EXPECT_EQ(menu->CountItems(), 4);
    EXPECT_EQ(menu->IndexOf(b), 1);
    EXPECT_EQ(menu->FindItem("(None)"), menu->ItemAt(3));
    EXPECT_EQ(menu->FindItem(""), nullptr);  // separators have no label to find
    EXPECT_EQ(menu->FindMarked(), nullptr);

    BMenuField field(BRect(0, 0, 250, 30), "f", "Format:", menu);
    EXPECT_STREQ(field.MenuLabel(), "Select...");
    a->SetMarked(true);
    EXPECT_STREQ(field.MenuLabel(), "(a)");
    b->SetMarked(true);
    EXPECT_FALSE(a->IsMarked());
    EXPECT_EQ(menu->FindMarked(), b);
    EXPECT_STREQ(field.MenuLabel(), "a) ");
    EXPECT_FALSE(menu->ItemAt(2)->IsEnabled());

    // Without label-from-marked the field shows the menu's name.
    menu->SetLabelFromMarked(false);
    EXPECT_STREQ(field.MenuLabel(), "Select...");

    // A plain menu is not in radio mode: marks add up.
    BMenu plain("plain");
    auto* x = new BMenuItem("x", nullptr);
    auto* y = new BMenuItem("y", nullptr);
    plain.AddItem(x);
    plain.AddItem(y);
    x->SetMarked(true);
    y->SetMarked(true);
    EXPECT_TRUE(x->IsMarked());
    // Switching radio mode on leaves one mark, the first.
    plain.SetRadioMode(true);
    EXPECT_TRUE(x->IsMarked());
    EXPECT_FALSE(y->IsMarked());
    // Removing does not delete; the item can go into another menu.
    EXPECT_TRUE(plain.RemoveItem(y));
    EXPECT_EQ(y->Menu(), nullptr);
    EXPECT_FALSE(plain.AddItem(x));  // already in a menu
    EXPECT_TRUE(plain.AddItem(y, 0));
    EXPECT_EQ(plain.ItemAt(0), y);
    BMenuItem far("far", nullptr);
    EXPECT_FALSE(plain.AddItem(&far, 9));  // no such place
    EXPECT_EQ(far.Menu(), nullptr);
}

TEST(Menus, LayoutPlacesItemsInAColumn)
{
    BPopUpMenu menu("m");
    menu.AddItem(new BMenuItem("First", nullptr));
    menu.AddSeparatorItem();
    menu.AddItem(new BMenuItem("A much longer second item", nullptr));
    menu.LayoutItems();
    BRect first = menu.ItemAt(0)->Frame(), sep = menu.ItemAt(1)->Frame(),
          second = menu.ItemAt(2)->Frame();
    EXPECT_EQ(sep.top, first.bottom + 1);
    EXPECT_EQ(second.top, sep.bottom + 1);
    EXPECT_LT(sep.Height(), first.Height());
    EXPECT_GT(menu.Bounds().Width(), menu.StringWidth("A much longer second item"));
    EXPECT_EQ(menu.ItemAtPoint(BPoint(5, first.top + 2)), menu.ItemAt(0));
    EXPECT_EQ(menu.ItemAtPoint(BPoint(5, sep.top)), nullptr);
}

namespace {

struct DialogTexts {
    const char* title;
    const char* check;
    const char* field;
    const char* marked;
    const char* ok;
    const char* cancel;
};

// A small dialog with the controls the preferences and about boxes use.
struct Dialog {
    ViewHost host{BRect(0, 0, 329, 139)};
    BStringView* title;
    BCheckBox* check;
    BMenuField* field;
    BButton* ok;
    BButton* cancel;

    explicit Dialog(const DialogTexts& t)
    {
        BView* panel = new BView(BRect(0, 0, 329, 139), "DialogView", B_FOLLOW_ALL, B_WILL_DRAW);
        panel->SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
        host.TopView()->AddChild(panel);
        title = new BStringView(BRect(10, 8, 319, 22), "StrViewTitle", t.title);
        title->SetAlignment(B_ALIGN_CENTER);
        panel->AddChild(title);
        panel->AddChild(new BBox(BRect(0, 28, 329, 29), "BoxSep1"));
        check = new BCheckBox(BRect(10, 38, 250, 56), "FFlat Tool Bar", t.check, nullptr);
        check->SetValue(1);
        panel->AddChild(check);
        auto* menu = new BPopUpMenu("Select...");
        menu->AddItem(new BMenuItem("(a)", nullptr));
        menu->AddItem(new BMenuItem("a) ", nullptr));
        menu->AddSeparatorItem();
        menu->AddItem(new BMenuItem("(None)", nullptr));
        menu->FindItem(t.marked)->SetMarked(true);
        field = new BMenuField(BRect(10, 62, 260, 92), "AAccelerator Format: ", t.field, menu);
        panel->AddChild(field);
        ok = new BButton(BRect(240, 104, 320, 126), "ButtonOK", t.ok, nullptr);
        cancel = new BButton(BRect(150, 104, 230, 126), "ButtonCancel", t.cancel, nullptr);
        panel->AddChild(cancel);
        panel->AddChild(ok);
        ok->MakeDefault(true);
        check->MakeFocus();
    }
};

std::string output_path(const char* name)
{
    const char* dir = std::getenv("INTERFACE_TEST_OUTPUT");
    return std::string(dir && *dir ? dir : ::testing::TempDir().c_str()) + "/" + name;
}

// The text of each control leaves ink where the control draws its label.
void expect_labels_drawn(Dialog& d)
{
    Surface& s = d.host.GetSurface();
    float checkWidth = d.check->StringWidth(d.check->Label());
    EXPECT_GT(dark_pixels(s, in_window(d.check, BRect(17, 0, 17 + checkWidth, 18))), 20);
    EXPECT_GT(dark_pixels(s, in_window(d.field, BRect(0, 0, d.field->Divider() - 1, 30))), 20);
    BRect bar = d.field->MenuFrame();
    EXPECT_GT(dark_pixels(s, in_window(d.field, bar.InsetByCopy(2, 2).OffsetByCopy(4, 0))), 15);
    EXPECT_GT(dark_pixels(s, in_window(d.cancel, d.cancel->Bounds().InsetByCopy(4, 4))), 20);
    EXPECT_GT(dark_pixels(s, in_window(d.title, d.title->Bounds())), 20);
}

}  // namespace

TEST(DialogPicture, EnglishAndJapaneseLabelsAreDrawn)
{
    Dialog english({"Common Preferences", "Flat Tool Bar (F)", "Accelerator Format: ", "(a)",
        "OK", "Cancel"});
    ASSERT_EQ(english.host.WritePNG(output_path("dialog-en.png").c_str()), B_OK);
    expect_labels_drawn(english);

    Dialog japanese({"共通設定", "フラットツールバー(F)", "アクセラレータの形式：", "a) ", "OK",
        "キャンセル"});
    ASSERT_EQ(japanese.host.WritePNG(output_path("dialog-ja.png").c_str()), B_OK);
    expect_labels_drawn(japanese);

    // The Japanese labels are other pictures than the English ones.
    Surface& e = english.host.GetSurface();
    Surface& j = japanese.host.GetSurface();
    int differing = 0;
    for (int y = 38; y <= 56; y++)
        for (int x = 27; x < 200; x++)
            if (e.PixelAt(x, y) != j.PixelAt(x, y))
                differing++;
    EXPECT_GT(differing, 100);
    // The OK buttons are the same in both.
    BRect okArea = in_window(english.ok, english.ok->Bounds());
    for (int y = int(okArea.top); y <= int(okArea.bottom); y++)
        for (int x = int(okArea.left); x <= int(okArea.right); x++)
            ASSERT_EQ(e.PixelAt(x, y), j.PixelAt(x, y)) << x << "," << y;
}
