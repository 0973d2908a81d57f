// Colours, colour spaces and drawing modes of the interface kit.
#pragma once

#include <SupportDefs.h>

struct rgb_color {
    uint8 red;
    uint8 green;
    uint8 blue;
    uint8 alpha;

    rgb_color& set_to(uint8 r, uint8 g, uint8 b, uint8 a = 255)
    {
        red = r; green = g; blue = b; alpha = a;
        return *this;
    }
    bool operator==(const rgb_color& c) const
    {
        return red == c.red && green == c.green && blue == c.blue && alpha == c.alpha;
    }
    bool operator!=(const rgb_color& c) const { return !(*this == c); }
};

inline constexpr rgb_color make_color(uint8 r, uint8 g, uint8 b, uint8 a = 255)
{
    return rgb_color{r, g, b, a};
}

// The colour that B_OP_OVER treats as "no pixel" in 32-bit bitmaps, and the
// palette index that stands for it in 8-bit ones.
inline constexpr rgb_color B_TRANSPARENT_COLOR = {0x77, 0x74, 0x77, 0x00};
inline constexpr rgb_color B_TRANSPARENT_32_BIT = B_TRANSPARENT_COLOR;
inline constexpr uint8 B_TRANSPARENT_MAGIC_CMAP8 = 0xff;
inline constexpr uint32 B_TRANSPARENT_MAGIC_RGBA32 = 0x00777477;

enum color_space {
    B_NO_COLOR_SPACE = 0x0000,
    B_RGB32 = 0x0008,   // bytes B, G, R, unused
    B_RGBA32 = 0x2008,  // bytes B, G, R, A (not premultiplied)
    B_CMAP8 = 0x0004,   // one byte a pixel, an index into the system palette
    B_GRAY8 = 0x0002,
};

// 256 colours of the system palette and the inverse map from 15-bit colours.
struct color_map {
    int32 id;
    rgb_color color_list[256];
    uint8 inversion_map[256];
    uint8 index_map[32768];
};

const color_map* system_colors();
// The palette index nearest to a colour.
uint8 index_for_color(rgb_color c);

enum drawing_mode {
    B_OP_COPY,
    B_OP_OVER,
    B_OP_ERASE,
    B_OP_INVERT,
    B_OP_ADD,
    B_OP_SUBTRACT,
    B_OP_BLEND,
    B_OP_MIN,
    B_OP_MAX,
    B_OP_SELECT,
    B_OP_ALPHA,
};

enum source_alpha {
    B_PIXEL_ALPHA = 0,
    B_CONSTANT_ALPHA,
};

enum alpha_function {
    B_ALPHA_OVERLAY = 0,
    B_ALPHA_COMPOSITE,
};
