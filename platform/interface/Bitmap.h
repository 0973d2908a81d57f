// A picture in memory: B_CMAP8 (an index into the system palette a pixel,
// rows padded to 4 bytes) or B_RGBA32/B_RGB32 (bytes B, G, R, A a pixel).
#pragma once

#include <SupportDefs.h>

#include "GraphicsDefs.h"
#include "Rect.h"

enum {
    B_BITMAP_ACCEPTS_VIEWS = 0x00000001,
    B_BITMAP_CLEAR_TO_WHITE = 0x00000004,
};

class BBitmap {
public:
    BBitmap(BRect bounds, color_space space, bool acceptsViews = false,
        bool needsContiguous = false);
    BBitmap(BRect bounds, uint32 flags, color_space space);
    BBitmap(const BBitmap* source);
    ~BBitmap();
    BBitmap(const BBitmap&) = delete;
    BBitmap& operator=(const BBitmap&) = delete;

    status_t InitCheck() const { return fBits != nullptr ? B_OK : B_BAD_VALUE; }
    bool IsValid() const { return fBits != nullptr; }

    BRect Bounds() const { return fBounds; }
    color_space ColorSpace() const { return fSpace; }
    void* Bits() const { return fBits; }
    int32 BitsLength() const { return fLength; }
    int32 BytesPerRow() const { return fBytesPerRow; }
    int32 PixelWidth() const { return fBounds.IntegerWidth() + 1; }
    int32 PixelHeight() const { return fBounds.IntegerHeight() + 1; }

    // Copies data in space into the bits from offset on, converting
    // between B_CMAP8 and the 32-bit spaces where they differ.
    void SetBits(const void* data, int32 length, int32 offset, color_space space);
    status_t ImportBits(const BBitmap* source);

    // The pixel at (x, y) as a colour (transparent for the magic index).
    rgb_color ColorAt(int32 x, int32 y) const;

private:
    void Allocate(BRect bounds, color_space space, uint32 flags);
    void PutColor(int32 x, int32 y, rgb_color c);

    BRect fBounds;
    color_space fSpace;
    uint8* fBits;
    int32 fLength;
    int32 fBytesPerRow;
};
