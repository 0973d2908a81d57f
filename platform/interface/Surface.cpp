#include "Surface.h"

#include <algorithm>
#include <cmath>

#include "TextRenderer.h"

namespace BPrivate {

Surface::Surface(int32 width, int32 height)
    : fSurface(nullptr), fWidth(0), fHeight(0)
{
    Resize(width, height);
}

Surface::~Surface()
{
    if (fSurface != nullptr)
        cairo_surface_destroy(fSurface);
}

void Surface::Resize(int32 width, int32 height)
{
    width = std::clamp(width, int32(1), int32(16384));
    height = std::clamp(height, int32(1), int32(16384));
    if (fSurface != nullptr && width == fWidth && height == fHeight)
        return;
    cairo_surface_t* next = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(next) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(next);
        return;
    }
    if (fSurface != nullptr) {
        cairo_t* cr = cairo_create(next);
        cairo_set_source_surface(cr, fSurface, 0, 0);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_destroy(fSurface);
    }
    fSurface = next;
    fWidth = width;
    fHeight = height;
}

rgb_color Surface::PixelAt(int32 x, int32 y) const
{
    if (fSurface == nullptr || x < 0 || y < 0 || x >= fWidth || y >= fHeight)
        return make_color(0, 0, 0, 0);
    cairo_surface_flush(fSurface);
    const uint8* row = cairo_image_surface_get_data(fSurface)
        + y * cairo_image_surface_get_stride(fSurface);
    uint32 p = reinterpret_cast<const uint32*>(row)[x];
    uint8 a = uint8(p >> 24);
    auto unpremultiply = [a](uint32 c) { return uint8(a == 0 ? 0 : (c * 255 + a / 2) / a); };
    return make_color(unpremultiply((p >> 16) & 0xff), unpremultiply((p >> 8) & 0xff),
        unpremultiply(p & 0xff), a);
}

status_t Surface::WritePNG(const char* path) const
{
    if (fSurface == nullptr || path == nullptr)
        return B_BAD_VALUE;
    cairo_surface_flush(fSurface);
    return cairo_surface_write_to_png(fSurface, path) == CAIRO_STATUS_SUCCESS ? B_OK : B_IO_ERROR;
}

Painter::Painter(Surface& surface, BPoint origin, BRect clip)
    : fContext(nullptr)
{
    if (!surface.IsValid() || !clip.IsValid())
        return;
    fContext = cairo_create(surface.Native());
    cairo_rectangle(fContext, std::floor(clip.left), std::floor(clip.top),
        std::floor(clip.right) - std::floor(clip.left) + 1,
        std::floor(clip.bottom) - std::floor(clip.top) + 1);
    cairo_clip(fContext);
    cairo_translate(fContext, origin.x, origin.y);
}

Painter::~Painter()
{
    if (fContext != nullptr)
        cairo_destroy(fContext);
}

void Painter::SetSource(const DrawState& s, bool low)
{
    rgb_color c = low ? s.low : s.high;
    double alpha = 1.0;
    cairo_operator_t op = CAIRO_OPERATOR_OVER;
    switch (s.mode) {
        case B_OP_ERASE:
            c = s.low;
            break;
        case B_OP_INVERT:
            c = make_color(255, 255, 255);
            op = CAIRO_OPERATOR_DIFFERENCE;
            break;
        case B_OP_ALPHA:
            alpha = (s.srcAlpha == B_CONSTANT_ALPHA ? s.high.alpha : c.alpha) / 255.0;
            break;
        case B_OP_ADD:
            op = CAIRO_OPERATOR_ADD;
            break;
        case B_OP_MIN:
            op = CAIRO_OPERATOR_DARKEN;
            break;
        case B_OP_MAX:
            op = CAIRO_OPERATOR_LIGHTEN;
            break;
        case B_OP_BLEND:
            alpha = 0.5;
            break;
        default:
            // B_OP_COPY, B_OP_OVER, B_OP_SELECT, B_OP_SUBTRACT: opaque paint.
            break;
    }
    cairo_set_operator(fContext, op);
    cairo_set_source_rgba(fContext, c.red / 255.0, c.green / 255.0, c.blue / 255.0, alpha);
}

// Inclusive edges: a rectangle covers its right and bottom pixels too.
void Painter::FillRect(BRect r, const DrawState& s, bool low)
{
    if (fContext == nullptr || !r.IsValid())
        return;
    SetSource(s, low);
    cairo_rectangle(fContext, r.left, r.top, r.Width() + 1, r.Height() + 1);
    cairo_fill(fContext);
}

void Painter::StrokeRect(BRect r, const DrawState& s, bool low)
{
    if (fContext == nullptr || !r.IsValid())
        return;
    StrokeLine(r.LeftTop(), r.RightTop(), s, low);
    StrokeLine(r.RightTop(), r.RightBottom(), s, low);
    StrokeLine(r.RightBottom(), r.LeftBottom(), s, low);
    StrokeLine(r.LeftBottom(), r.LeftTop(), s, low);
}

