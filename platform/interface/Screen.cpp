#include "Screen.h"

#include <mutex>

#include "Display.h"

namespace {

std::mutex gFrameLock;
BRect gOffscreenFrame(0, 0, 1919, 1199);

}  // namespace

BScreen::BScreen(screen_id id) : fValid(id.id == B_MAIN_SCREEN_ID.id) {}

BScreen::BScreen(BWindow*) : fValid(true) {}

BRect BScreen::Frame() const
{
    if (!fValid)
        return BRect();
    if (BPrivate::display_available())
        return BPrivate::display_frame();
    std::lock_guard<std::mutex> lock(gFrameLock);
    return gOffscreenFrame;
}

void BPrivate::set_offscreen_screen_frame(BRect frame)
{
    std::lock_guard<std::mutex> lock(gFrameLock);
    gOffscreenFrame = frame;
}
