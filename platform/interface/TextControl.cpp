#include "TextControl.h"

#include <UTF8.h>

#include <algorithm>
#include <cmath>

#include "ArchivePrivate.h"
#include "ControlLook.h"

using namespace BPrivate;

namespace {

int32 previous_character(const std::string& s, int32 at)
{
    if (at <= 0)
        return 0;
    at--;
    while (at > 0 && is_utf8_continuation(s[size_t(at)]))
        at--;
    return at;
}

int32 next_character(const std::string& s, int32 at)
{
    int32 n = int32(s.size());
    if (at >= n)
        return n;
    at++;
    while (at < n && is_utf8_continuation(s[size_t(at)]))
        at++;
    return at;
}

const float kTextInset = 3;

}  // namespace

BTextControl::BTextControl(BRect frame, const char* name, const char* label,
    const char* initialText, BMessage* message, uint32 resizingMode, uint32 flags)
    : BControl(frame, name, label, message, resizingMode, flags),
      fText(initialText ? initialText : ""),
      fDivider(0),
      fCaret(int32(fText.size())),
      fChanged(false)
{
    // Without a label the field takes the whole width.
    if (label != nullptr && *label != '\0')
        fDivider = std::ceil(StringWidth(label)) + 5;
}

BTextControl::BTextControl(BMessage* archive)
    : BControl(archive), fDivider(0), fCaret(0), fChanged(false)
{
    BPrivate::read_field(archive, "_text", &fText);
    BPrivate::read_field(archive, "_divider", &fDivider);
    fCaret = int32(fText.size());
}

BArchivable* BTextControl::Instantiate(BMessage* archive)
{
    return BPrivate::instantiate_as<BTextControl>(archive, "BTextControl");
}

status_t BTextControl::Archive(BMessage* into, bool deep) const
{
    status_t status = BControl::Archive(into, deep);
    if (status == B_OK)
        status = into->AddString("_text", fText.c_str());
    if (status == B_OK)
        status = into->AddFloat("_divider", fDivider);
    return status;
}

B_REGISTER_ARCHIVABLE(BTextControl);

BTextControl::~BTextControl() = default;

BRect BTextControl::FieldFrame() const
{
    BRect r = centred_band(Bounds(), std::ceil(font_line_height(this)) + 4);
    r.left = std::min(fDivider, r.right);
    return r;
}

void BTextControl::Draw(BRect)
{
    SetDrawingMode(B_OP_COPY);
    SetHighColor(ViewColor());
    FillRect(Bounds());
    BRect field = FieldFrame();
    float baseline = centred_baseline(this, field);
    if (fDivider > 0) {
        draw_label(this, Label(), 0, baseline, IsEnabled());
    }
    SetDrawingMode(B_OP_COPY);
    SetHighColor(IsEnabled() ? make_color(255, 255, 255) : ui_color(B_PANEL_BACKGROUND_COLOR));
    FillRect(field.InsetByCopy(1, 1));
    draw_bevel(this, field, false);
    if (IsFocus()) {
        SetHighColor(ui_color(B_KEYBOARD_NAVIGATION_COLOR));
        StrokeRect(field.InsetByCopy(1, 1));
    }
    float x = field.left + kTextInset;
    draw_label(this, Text(), x, baseline, IsEnabled());
    if (IsFocus()) {
        float caretX = x + std::round(StringWidth(Text(), fCaret));
        SetDrawingMode(B_OP_COPY);
        SetHighColor(0, 0, 0);
        StrokeLine(BPoint(caretX, field.top + 3), BPoint(caretX, field.bottom - 3));
    }
}

void BTextControl::MouseDown(BPoint where)
{
    if (!IsEnabled())
        return;
    MakeFocus(true);
    // The caret goes to the character boundary nearest the pointer.
    float x = where.x - (FieldFrame().left + kTextInset);
    int32 best = 0;
    float bestDistance = std::fabs(x);
    for (int32 at = next_character(fText, 0); at <= int32(fText.size());
         at = next_character(fText, at)) {
        float d = std::fabs(StringWidth(Text(), at) - x);
        if (d < bestDistance) {
            bestDistance = d;
            best = at;
        }
        if (at == int32(fText.size()))
            break;
    }
    fCaret = best;
    Invalidate();
}

void BTextControl::KeyDown(const char* bytes, int32 numBytes)
{
    if (!IsEnabled() || bytes == nullptr || numBytes <= 0)
        return;
    uint8 c = uint8(bytes[0]);
    switch (c) {
        case B_BACKSPACE: {
            int32 from = previous_character(fText, fCaret);
            fText.erase(size_t(from), size_t(fCaret - from));
            fCaret = from;
            fChanged = true;
            break;
        }
        case B_DELETE: {
            int32 to = next_character(fText, fCaret);
            fText.erase(size_t(fCaret), size_t(to - fCaret));
            fChanged = true;
            break;
        }
        case B_LEFT_ARROW:
            fCaret = previous_character(fText, fCaret);
            break;
        case B_RIGHT_ARROW:
            fCaret = next_character(fText, fCaret);
            break;
        case B_HOME:
        case B_UP_ARROW:
            fCaret = 0;
            break;
        case B_END:
        case B_DOWN_ARROW:
            fCaret = int32(fText.size());
            break;
        case B_ENTER:
            fChanged = false;
            Invoke();
            break;
        default:
            // Control characters are not text; everything else (a UTF-8
            // character of one or more bytes) is.
            if (c < 0x20 || c == B_DELETE)
                return;
            fText.insert(size_t(fCaret), bytes, size_t(numBytes));
            fCaret += numBytes;
            fChanged = true;
            break;
    }
    Invalidate();
}

// Leaving the field after a change invokes the control, as Enter does.
void BTextControl::MakeFocus(bool focus)
{
    bool had = IsFocus();
    BControl::MakeFocus(focus);
    if (had && !IsFocus() && fChanged) {
        fChanged = false;
        Invoke();
    }
}

void BTextControl::GetPreferredSize(float* width, float* height)
{
    if (width != nullptr)
        *width = std::max(fDivider + 60, fDivider + std::ceil(StringWidth(Text())) + 2 * kTextInset + 2);
    if (height != nullptr)
        *height = std::ceil(font_line_height(this)) + 4;
}

void BTextControl::SetText(const char* text)
{
    fText = text ? text : "";
    fCaret = int32(fText.size());
    fChanged = false;
    Invalidate();
}

void BTextControl::SetDivider(float position)
{
    fDivider = std::max(0.0f, position);
    Invalidate();
}
