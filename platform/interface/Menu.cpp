#include "Menu.h"

#include <algorithm>
#include <cmath>

#include <Message.h>
#include <OS.h>

#include "ArchivePrivate.h"
#include "ControlLook.h"
#include "MenuField.h"
#include "MenuItem.h"
#include "PopUpMenu.h"

using namespace BPrivate;

namespace {

// Room for the mark in front of an item's label, and after it.
const float kMarkRoom = 18;
const float kRightRoom = 14;

}  // namespace

// Items.

BMenuItem::BMenuItem(const char* label, BMessage* message, char shortcut, uint32 modifiers)
    : BInvoker(message, nullptr),
      fLabel(label ? label : ""),
      fShortcut(shortcut),
      fModifiers(modifiers),
      fEnabled(true),
      fMarked(false),
      fMenu(nullptr)
{
}

BMenuItem::~BMenuItem()
{
    if (fMenu != nullptr)
        fMenu->RemoveItem(this);
}

void BMenuItem::SetLabel(const char* label)
{
    fLabel = label ? label : "";
    if (fMenu != nullptr)
        fMenu->ItemChanged();
}

void BMenuItem::SetEnabled(bool enabled)
{
    fEnabled = enabled;
    if (fMenu != nullptr)
        fMenu->ItemChanged();
}

void BMenuItem::SetMarked(bool marked)
{
    fMarked = marked;
    if (fMenu != nullptr && marked)
        fMenu->ItemMarked(this);
    else if (fMenu != nullptr)
        fMenu->ItemChanged();
}

void BMenuItem::SetShortcut(char shortcut, uint32 modifiers)
{
    fShortcut = shortcut;
    fModifiers = modifiers;
}

char BMenuItem::Shortcut(uint32* modifiers) const
{
    if (modifiers != nullptr)
        *modifiers = fModifiers;
    return fShortcut;
}

status_t BMenuItem::Invoke(BMessage* message)
{
    BMessage* source = message != nullptr ? message : Message();
    if (source == nullptr)
        return B_BAD_VALUE;
    BMessage copy(*source);
    copy.AddInt64("when", system_time());
    copy.AddPointer("source", this);
    if (fMenu != nullptr)
        copy.AddInt32("index", fMenu->IndexOf(this));
    return BInvoker::Invoke(&copy);
}

void BMenuItem::GetContentSize(float* width, float* height)
{
    const BView* measure = fMenu;
    float w = measure ? measure->StringWidth(Label()) : be_plain_font->StringWidth(Label());
    font_height fh;
    if (measure)
        measure->GetFontHeight(&fh);
    else
        be_plain_font->GetHeight(&fh);
    if (width != nullptr)
        *width = std::ceil(w);
    if (height != nullptr)
        *height = std::ceil(fh.ascent + fh.descent);
}

void BMenuItem::Draw()
{
    BMenu* menu = fMenu;
    if (menu == nullptr)
        return;
    BRect r = fFrame;
    bool highlighted = menu->Highlighted() == this && fEnabled;
    menu->SetDrawingMode(B_OP_COPY);
    menu->SetHighColor(ui_color(highlighted ? B_MENU_SELECTION_BACKGROUND_COLOR : B_MENU_BACKGROUND_COLOR));
    menu->FillRect(r);
    float baseline = centred_baseline(menu, r);
    if (fMarked) {
        // A check mark in front of the label.
        menu->SetHighColor(ui_color(B_MENU_ITEM_TEXT_COLOR));
        menu->SetPenSize(2);
        float y = baseline - 4;
        menu->StrokeLine(BPoint(r.left + 5, y), BPoint(r.left + 8, y + 3));
        menu->StrokeLine(BPoint(r.left + 8, y + 3), BPoint(r.left + 13, y - 5));
        menu->SetPenSize(1);
    }
    draw_label(menu, Label(), r.left + kMarkRoom, baseline, fEnabled);
}

BSeparatorItem::BSeparatorItem()
    : BMenuItem("", nullptr)
{
    BMenuItem::SetEnabled(false);
}

BSeparatorItem::~BSeparatorItem() = default;

void BSeparatorItem::SetEnabled(bool)
{
}

void BSeparatorItem::GetContentSize(float* width, float* height)
{
    if (width != nullptr)
        *width = 0;
    if (height != nullptr)
        *height = 2;
}

void BSeparatorItem::Draw()
{
    BMenu* menu = Menu();
    if (menu == nullptr)
        return;
    BRect r = Frame();
    float y = std::floor((r.top + r.bottom) / 2);
    rgb_color back = ui_color(B_MENU_BACKGROUND_COLOR);
    menu->SetDrawingMode(B_OP_COPY);
    menu->SetHighColor(back);
    menu->FillRect(r);
    menu->SetHighColor(tint_color(back, B_DARKEN_2_TINT));
    menu->StrokeLine(BPoint(r.left + 2, y), BPoint(r.right - 2, y));
    menu->SetHighColor(tint_color(back, B_LIGHTEN_MAX_TINT));
    menu->StrokeLine(BPoint(r.left + 2, y + 1), BPoint(r.right - 2, y + 1));
}

