#include "Box.h"

#include <cmath>

#include "ArchivePrivate.h"
#include "ControlLook.h"

BBox::BBox(BRect frame, const char* name, uint32 resizingMode, uint32 flags, border_style border)
    : BView(frame, name, resizingMode, flags), fBorder(border)
{
}

BBox::~BBox() = default;

BBox::BBox(BMessage* archive) : BView(archive), fBorder(B_FANCY_BORDER)
{
    int32 border = B_FANCY_BORDER;
    BPrivate::read_field(archive, "_style", &border);
    if (border == B_PLAIN_BORDER || border == B_NO_BORDER)
        fBorder = border_style(border);
    BPrivate::read_field(archive, "_label", &fLabel);
}

BArchivable* BBox::Instantiate(BMessage* archive)
{
    return BPrivate::instantiate_as<BBox>(archive, "BBox");
}

status_t BBox::Archive(BMessage* into, bool deep) const
{
    status_t status = BView::Archive(into, deep);
    if (status == B_OK)
        status = into->AddInt32("_style", int32(fBorder));
    if (status == B_OK && !fLabel.empty())
        status = into->AddString("_label", fLabel.c_str());
    return status;
}

B_REGISTER_ARCHIVABLE(BBox);

void BBox::AttachedToWindow()
{
    BPrivate::adopt_parent_colors(this);
}

void BBox::Draw(BRect)
{
    BRect r = Bounds();
    font_height fh;
    GetFontHeight(&fh);
    if (!fLabel.empty())
        r.top = std::floor((fh.ascent + fh.descent) / 2);
    rgb_color panel = ui_color(B_PANEL_BACKGROUND_COLOR);
    SetDrawingMode(B_OP_COPY);
    if (fBorder == B_FANCY_BORDER) {
        // An etched line: dark, with a light one just below and right of it.
        // A box two pixels high is a horizontal rule.
        SetHighColor(tint_color(panel, B_DARKEN_2_TINT));
        StrokeRect(BRect(r.left, r.top, std::max(r.left, r.right - 1), std::max(r.top, r.bottom - 1)));
        SetHighColor(tint_color(panel, B_LIGHTEN_MAX_TINT));
        StrokeRect(BRect(std::min(r.right, r.left + 1), std::min(r.bottom, r.top + 1), r.right, r.bottom));
    } else if (fBorder == B_PLAIN_BORDER) {
        SetHighColor(tint_color(panel, B_DARKEN_2_TINT));
        StrokeRect(r);
    }
    if (!fLabel.empty()) {
        float width = StringWidth(fLabel.c_str());
        SetHighColor(ViewColor());
        FillRect(BRect(6, 0, 6 + std::ceil(width) + 7, std::ceil(fh.ascent + fh.descent)));
        BPrivate::draw_label(this, fLabel.c_str(), 10, std::floor(fh.ascent + 0.5f), true);
    }
}

void BBox::SetBorder(border_style border)
{
    fBorder = border;
    Invalidate();
}

void BBox::SetLabel(const char* label)
{
    fLabel = label ? label : "";
    Invalidate();
}
