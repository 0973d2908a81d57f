#include "CheckBox.h"

#include <cmath>

#include "ArchivePrivate.h"
#include "ControlLook.h"
#include "RadioButton.h"

using namespace BPrivate;

namespace {

// Room for the box or knob in front of the label.
const float kLabelOffset = 17;

// The 12 x 12 square of the box or knob, centred on the label's line.
BRect mark_frame(const BView* view)
{
    float middle = std::floor(view->Bounds().Height() / 2);
    return BRect(1, middle - 6, 12, middle + 5);
}

void draw_control_label(BControl* control)
{
    float baseline = centred_baseline(control, control->Bounds());
    draw_label(control, control->Label(), kLabelOffset, baseline, control->IsEnabled());
    if (control->IsFocus() && control->IsEnabled())
        draw_focus_line(control, kLabelOffset, baseline, control->StringWidth(control->Label()));
}

void preferred_size(BControl* control, float* width, float* height)
{
    if (width != nullptr)
        *width = std::ceil(control->StringWidth(control->Label())) + kLabelOffset + 2;
    if (height != nullptr)
        *height = std::max(13.0f, std::ceil(font_line_height(control)) + 2);
}

bool is_toggle_key(const char* bytes, int32 numBytes)
{
    return numBytes == 1 && (bytes[0] == B_SPACE || bytes[0] == B_ENTER);
}

// A press shows in the box until the release; released inside, it counts.
void begin_press(BControl* control)
{
    if (!control->IsEnabled())
        return;
    control->SetTracking(true);
    control->Invalidate();
    control->SetMouseEventMask(B_POINTER_EVENTS, B_NO_POINTER_HISTORY);
}

bool end_press(BControl* control, BPoint where)
{
    if (!control->IsTracking())
        return false;
    control->SetTracking(false);
    control->Invalidate();
    return control->Bounds().Contains(where);
}


}  // namespace

BCheckBox::BCheckBox(BRect frame, const char* name, const char* label, BMessage* message,
    uint32 resizingMode, uint32 flags)
    : BControl(frame, name, label, message, resizingMode, flags)
{
}

BCheckBox::~BCheckBox() = default;

BCheckBox::BCheckBox(BMessage* archive) : BControl(archive) {}

BArchivable* BCheckBox::Instantiate(BMessage* archive)
{
    return BPrivate::instantiate_as<BCheckBox>(archive, "BCheckBox");
}

status_t BCheckBox::Archive(BMessage* into, bool deep) const
{
    return BControl::Archive(into, deep);
}

B_REGISTER_ARCHIVABLE(BCheckBox);

void BCheckBox::Draw(BRect)
{
    SetDrawingMode(B_OP_COPY);
    SetHighColor(ViewColor());
    FillRect(Bounds());
    BRect box = mark_frame(this);
    rgb_color panel = ui_color(B_PANEL_BACKGROUND_COLOR);
    SetHighColor(IsTracking() ? tint_color(panel, B_DARKEN_1_TINT) : make_color(255, 255, 255));
    FillRect(box.InsetByCopy(1, 1));
    draw_bevel(this, box, false);
    SetHighColor(tint_color(panel, B_DARKEN_4_TINT));
    StrokeRect(box.InsetByCopy(1, 1));
    if (Value() != B_CONTROL_OFF) {
        // The check: a cross, two pixels wide.
        BRect in = box.InsetByCopy(3, 3);
        SetHighColor(IsEnabled() ? make_color(0, 0, 0) : tint_color(panel, B_DARKEN_3_TINT));
        SetPenSize(2);
        StrokeLine(in.LeftTop() + BPoint(0.5f, 0.5f), in.RightBottom() - BPoint(0.5f, 0.5f));
        StrokeLine(in.LeftBottom() + BPoint(0.5f, -0.5f), in.RightTop() + BPoint(-0.5f, 0.5f));
        SetPenSize(1);
    }
    draw_control_label(this);
}

void BCheckBox::MouseDown(BPoint)
{
    begin_press(this);
}

void BCheckBox::MouseUp(BPoint where)
{
    if (end_press(this, where)) {
        SetValue(Value() == B_CONTROL_OFF ? B_CONTROL_ON : B_CONTROL_OFF);
        Invoke();
    }
}

void BCheckBox::KeyDown(const char* bytes, int32 numBytes)
{
    if (is_toggle_key(bytes, numBytes) && IsEnabled()) {
        SetValue(Value() == B_CONTROL_OFF ? B_CONTROL_ON : B_CONTROL_OFF);
        Invoke();
    }
}

void BCheckBox::GetPreferredSize(float* width, float* height)
{
    preferred_size(this, width, height);
}

BRadioButton::BRadioButton(BRect frame, const char* name, const char* label,
    BMessage* message, uint32 resizingMode, uint32 flags)
    : BControl(frame, name, label, message, resizingMode, flags)
{
}

BRadioButton::~BRadioButton() = default;

// The archived value is taken as it is: the group it was saved with was
// consistent.
BRadioButton::BRadioButton(BMessage* archive) : BControl(archive) {}

BArchivable* BRadioButton::Instantiate(BMessage* archive)
{
    return BPrivate::instantiate_as<BRadioButton>(archive, "BRadioButton");
}

status_t BRadioButton::Archive(BMessage* into, bool deep) const
{
    return BControl::Archive(into, deep);
}

B_REGISTER_ARCHIVABLE(BRadioButton);

void BRadioButton::SetValue(int32 value)
{
    BControl::SetValue(value != B_CONTROL_OFF ? B_CONTROL_ON : B_CONTROL_OFF);
    if (value == B_CONTROL_OFF || Parent() == nullptr)
        return;
    for (int32 i = 0; i < Parent()->CountChildren(); i++) {
        auto* other = dynamic_cast<BRadioButton*>(Parent()->ChildAt(i));
        if (other != nullptr && other != this)
            other->BControl::SetValue(B_CONTROL_OFF);
    }
}

void BRadioButton::Draw(BRect)
{
    SetDrawingMode(B_OP_COPY);
    SetHighColor(ViewColor());
    FillRect(Bounds());
    BRect knob = mark_frame(this);
    rgb_color panel = ui_color(B_PANEL_BACKGROUND_COLOR);
    SetHighColor(IsTracking() ? tint_color(panel, B_DARKEN_1_TINT) : make_color(255, 255, 255));
    FillEllipse(knob);
    SetHighColor(tint_color(panel, B_DARKEN_4_TINT));
    StrokeEllipse(knob);
    if (Value() != B_CONTROL_OFF) {
        SetHighColor(IsEnabled() ? make_color(0, 0, 0) : tint_color(panel, B_DARKEN_3_TINT));
        FillEllipse(knob.InsetByCopy(3, 3));
    }
    draw_control_label(this);
}

void BRadioButton::MouseDown(BPoint)
{
    begin_press(this);
}

// A radio button is only ever switched on by the user.
void BRadioButton::MouseUp(BPoint where)
{
    if (end_press(this, where)) {
        SetValue(B_CONTROL_ON);
        Invoke();
    }
}

void BRadioButton::KeyDown(const char* bytes, int32 numBytes)
{
    if (is_toggle_key(bytes, numBytes) && IsEnabled()) {
        SetValue(B_CONTROL_ON);
        Invoke();
    }
}

void BRadioButton::GetPreferredSize(float* width, float* height)
{
    preferred_size(this, width, height);
}
