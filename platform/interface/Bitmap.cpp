#include "Bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

int32 bytes_per_pixel(color_space space)
{
    switch (space) {
        case B_RGB32:
        case B_RGBA32:
            return 4;
        case B_CMAP8:
        case B_GRAY8:
            return 1;
        default:
            return 0;
    }
}

}  // namespace

BBitmap::BBitmap(BRect bounds, color_space space, bool acceptsViews, bool needsContiguous)
    : fSpace(space), fBits(nullptr), fLength(0), fBytesPerRow(0)
{
    Allocate(bounds, space, acceptsViews ? B_BITMAP_ACCEPTS_VIEWS : 0);
}

BBitmap::BBitmap(BRect bounds, uint32 flags, color_space space)
    : fSpace(space), fBits(nullptr), fLength(0), fBytesPerRow(0)
{
    Allocate(bounds, space, flags);
}

BBitmap::BBitmap(const BBitmap* source)
    : fSpace(B_NO_COLOR_SPACE), fBits(nullptr), fLength(0), fBytesPerRow(0)
{
    if (source != nullptr && source->IsValid()) {
        Allocate(source->Bounds(), source->ColorSpace(), 0);
        if (fBits != nullptr)
            std::memcpy(fBits, source->fBits, size_t(fLength));
    }
}

BBitmap::~BBitmap()
{
    delete[] fBits;
}

void BBitmap::Allocate(BRect bounds, color_space space, uint32 flags)
{
    // Integral bounds only; a bitmap of more than 16384 pixels a side is
    // refused rather than allocated.
    bounds.Set(float(int32(bounds.left)), float(int32(bounds.top)), float(int32(bounds.right)),
        float(int32(bounds.bottom)));
    fBounds = bounds;
    fSpace = space;
    int32 bpp = bytes_per_pixel(space);
    if (bpp == 0 || !bounds.IsValid() || bounds.Width() >= 16384 || bounds.Height() >= 16384)
        return;
    int32 width = bounds.IntegerWidth() + 1;
    fBytesPerRow = (width * bpp + 3) & ~3;
    fLength = fBytesPerRow * (bounds.IntegerHeight() + 1);
    fBits = new (std::nothrow) uint8[size_t(fLength)];
    if (fBits == nullptr) {
        fLength = 0;
        return;
    }
    uint8 fill = (flags & B_BITMAP_CLEAR_TO_WHITE) ? 0xff : 0;
    if (space == B_CMAP8 && (flags & B_BITMAP_CLEAR_TO_WHITE))
        fill = index_for_color(make_color(255, 255, 255));
    std::memset(fBits, fill, size_t(fLength));
}

void BBitmap::SetBits(const void* data, int32 length, int32 offset, color_space space)
{
    if (fBits == nullptr || data == nullptr || length <= 0 || offset < 0 || offset >= fLength)
        return;
    const uint8* in = static_cast<const uint8*>(data);
    int32 outBpp = bytes_per_pixel(fSpace);
    int32 inBpp = bytes_per_pixel(space);
    if (space == fSpace || inBpp == 0) {
        std::memcpy(fBits + offset, in, size_t(std::min(length, fLength - offset)));
        return;
    }
    // Converting: the input is taken as packed rows of the same width.
    int32 width = PixelWidth();
    int32 pixels = length / inBpp;
    int32 start = offset / outBpp;
    for (int32 i = 0; i < pixels; i++) {
        int32 p = start + i;
        int32 x = p % width, y = p / width;
        if (y > fBounds.IntegerHeight())
            break;
        rgb_color c;
        if (space == B_CMAP8)
            c = system_colors()->color_list[in[i]];
        else if (space == B_GRAY8)
            c = make_color(in[i], in[i], in[i]);
        else
            c = make_color(in[i * 4 + 2], in[i * 4 + 1], in[i * 4], space == B_RGBA32 ? in[i * 4 + 3] : 255);
        PutColor(x, y, c);
    }
}

void BBitmap::PutColor(int32 x, int32 y, rgb_color c)
{
    uint8* out = fBits + y * fBytesPerRow + x * bytes_per_pixel(fSpace);
    if (fSpace == B_CMAP8)
        *out = index_for_color(c);
    else if (fSpace == B_GRAY8)
        *out = uint8((c.red * 30 + c.green * 59 + c.blue * 11) / 100);
    else {
        out[0] = c.blue;
        out[1] = c.green;
        out[2] = c.red;
        out[3] = fSpace == B_RGBA32 ? c.alpha : 255;
    }
}

status_t BBitmap::ImportBits(const BBitmap* source)
{
    if (source == nullptr || !source->IsValid() || !IsValid())
        return B_BAD_VALUE;
    if (source->PixelWidth() != PixelWidth() || source->PixelHeight() != PixelHeight())
        return B_BAD_VALUE;
    for (int32 y = 0; y < PixelHeight(); y++)
        for (int32 x = 0; x < PixelWidth(); x++)
            PutColor(x, y, source->ColorAt(x, y));
    return B_OK;
}

rgb_color BBitmap::ColorAt(int32 x, int32 y) const
{
    if (fBits == nullptr || x < 0 || y < 0 || x >= PixelWidth() || y >= PixelHeight())
        return B_TRANSPARENT_COLOR;
    const uint8* p = fBits + y * fBytesPerRow + x * bytes_per_pixel(fSpace);
    switch (fSpace) {
        case B_CMAP8:
            return system_colors()->color_list[*p];
        case B_GRAY8:
            return make_color(*p, *p, *p);
        case B_RGB32:
            return make_color(p[2], p[1], p[0]);
        default:
            return make_color(p[2], p[1], p[0], p[3]);
    }
}
