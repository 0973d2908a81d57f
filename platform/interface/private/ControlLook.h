// The shared look of the controls: where text sits in a box, raised and
// sunken edges, and the mark of the keyboard focus.
#pragma once

#include "View.h"

namespace BPrivate {

// The baseline that centres a line of the view's font in r.
float centred_baseline(const BView* view, BRect r);
float font_line_height(const BView* view);
// Draws text with its baseline at y, starting at x, in the panel text
// colour (greyed when disabled).
void draw_label(BView* view, const char* text, float x, float y, bool enabled);
// A box edge: light on the top and left, dark on the bottom and right
// when raised, the other way round when sunken.
void draw_bevel(BView* view, BRect r, bool raised);
// Takes the view and low colours of the parent, as controls do when they
// are attached.
void adopt_parent_colors(BView* view);
// A band of the given height, centred vertically in r.
BRect centred_band(BRect r, float height);
// The blue line under a label that has the keyboard focus.
void draw_focus_line(BView* view, float x, float baseline, float width);

}  // namespace BPrivate
