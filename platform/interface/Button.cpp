#include "Button.h"

#include <algorithm>
#include <cmath>

#include "ArchivePrivate.h"
#include "ControlLook.h"
#include "ViewHost.h"

using namespace BPrivate;

BButton::BButton(BRect frame, const char* name, const char* label, BMessage* message,
    uint32 resizingMode, uint32 flags)
    : BControl(frame, name, label, message, resizingMode, flags), fWantsDefault(false)
{
}

BButton::BButton(BMessage* archive) : BControl(archive), fWantsDefault(false)
{
    BPrivate::read_field(archive, "_default", &fWantsDefault);
}

BArchivable* BButton::Instantiate(BMessage* archive)
{
    return BPrivate::instantiate_as<BButton>(archive, "BButton");
}

status_t BButton::Archive(BMessage* into, bool deep) const
{
    status_t status = BControl::Archive(into, deep);
    if (status == B_OK && IsDefault())
        status = into->AddBool("_default", true);
    return status;
}

B_REGISTER_ARCHIVABLE(BButton);

BButton::~BButton() = default;

void BButton::AttachedToWindow()
{
    BControl::AttachedToWindow();
    if (fWantsDefault && Host() != nullptr)
        Host()->SetDefaultButton(this);
}

void BButton::DetachedFromWindow()
{
    if (Host() != nullptr && Host()->DefaultButton() == this)
        Host()->SetDefaultButton(nullptr);
}

void BButton::MakeDefault(bool flag)
{
    fWantsDefault = flag;
    if (Host() == nullptr)
        return;
    if (flag)
        Host()->SetDefaultButton(this);
    else if (Host()->DefaultButton() == this)
        Host()->SetDefaultButton(nullptr);
}

bool BButton::IsDefault() const
{
    return Host() != nullptr ? Host()->DefaultButton() == this : fWantsDefault;
}

void BButton::Draw(BRect)
{
    BRect r = Bounds();
    rgb_color panel = ui_color(B_PANEL_BACKGROUND_COLOR);
    bool pressed = Value() != B_CONTROL_OFF;
    SetDrawingMode(B_OP_COPY);
    SetHighColor(ViewColor());
    FillRect(r);
    if (IsDefault()) {
        // The default button's ring, inside the frame.
        SetHighColor(tint_color(panel, B_DARKEN_4_TINT));
        StrokeRect(r);
        r.InsetBy(1, 1);
    }
    // Frame with cut corners, then the face.
    SetHighColor(tint_color(panel, IsEnabled() ? B_DARKEN_4_TINT : B_DARKEN_2_TINT));
    StrokeLine(BPoint(r.left + 1, r.top), BPoint(r.right - 1, r.top));
    StrokeLine(BPoint(r.left + 1, r.bottom), BPoint(r.right - 1, r.bottom));
    StrokeLine(BPoint(r.left, r.top + 1), BPoint(r.left, r.bottom - 1));
    StrokeLine(BPoint(r.right, r.top + 1), BPoint(r.right, r.bottom - 1));
    r.InsetBy(1, 1);
    SetHighColor(pressed ? tint_color(panel, B_DARKEN_3_TINT) : tint_color(panel, B_LIGHTEN_1_TINT));
    FillRect(r);
    draw_bevel(this, r, !pressed);

    float width = StringWidth(Label());
    float x = std::floor((Bounds().Width() + 1 - width) / 2);
    float baseline = centred_baseline(this, Bounds());
    if (pressed) {
        SetHighColor(255, 255, 255);
        SetDrawingMode(B_OP_OVER);
        DrawString(Label(), BPoint(x, baseline));
    } else
        draw_label(this, Label(), x, baseline, IsEnabled());
    if (IsFocus() && IsEnabled())
        draw_focus_line(this, x, baseline, width);
}

void BButton::MouseDown(BPoint where)
{
    if (!IsEnabled())
        return;
    SetTracking(true);
    SetValue(B_CONTROL_ON);
    SetMouseEventMask(B_POINTER_EVENTS, B_NO_POINTER_HISTORY);
}

void BButton::MouseMoved(BPoint where, uint32, const BMessage*)
{
    if (IsTracking())
        SetValue(Bounds().Contains(where) ? B_CONTROL_ON : B_CONTROL_OFF);
}

// Released over the button: it clicks; released elsewhere: nothing.
void BButton::MouseUp(BPoint where)
{
    if (!IsTracking())
        return;
    SetTracking(false);
    SetValue(B_CONTROL_OFF);
    if (Bounds().Contains(where))
        Invoke();
}

void BButton::KeyDown(const char* bytes, int32 numBytes)
{
    if (numBytes == 1 && (bytes[0] == B_SPACE || bytes[0] == B_ENTER) && IsEnabled())
        Invoke();
}

void BButton::GetPreferredSize(float* width, float* height)
{
    if (width != nullptr)
        *width = std::max(75.0f, std::ceil(StringWidth(Label())) + 20);
    if (height != nullptr)
        *height = std::ceil(font_line_height(this)) + 9;
}
