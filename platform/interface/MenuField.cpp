#include "MenuField.h"

#include <algorithm>
#include <cmath>

#include "ArchivePrivate.h"
#include "ControlLook.h"
#include "Menu.h"
#include "MenuItem.h"
#include "MenuWindow.h"

using namespace BPrivate;

BMenuField::BMenuField(BRect frame, const char* name, const char* label, BMenu* menu,
    uint32 resizingMode, uint32 flags)
    : BMenuField(frame, name, label, menu, true, resizingMode, flags)
{
}

BMenuField::BMenuField(BRect frame, const char* name, const char* label, BMenu* menu,
    bool fixedSize, uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags),
      fLabel(label ? label : ""),
      fMenu(menu),
      fDivider(0),
      fFixedSize(fixedSize),
      fEnabled(true)
{
    if (!fLabel.empty())
        fDivider = std::ceil(StringWidth(fLabel.c_str())) + 5;
    if (fMenu != nullptr)
        fMenu->fField = this;
}

BMenuField::~BMenuField()
{
    delete fMenu;
}

// The menu is archived whole in "_menu", with its items.
BMenuField::BMenuField(BMessage* archive)
    : BView(archive), fMenu(nullptr), fDivider(0), fFixedSize(true), fEnabled(true)
{
    BPrivate::read_field(archive, "_label", &fLabel);
    BPrivate::read_field(archive, "_divide", &fDivider);
    BPrivate::read_field(archive, "_fixed", &fFixedSize);
    bool disabled = false;
    BPrivate::read_field(archive, "_disable", &disabled);
    fEnabled = !disabled;
    BMessage menu;
    if (archive != nullptr && archive->FindMessage("_menu", &menu) == B_OK) {
        BArchivable* object = instantiate_object(&menu);
        fMenu = dynamic_cast<BMenu*>(object);
        if (fMenu == nullptr)
            delete object;
        else
            fMenu->fField = this;
    }
}

BArchivable* BMenuField::Instantiate(BMessage* archive)
{
    return BPrivate::instantiate_as<BMenuField>(archive, "BMenuField");
}

status_t BMenuField::Archive(BMessage* into, bool deep) const
{
    status_t status = BView::Archive(into, deep);
    if (status == B_OK)
        status = into->AddString("_label", fLabel.c_str());
    if (status == B_OK)
        status = into->AddFloat("_divide", fDivider);
    if (status == B_OK)
        status = into->AddBool("_fixed", fFixedSize);
    if (status == B_OK && !fEnabled)
        status = into->AddBool("_disable", true);
    if (status == B_OK && fMenu != nullptr) {
        BMessage menu;
        status = fMenu->Archive(&menu, true);
        if (status == B_OK)
            status = into->AddMessage("_menu", &menu);
    }
    return status;
}

B_REGISTER_ARCHIVABLE(BMenuField);

void BMenuField::AttachedToWindow()
{
    BPrivate::adopt_parent_colors(this);
}

const char* BMenuField::MenuLabel() const
{
    if (fMenu == nullptr)
        return "";
    if (fMenu->IsLabelFromMarked())
        if (BMenuItem* marked = fMenu->FindMarked())
            return marked->Label();
    return fMenu->Name();
}

BRect BMenuField::MenuFrame() const
{
    BRect r = centred_band(Bounds(), std::ceil(font_line_height(this)) + 6);
    r.left = std::min(fDivider, Bounds().right);
    if (!fFixedSize)
        r.right = std::min(r.right, r.left + std::ceil(StringWidth(MenuLabel())) + 24);
    else
        r.right = std::max(r.left, r.right - 1);
    return r;
}

void BMenuField::Draw(BRect)
{
    SetDrawingMode(B_OP_COPY);
    SetHighColor(ViewColor());
    FillRect(Bounds());
    BRect bar = MenuFrame();
    float baseline = centred_baseline(this, bar);
    draw_label(this, Label(), 0, baseline, fEnabled);
    if (IsFocus() && fEnabled)
        draw_focus_line(this, 0, baseline, StringWidth(Label()));

    // The bar: raised, with a shadow below and right, the menu's text and
    // a triangle pointing down at its right end.
    rgb_color panel = ui_color(B_PANEL_BACKGROUND_COLOR);
    SetDrawingMode(B_OP_COPY);
    SetHighColor(tint_color(panel, B_DARKEN_4_TINT));
    StrokeRect(bar);
    BRect face = bar.InsetByCopy(1, 1);
    SetHighColor(ui_color(B_MENU_BACKGROUND_COLOR));
    FillRect(face);
    draw_bevel(this, face, true);
    draw_label(this, MenuLabel(), bar.left + 6, baseline, fEnabled);
    float mid = std::floor((bar.top + bar.bottom) / 2);
    SetHighColor(fEnabled ? make_color(0, 0, 0) : tint_color(panel, B_DARKEN_3_TINT));
    FillTriangle(BPoint(bar.right - 12, mid - 2), BPoint(bar.right - 4, mid - 2),
        BPoint(bar.right - 8, mid + 2));
}

void BMenuField::MouseDown(BPoint where)
{
    if (fEnabled && fMenu != nullptr && MenuFrame().Contains(where))
        MenuWindow::Open(this);
}

void BMenuField::MessageReceived(BMessage* message)
{
    int32 index = -1;
    if (message->what != kMsgMenuItemChosen || message->FindInt32("index", &index) != B_OK) {
        BView::MessageReceived(message);
        return;
    }
    BMenuItem* item = fMenu != nullptr ? fMenu->ItemAt(index) : nullptr;
    if (item == nullptr || !item->IsEnabled())
        return;
    if (fMenu->IsRadioMode())
        item->SetMarked(true);
    item->Invoke();
}

void BMenuField::MakeFocus(bool focus)
{
    BView::MakeFocus(focus);
}

void BMenuField::GetPreferredSize(float* width, float* height)
{
    float widest = fMenu != nullptr ? StringWidth(fMenu->Name()) : 0;
    if (fMenu != nullptr)
        for (int32 i = 0; i < fMenu->CountItems(); i++)
            widest = std::max(widest, StringWidth(fMenu->ItemAt(i)->Label()));
    if (width != nullptr)
        *width = fDivider + std::ceil(widest) + 26;
    if (height != nullptr)
        *height = std::ceil(font_line_height(this)) + 8;
}

void BMenuField::SetLabel(const char* label)
{
    fLabel = label ? label : "";
    Invalidate();
}

void BMenuField::SetDivider(float position)
{
    fDivider = std::max(0.0f, position);
    Invalidate();
}

void BMenuField::SetEnabled(bool enabled)
{
    fEnabled = enabled;
    Invalidate();
}
