// Text layout on Pango: measuring and drawing share one font map, guarded
// by one lock, because Pango objects must not be used by two threads at once.
#pragma once

#include <cairo.h>

#include "Font.h"

namespace BPrivate {

float text_width(const BFont& font, const char* text, int32 length);
font_height text_height(const BFont& font);
// Draws with the current source of cr; the baseline of the text starts at
// (x, baseline). Returns the advance.
float draw_text(cairo_t* cr, const BFont& font, const char* text, int32 length, double x,
    double baseline);

}  // namespace BPrivate