// Menus.

BMenu::BMenu(const char* name, menu_layout layout)
    : BView(BRect(0, 0, 0, 0), name, B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW),
      fLayout(layout),
      fRadioMode(false),
      fLabelFromMarked(false),
      fField(nullptr),
      fHighlighted(nullptr)
{
    SetViewColor(ui_color(B_MENU_BACKGROUND_COLOR));
}

BMenu::~BMenu()
{
    for (BMenuItem* item : fItems) {
        item->fMenu = nullptr;
        delete item;
    }
}

// The items are archived in "_items", each with its class, "_label",
// "_msg", "_shortcut", "_mods", "_disable" and "_marked"; their targets
// are not kept.
BMenu::BMenu(BMessage* archive)
    : BView(archive),
      fLayout(B_ITEMS_IN_COLUMN),
      fRadioMode(false),
      fLabelFromMarked(false),
      fField(nullptr),
      fHighlighted(nullptr)
{
    int32 layout = B_ITEMS_IN_COLUMN;
    read_field(archive, "_layout", &layout);
    if (layout == B_ITEMS_IN_ROW || layout == B_ITEMS_IN_MATRIX)
        fLayout = menu_layout(layout);
    read_field(archive, "_radio", &fRadioMode);
    read_field(archive, "_dyn_label", &fLabelFromMarked);
    BMessage archived;
    for (int32 i = 0; archive != nullptr && archive->FindMessage("_items", i, &archived) == B_OK; i++) {
        if (validate_instantiation(&archived, "BSeparatorItem")) {
            AddItem(new BSeparatorItem());
            continue;
        }
        std::string label;
        int32 shortcut = 0, modifiers = 0;
        bool disabled = false, marked = false;
        read_field(&archived, "_label", &label);
        read_field(&archived, "_shortcut", &shortcut);
        read_field(&archived, "_mods", &modifiers);
        read_field(&archived, "_disable", &disabled);
        read_field(&archived, "_marked", &marked);
        BMessage message;
        BMessage* itemMessage = archived.FindMessage("_msg", &message) == B_OK
            ? new BMessage(message) : nullptr;
        auto* item = new BMenuItem(label.c_str(), itemMessage, char(shortcut), uint32(modifiers));
        item->SetEnabled(!disabled);
        AddItem(item);
        if (marked)
            item->SetMarked(true);
    }
}

BArchivable* BMenu::Instantiate(BMessage* archive)
{
    return instantiate_as<BMenu>(archive, "BMenu");
}

status_t BMenu::Archive(BMessage* into, bool deep) const
{
    status_t status = BView::Archive(into, deep);
    if (status == B_OK)
        status = into->AddInt32("_layout", int32(fLayout));
    if (status == B_OK)
        status = into->AddBool("_radio", fRadioMode);
    if (status == B_OK)
        status = into->AddBool("_dyn_label", fLabelFromMarked);
    for (size_t i = 0; deep && status == B_OK && i < fItems.size(); i++) {
        const BMenuItem* item = fItems[i];
        BMessage archived;
        if (item->IsSeparator()) {
            status = archived.AddString(B_CLASS_FIELD, "BSeparatorItem");
        } else {
            uint32 modifiers = 0;
            char shortcut = item->Shortcut(&modifiers);
            status = archived.AddString(B_CLASS_FIELD, "BMenuItem");
            if (status == B_OK)
                status = archived.AddString("_label", item->Label());
            if (status == B_OK && item->Message() != nullptr)
                status = archived.AddMessage("_msg", item->Message());
            if (status == B_OK && shortcut != 0)
                status = archived.AddInt32("_shortcut", shortcut);
            if (status == B_OK && modifiers != 0)
                status = archived.AddInt32("_mods", int32(modifiers));
            if (status == B_OK && !item->IsEnabled())
                status = archived.AddBool("_disable", true);
            if (status == B_OK && item->IsMarked())
                status = archived.AddBool("_marked", true);
        }
        if (status == B_OK)
            status = into->AddMessage("_items", &archived);
    }
    return status;
}

B_REGISTER_ARCHIVABLE(BMenu);

bool BMenu::AddItem(BMenuItem* item)
{
    return AddItem(item, CountItems());
}

bool BMenu::AddItem(BMenuItem* item, int32 index)
{
    if (item == nullptr || item->fMenu != nullptr || index < 0 || index > CountItems())
        return false;
    fItems.insert(fItems.begin() + index, item);
    item->fMenu = this;
    if (item->IsMarked())
        ItemMarked(item);
    else
        ItemChanged();
    return true;
}

