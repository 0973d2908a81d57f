#include "InterfaceDefs.h"

#include <atomic>
#include <cstdlib>

namespace {

// The palette: 32 greys from black to white, a 6 x 6 x 6 colour cube, a few
// spare greys, and the transparent index last.
color_map make_system_colors()
{
    color_map map{};
    map.id = 0;
    int index = 0;
    for (int i = 0; i < 32; i++) {
        uint8 v = uint8((i * 255 + 15) / 31);
        map.color_list[index++] = make_color(v, v, v);
    }
    for (int r = 0; r < 6; r++)
        for (int g = 0; g < 6; g++)
            for (int b = 0; b < 6; b++)
                map.color_list[index++] = make_color(uint8(r * 51), uint8(g * 51), uint8(b * 51));
    while (index < 255) {
        uint8 v = uint8(36 + (index - 248) * 28);
        map.color_list[index++] = make_color(v, v, v);
    }
    map.color_list[B_TRANSPARENT_MAGIC_CMAP8] = B_TRANSPARENT_COLOR;

    auto nearest = [&map](int r, int g, int b) {
        int best = 0;
        long bestDistance = -1;
        for (int i = 0; i < 255; i++) {
            const rgb_color& c = map.color_list[i];
            long d = long(c.red - r) * (c.red - r) + long(c.green - g) * (c.green - g)
                + long(c.blue - b) * (c.blue - b);
            if (bestDistance < 0 || d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        return uint8(best);
    };
    for (int i = 0; i < 32768; i++) {
        int r = (i >> 10) & 31, g = (i >> 5) & 31, b = i & 31;
        map.index_map[i] = nearest(r * 255 / 31, g * 255 / 31, b * 255 / 31);
    }
    for (int i = 0; i < 256; i++) {
        const rgb_color& c = map.color_list[i];
        map.inversion_map[i] = i == B_TRANSPARENT_MAGIC_CMAP8
            ? uint8(i) : nearest(255 - c.red, 255 - c.green, 255 - c.blue);
    }
    return map;
}

std::atomic<bigtime_t> sClickSpeed{500000};

}  // namespace

const color_map* system_colors()
{
    static const color_map* map = new color_map(make_system_colors());
    return map;
}

uint8 index_for_color(rgb_color c)
{
    if (c.alpha == 0)
        return B_TRANSPARENT_MAGIC_CMAP8;
    return system_colors()->index_map[((c.red >> 3) << 10) | ((c.green >> 3) << 5) | (c.blue >> 3)];
}

rgb_color ui_color(color_which which)
{
    switch (which) {
        case B_PANEL_BACKGROUND_COLOR:
        case B_MENU_BACKGROUND_COLOR:
        case B_CONTROL_BACKGROUND_COLOR:
            return make_color(216, 216, 216);
        case B_WINDOW_TAB_COLOR:
            return make_color(255, 203, 0);
        case B_KEYBOARD_NAVIGATION_COLOR:
            return make_color(0, 0, 229);
        case B_DESKTOP_COLOR:
            return make_color(51, 102, 152);
        case B_MENU_SELECTION_BACKGROUND_COLOR:
            return make_color(152, 152, 152);
        case B_MENU_SELECTED_BORDER_COLOR:
            return make_color(96, 96, 96);
        case B_DOCUMENT_BACKGROUND_COLOR:
        case B_SHINE_COLOR:
            return make_color(255, 255, 255);
        case B_CONTROL_HIGHLIGHT_COLOR:
            return make_color(102, 152, 203);
        case B_CONTROL_BORDER_COLOR:
            return make_color(128, 128, 128);
        case B_MENU_ITEM_TEXT_COLOR:
        case B_MENU_SELECTED_ITEM_TEXT_COLOR:
        case B_PANEL_TEXT_COLOR:
        case B_DOCUMENT_TEXT_COLOR:
        case B_CONTROL_TEXT_COLOR:
        case B_SHADOW_COLOR:
            return make_color(0, 0, 0);
    }
    return make_color(0, 0, 0);
}

rgb_color tint_color(rgb_color color, float tint)
{
    auto channel = [tint](uint8 c) {
        float v = tint <= 1.0f ? c + (255 - c) * (1.0f - tint) : c * (2.0f - tint);
        return uint8(v < 0 ? 0 : v > 255 ? 255 : v + 0.5f);
    };
    return make_color(channel(color.red), channel(color.green), channel(color.blue), color.alpha);
}

status_t get_click_speed(bigtime_t* speed)
{
    if (speed == nullptr)
        return B_BAD_VALUE;
    *speed = sClickSpeed.load();
    return B_OK;
}

status_t set_click_speed(bigtime_t speed)
{
    if (speed <= 0)
        return B_BAD_VALUE;
    sClickSpeed.store(speed);
    return B_OK;
}
