// Controls archived into a message and made again from it.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include <Box.h>
#include <Button.h>
#include <CheckBox.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <Message.h>
#include <PopUpMenu.h>
#include <RadioButton.h>
#include <StringView.h>
#include <TextControl.h>

namespace {

const uint32 kButton = 0x62746E21;
const uint32 kCheck = 0x63686B21;
const uint32 kText = 0x74787421;
const uint32 kLevel = 0x6C766C21;

BMessage* tagged(uint32 what, int32 tag)
{
    auto* m = new BMessage(what);
    m->AddInt32("tag", tag);
    return m;
}

// Archives the view deep, passes the archive through its flat form, and
// makes the view again.
template <class T>
std::unique_ptr<T> round_trip(const BView& view)
{
    BMessage archive;
    EXPECT_EQ(view.Archive(&archive, true), B_OK);
    ssize_t size = archive.FlattenedSize();
    std::vector<char> flat(size_t(size > 0 ? size : 0));
    EXPECT_EQ(archive.Flatten(flat.data(), size), B_OK);
    BMessage restored;
    EXPECT_EQ(restored.Unflatten(flat.data()), B_OK);
    BArchivable* object = instantiate_object(&restored);
    T* typed = dynamic_cast<T*>(object);
    EXPECT_NE(typed, nullptr);
    if (typed == nullptr)
        delete object;
    return std::unique_ptr<T>(typed);
}

int32 tag_of(const BMessage* message)
{
    int32 tag = -1;
    if (message != nullptr)
        message->FindInt32("tag", &tag);
    return tag;
}

}  // namespace

TEST(Archive, ControlsKeepLabelValueMessageAndState)
{
    BButton button(BRect(10, 20, 89, 43), "ok", "OK(O)", tagged(kButton, 1),
        B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, B_WILL_DRAW | B_NAVIGABLE);
    button.MakeDefault(true);
    button.SetEnabled(false);
    auto b = round_trip<BButton>(button);
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->Name(), "ok");
    EXPECT_STREQ(b->Label(), "OK(O)");
    EXPECT_EQ(b->Frame(), BRect(10, 20, 89, 43));
    EXPECT_EQ(b->ResizingMode(), uint32(B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM));
    EXPECT_TRUE(b->IsDefault());
    EXPECT_FALSE(b->IsEnabled());
    ASSERT_NE(b->Message(), nullptr);
    EXPECT_EQ(b->Message()->what, kButton);
    EXPECT_EQ(tag_of(b->Message()), 1);

    BCheckBox box(BRect(0, 0, 99, 15), "verify", "Verify", tagged(kCheck, 2));
    box.SetValue(B_CONTROL_ON);
    auto c = round_trip<BCheckBox>(box);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Value(), B_CONTROL_ON);
    EXPECT_TRUE(c->IsEnabled());
    EXPECT_EQ(tag_of(c->Message()), 2);

    BRadioButton radio(BRect(0, 0, 99, 15), "high", "High", nullptr);
    radio.SetValue(B_CONTROL_ON);
    auto r = round_trip<BRadioButton>(radio);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Value(), B_CONTROL_ON);
    EXPECT_EQ(r->Message(), nullptr);
    EXPECT_STREQ(r->Label(), "High");

    BTextControl text(BRect(0, 0, 199, 20), "title", "Title:", "日本語 text", tagged(kText, 3));
    text.SetDivider(61);
    auto t = round_trip<BTextControl>(text);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->Text(), "日本語 text");
    EXPECT_EQ(t->Divider(), 61);
    EXPECT_EQ(t->CaretOffset(), int32(strlen("日本語 text")));
    EXPECT_STREQ(t->Label(), "Title:");

    BStringView string(BRect(0, 0, 99, 15), "version", "Version 1.2");
    string.SetAlignment(B_ALIGN_CENTER);
    auto s = round_trip<BStringView>(string);
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s->Text(), "Version 1.2");
    EXPECT_EQ(s->Alignment(), B_ALIGN_CENTER);

    BBox frame(BRect(0, 0, 199, 99), "frame", B_FOLLOW_ALL, B_WILL_DRAW, B_PLAIN_BORDER);
    frame.SetLabel("Options");
    auto f = round_trip<BBox>(frame);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Border(), B_PLAIN_BORDER);
    EXPECT_STREQ(f->Label(), "Options");
    BBox rule(BRect(0, 0, 199, 1), "rule");
    auto plain = round_trip<BBox>(rule);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->Border(), B_FANCY_BORDER);
    EXPECT_EQ(plain->Label(), nullptr);
}