void Painter::StrokeLine(BPoint a, BPoint b, const DrawState& s, bool low)
{
    if (fContext == nullptr)
        return;
    SetSource(s, low);
    double w = std::max(1.0f, s.penSize);
    if (a == b) {
        cairo_rectangle(fContext, a.x + 0.5 - w / 2, a.y + 0.5 - w / 2, w, w);
        cairo_fill(fContext);
        return;
    }
    // Square caps make the line cover both end pixels, as an inclusive
    // line of pixels does.
    cairo_set_line_width(fContext, w);
    cairo_set_line_cap(fContext, CAIRO_LINE_CAP_SQUARE);
    cairo_move_to(fContext, a.x + 0.5, a.y + 0.5);
    cairo_line_to(fContext, b.x + 0.5, b.y + 0.5);
    cairo_stroke(fContext);
}

namespace {

void ellipse_path(cairo_t* cr, BRect r, double inset)
{
    double cx = (r.left + r.right + 1) / 2.0, cy = (r.top + r.bottom + 1) / 2.0;
    double rx = (r.Width() + 1) / 2.0 - inset, ry = (r.Height() + 1) / 2.0 - inset;
    if (rx <= 0 || ry <= 0)
        return;
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0, 0, 1.0, 0, 2 * M_PI);
    cairo_restore(cr);
}

}  // namespace

void Painter::FillEllipse(BRect r, const DrawState& s, bool low)
{
    if (fContext == nullptr || !r.IsValid())
        return;
    SetSource(s, low);
    ellipse_path(fContext, r, 0);
    cairo_fill(fContext);
}

void Painter::StrokeEllipse(BRect r, const DrawState& s, bool low)
{
    if (fContext == nullptr || !r.IsValid())
        return;
    SetSource(s, low);
    double w = std::max(1.0f, s.penSize);
    cairo_set_line_width(fContext, w);
    ellipse_path(fContext, r, w / 2);
    cairo_stroke(fContext);
}

void Painter::FillTriangle(BPoint a, BPoint b, BPoint c, const DrawState& s, bool low)
{
    if (fContext == nullptr)
        return;
    SetSource(s, low);
    cairo_move_to(fContext, a.x + 0.5, a.y + 0.5);
    cairo_line_to(fContext, b.x + 0.5, b.y + 0.5);
    cairo_line_to(fContext, c.x + 0.5, c.y + 0.5);
    cairo_close_path(fContext);
    // Cover the edge pixels too, as the inclusive triangle does.
    cairo_fill_preserve(fContext);
    cairo_set_line_width(fContext, 1.0);
    cairo_stroke(fContext);
}

float Painter::DrawString(const char* text, int32 length, BPoint baseline, const DrawState& s)
{
    if (fContext == nullptr || text == nullptr)
        return 0.0f;
    SetSource(s, false);
    return draw_text(fContext, s.font, text, length, baseline.x, baseline.y);
}

void Painter::DrawBitmap(const BBitmap* bitmap, BRect source, BRect destination,
    const DrawState& s)
{
    if (fContext == nullptr || bitmap == nullptr || !bitmap->IsValid() || !source.IsValid()
        || !destination.IsValid())
        return;
    BRect bounds = bitmap->Bounds();
    source = source & bounds;
    if (!source.IsValid())
        return;
    int32 w = source.IntegerWidth() + 1, h = source.IntegerHeight() + 1;
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        return;
    }
    // What a pixel becomes depends on the mode: B_OP_COPY draws every pixel
    // opaque, B_OP_OVER leaves out the transparent ones, B_OP_ALPHA blends
    // with the pixel's alpha or the high colour's.
    uint8* data = cairo_image_surface_get_data(image);
    int stride = cairo_image_surface_get_stride(image);
    bool cmap8 = bitmap->ColorSpace() == B_CMAP8;
    bool opaqueSpace = cmap8 || bitmap->ColorSpace() == B_RGB32 || bitmap->ColorSpace() == B_GRAY8;
    for (int32 y = 0; y < h; y++) {
        uint32* row = reinterpret_cast<uint32*>(data + y * stride);
        for (int32 x = 0; x < w; x++) {
            int32 bx = x + int32(source.left - bounds.left), by = y + int32(source.top - bounds.top);
            rgb_color c = bitmap->ColorAt(bx, by);
            bool transparent = cmap8 ? c.alpha == 0
                : (c.red == 0x77 && c.green == 0x74 && c.blue == 0x77);
            uint32 pixelAlpha = opaqueSpace ? 255 : c.alpha;
            uint32 a = 255;
            if (s.mode == B_OP_ALPHA)
                a = transparent ? 0 : s.srcAlpha == B_CONSTANT_ALPHA ? s.high.alpha : pixelAlpha;
            else if (s.mode == B_OP_OVER)
                a = transparent || pixelAlpha == 0 ? 0 : 255;
            row[x] = (a << 24) | ((c.red * a / 255) << 16) | ((c.green * a / 255) << 8)
                | (c.blue * a / 255);
        }
    }
    cairo_surface_mark_dirty(image);
    cairo_save(fContext);
    cairo_rectangle(fContext, destination.left, destination.top, destination.Width() + 1,
        destination.Height() + 1);
    cairo_clip(fContext);
    cairo_translate(fContext, destination.left, destination.top);
    cairo_scale(fContext, (destination.Width() + 1) / w, (destination.Height() + 1) / h);
    cairo_set_source_surface(fContext, image, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(fContext), CAIRO_FILTER_NEAREST);
    cairo_set_operator(fContext, CAIRO_OPERATOR_OVER);
    cairo_paint(fContext);
    cairo_restore(fContext);
    cairo_surface_destroy(image);
}

}  // namespace BPrivate