bool BMenu::AddSeparatorItem()
{
    return AddItem(new BSeparatorItem());
}

bool BMenu::RemoveItem(BMenuItem* item)
{
    auto at = std::find(fItems.begin(), fItems.end(), item);
    if (item == nullptr || at == fItems.end())
        return false;
    fItems.erase(at);
    item->fMenu = nullptr;
    if (fHighlighted == item)
        fHighlighted = nullptr;
    ItemChanged();
    return true;
}

BMenuItem* BMenu::RemoveItem(int32 index)
{
    BMenuItem* item = ItemAt(index);
    if (item != nullptr)
        RemoveItem(item);
    return item;
}

BMenuItem* BMenu::ItemAt(int32 index) const
{
    if (index < 0 || index >= CountItems())
        return nullptr;
    return fItems[size_t(index)];
}

int32 BMenu::IndexOf(BMenuItem* item) const
{
    auto at = std::find(fItems.begin(), fItems.end(), item);
    return at == fItems.end() ? -1 : int32(at - fItems.begin());
}

BMenuItem* BMenu::FindItem(const char* label) const
{
    if (label == nullptr)
        return nullptr;
    for (BMenuItem* item : fItems)
        if (!item->IsSeparator() && item->fLabel == label)
            return item;
    return nullptr;
}

BMenuItem* BMenu::FindMarked() const
{
    for (BMenuItem* item : fItems)
        if (item->IsMarked())
            return item;
    return nullptr;
}

void BMenu::SetRadioMode(bool flag)
{
    fRadioMode = flag;
    // Radio mode keeps one mark at most: the first.
    if (flag)
        if (BMenuItem* marked = FindMarked())
            ItemMarked(marked);
}

void BMenu::SetLabelFromMarked(bool flag)
{
    fLabelFromMarked = flag;
    if (flag)
        SetRadioMode(true);
    ItemChanged();
}

status_t BMenu::SetTargetForItems(BHandler* handler)
{
    status_t result = B_OK;
    for (BMenuItem* item : fItems) {
        status_t r = item->SetTarget(handler);
        if (r != B_OK)
            result = r;
    }
    return result;
}

void BMenu::ItemMarked(BMenuItem* item)
{
    if (fRadioMode)
        for (BMenuItem* other : fItems)
            if (other != item)
                other->fMarked = false;
    ItemChanged();
}

void BMenu::ItemChanged()
{
    Invalidate();
    if (fField != nullptr)
        fField->Invalidate();
}

void BMenu::LayoutItems()
{
    float width = 0;
    for (BMenuItem* item : fItems) {
        float w, h;
        item->GetContentSize(&w, &h);
        width = std::max(width, w);
    }
    width += kMarkRoom + kRightRoom;
    float y = 1;
    for (BMenuItem* item : fItems) {
        float w, h;
        item->GetContentSize(&w, &h);
        float height = item->IsSeparator() ? 7 : h + 6;
        item->fFrame = BRect(1, y, width, y + height - 1);
        y += height;
    }
    ResizeTo(width + 1, std::max(y, 2.0f));
}

void BMenu::GetPreferredSize(float* width, float* height)
{
    LayoutItems();
    BView::GetPreferredSize(width, height);
}

BMenuItem* BMenu::ItemAtPoint(BPoint where) const
{
    for (BMenuItem* item : fItems)
        if (item->Frame().Contains(where))
            return item->IsSeparator() ? nullptr : item;
    return nullptr;
}

void BMenu::SetHighlighted(BMenuItem* item)
{
    if (item != fHighlighted) {
        fHighlighted = item;
        Invalidate();
    }
}

void BMenu::Draw(BRect)
{
    rgb_color back = ui_color(B_MENU_BACKGROUND_COLOR);
    SetDrawingMode(B_OP_COPY);
    SetHighColor(tint_color(back, B_DARKEN_3_TINT));
    StrokeRect(Bounds());
    for (BMenuItem* item : fItems)
        item->Draw();
}

BPopUpMenu::BPopUpMenu(const char* name, bool radioMode, bool labelFromMarked,
    menu_layout layout)
    : BMenu(name, layout)
{
    SetRadioMode(radioMode);
    SetLabelFromMarked(labelFromMarked);
}

BPopUpMenu::~BPopUpMenu() = default;

BPopUpMenu::BPopUpMenu(BMessage* archive) : BMenu(archive) {}

BArchivable* BPopUpMenu::Instantiate(BMessage* archive)
{
    return instantiate_as<BPopUpMenu>(archive, "BPopUpMenu");
}

status_t BPopUpMenu::Archive(BMessage* into, bool deep) const
{
    return BMenu::Archive(into, deep);
}

B_REGISTER_ARCHIVABLE(BPopUpMenu);
