// The screen a window lies on: the X display's root window when there is a
// display, else a fixed off-screen screen of 1920 x 1200.
#pragma once

#include <SupportDefs.h>

#include "GraphicsDefs.h"
#include "Rect.h"

class BWindow;

struct screen_id {
    int32 id;
};

inline constexpr screen_id B_MAIN_SCREEN_ID = {0};

class BScreen {
public:
    explicit BScreen(screen_id id = B_MAIN_SCREEN_ID);
    explicit BScreen(BWindow* window);

    // Only the main screen exists.
    bool IsValid() const { return fValid; }
    status_t SetToNext() { return B_ERROR; }
    screen_id ID() const { return B_MAIN_SCREEN_ID; }
    // In screen coordinates, inclusive: BRect(0, 0, 1919, 1199) off-screen.
    BRect Frame() const;
    color_space ColorSpace() const { return B_RGB32; }

private:
    bool fValid;
};

namespace BPrivate {
// The frame BScreen reports without a display (for tests).
void set_offscreen_screen_frame(BRect frame);
}
