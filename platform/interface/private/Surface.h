// The pixels a window draws into, on screen or off it: a cairo image in
// premultiplied ARGB, and a painter that draws in a view's coordinates with
// the view's drawing state, clipped to what the view may touch.
#pragma once

#include <cairo.h>

#include "Bitmap.h"
#include "Font.h"
#include "GraphicsDefs.h"
#include "Rect.h"

namespace BPrivate {

struct DrawState {
    rgb_color high = {0, 0, 0, 255};
    rgb_color low = {255, 255, 255, 255};
    drawing_mode mode = B_OP_COPY;
    source_alpha srcAlpha = B_PIXEL_ALPHA;
    alpha_function alphaFunction = B_ALPHA_OVERLAY;
    float penSize = 1.0f;
    BFont font;
};

class Surface {
public:
    Surface(int32 width, int32 height);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    bool IsValid() const { return fSurface != nullptr; }
    int32 Width() const { return fWidth; }
    int32 Height() const { return fHeight; }
    // New size; what fits of the old picture is kept at the top left.
    void Resize(int32 width, int32 height);
    cairo_surface_t* Native() const { return fSurface; }

    // The colour at a pixel, not premultiplied; transparent outside.
    rgb_color PixelAt(int32 x, int32 y) const;
    status_t WritePNG(const char* path) const;

private:
    cairo_surface_t* fSurface;
    int32 fWidth;
    int32 fHeight;
};

// Draws onto a surface; origin is where the view's (0, 0) lies on the
// surface and clip the surface rectangle (inclusive) it may touch.
class Painter {
public:
    Painter(Surface& surface, BPoint origin, BRect clip);
    ~Painter();
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    bool IsValid() const { return fContext != nullptr; }

    void FillRect(BRect r, const DrawState& s, bool low);
    void StrokeRect(BRect r, const DrawState& s, bool low);
    void StrokeLine(BPoint a, BPoint b, const DrawState& s, bool low);
    void FillEllipse(BRect r, const DrawState& s, bool low);
    void StrokeEllipse(BRect r, const DrawState& s, bool low);
    void FillTriangle(BPoint a, BPoint b, BPoint c, const DrawState& s, bool low);
    // Returns the advance of the text.
    float DrawString(const char* text, int32 length, BPoint baseline, const DrawState& s);
    void DrawBitmap(const BBitmap* bitmap, BRect source, BRect destination, const DrawState& s);

private:
    void SetSource(const DrawState& s, bool low);

    cairo_t* fContext;
};

}  // namespace BPrivate