TEST(Archive, AMenuFieldKeepsItsMenuAndItems)
{
    auto* menu = new BPopUpMenu("Level");
    menu->AddItem(new BMenuItem("Fast", tagged(kLevel, 1)));
    menu->AddItem(new BMenuItem("Normal", tagged(kLevel, 2), 'n', B_CONTROL_KEY));
    menu->AddSeparatorItem();
    auto* extra = new BMenuItem("Extra high", tagged(kLevel, 4));
    extra->SetEnabled(false);
    menu->AddItem(extra);
    menu->ItemAt(1)->SetMarked(true);
    BMenuField field(BRect(0, 0, 249, 21), "level", "Level:", menu, false);
    field.SetDivider(70);
    field.SetEnabled(false);

    auto m = round_trip<BMenuField>(field);
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->Label(), "Level:");
    EXPECT_EQ(m->Divider(), 70);
    EXPECT_FALSE(m->IsEnabled());
    BMenu* restored = m->Menu();
    ASSERT_NE(dynamic_cast<BPopUpMenu*>(restored), nullptr);
    EXPECT_TRUE(restored->IsRadioMode());
    EXPECT_TRUE(restored->IsLabelFromMarked());
    ASSERT_EQ(restored->CountItems(), 4);
    EXPECT_STREQ(restored->ItemAt(0)->Label(), "Fast");
    EXPECT_EQ(tag_of(restored->ItemAt(0)->Message()), 1);
    uint32 modifiers = 0;
    EXPECT_EQ(restored->ItemAt(1)->Shortcut(&modifiers), 'n');
    EXPECT_EQ(modifiers, uint32(B_CONTROL_KEY));
    EXPECT_NE(dynamic_cast<BSeparatorItem*>(restored->ItemAt(2)), nullptr);
    EXPECT_FALSE(restored->ItemAt(3)->IsEnabled());
    EXPECT_EQ(restored->FindMarked(), restored->ItemAt(1));
    EXPECT_STREQ(m->MenuLabel(), "Normal");
    // The field and its menu know each other again: marking another item
    // changes what the field shows.
    restored->ItemAt(0)->SetMarked(true);
    EXPECT_STREQ(m->MenuLabel(), "Fast");
    EXPECT_FALSE(restored->ItemAt(1)->IsMarked());
}

TEST(Archive, ATreeOfControlsComesBackWithItsKinds)
{
    BView panel(BRect(0, 0, 299, 199), "panel", B_FOLLOW_ALL, B_WILL_DRAW);
    auto* box = new BBox(BRect(5, 5, 200, 100), "group");
    box->AddChild(new BCheckBox(BRect(5, 5, 100, 20), "check", "Check", nullptr));
    box->AddChild(new BRadioButton(BRect(5, 25, 100, 40), "radio", "Radio", nullptr));
    panel.AddChild(box);
    panel.AddChild(new BButton(BRect(210, 160, 289, 183), "button", "Go", nullptr));
    panel.AddChild(new BMenuField(BRect(5, 110, 200, 130), "menu", "Menu:", new BPopUpMenu("m")));

    auto p = round_trip<BView>(panel);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->CountChildren(), 3);
    BView* group = p->ChildAt(0);
    ASSERT_NE(dynamic_cast<BBox*>(group), nullptr);
    ASSERT_EQ(group->CountChildren(), 2);
    EXPECT_NE(dynamic_cast<BCheckBox*>(group->ChildAt(0)), nullptr);
    EXPECT_NE(dynamic_cast<BRadioButton*>(group->ChildAt(1)), nullptr);
    EXPECT_NE(dynamic_cast<BButton*>(p->FindView("button")), nullptr);
    auto* menuField = dynamic_cast<BMenuField*>(p->FindView("menu"));
    ASSERT_NE(menuField, nullptr);
    ASSERT_NE(menuField->Menu(), nullptr);
    EXPECT_EQ(menuField->Menu()->CountItems(), 0);

    // An archive of one class is refused by another.
    BMessage archive;
    ASSERT_EQ(group->ChildAt(0)->Archive(&archive), B_OK);
    EXPECT_EQ(BButton::Instantiate(&archive), nullptr);
    std::unique_ptr<BArchivable> again(BCheckBox::Instantiate(&archive));
    EXPECT_NE(again, nullptr);
}
