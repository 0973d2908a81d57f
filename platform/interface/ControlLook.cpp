#include "ControlLook.h"

#include <algorithm>
#include <cmath>

namespace BPrivate {

float font_line_height(const BView* view)
{
    font_height fh;
    view->GetFontHeight(&fh);
    return fh.ascent + fh.descent;
}

float centred_baseline(const BView* view, BRect r)
{
    font_height fh;
    view->GetFontHeight(&fh);
    return r.top + std::floor((r.Height() + 1 - (fh.ascent + fh.descent)) / 2 + fh.ascent + 0.5f);
}

void draw_label(BView* view, const char* text, float x, float y, bool enabled)
{
    if (text == nullptr || *text == '\0')
        return;
    rgb_color c = ui_color(B_PANEL_TEXT_COLOR);
    view->SetHighColor(enabled ? c : tint_color(ui_color(B_PANEL_BACKGROUND_COLOR), B_DARKEN_3_TINT));
    view->SetDrawingMode(B_OP_OVER);
    view->DrawString(text, BPoint(x, y));
}

void draw_bevel(BView* view, BRect r, bool raised)
{
    rgb_color panel = ui_color(B_PANEL_BACKGROUND_COLOR);
    rgb_color light = tint_color(panel, B_LIGHTEN_MAX_TINT);
    rgb_color dark = tint_color(panel, B_DARKEN_2_TINT);
    view->SetDrawingMode(B_OP_COPY);
    view->SetHighColor(raised ? light : dark);
    view->StrokeLine(r.LeftBottom(), r.LeftTop());
    view->StrokeLine(r.RightTop());
    view->SetHighColor(raised ? dark : light);
    view->StrokeLine(BPoint(r.right, r.top + 1), r.RightBottom());
    view->StrokeLine(BPoint(r.left + 1, r.bottom));
}

void adopt_parent_colors(BView* view)
{
    if (view->Parent() != nullptr) {
        view->SetViewColor(view->Parent()->ViewColor());
        view->SetLowColor(view->Parent()->ViewColor());
    }
}

BRect centred_band(BRect r, float height)
{
    BRect band = r;
    float middle = std::floor(r.Height() / 2);
    band.top = std::max(r.top, r.top + middle - std::floor(height / 2));
    band.bottom = std::min(r.bottom, band.top + height);
    return band;
}

void draw_focus_line(BView* view, float x, float baseline, float width)
{
    view->SetDrawingMode(B_OP_COPY);
    view->SetHighColor(ui_color(B_KEYBOARD_NAVIGATION_COLOR));
    float y = baseline + 2;
    view->StrokeLine(BPoint(x, y), BPoint(x + std::ceil(width) - 1, y));
}

}  // namespace BPrivate
