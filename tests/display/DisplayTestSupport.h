// Tests on a real X server: an Xvfb of this process's own, xdotool to make
// real input events, and a second X connection to look at the windows as
// another client (the window manager, a screenshot tool) would.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <Rect.h>

class BLooper;
class BWindow;

namespace display_test {

// Starts Xvfb once for the process and points DISPLAY at it (before any
// window opens, so the interface kit connects to it). False, with the
// reason, when Xvfb or xdotool is missing or the server does not start.
bool start_display(std::string* whyNot);

// Ends the server (the process's windows then lose their display).
void stop_display();

// Runs xdotool with these arguments; true when it succeeds.
bool xdotool(const std::vector<std::string>& args);

// Polls until done() holds, with a generous time limit; with a looper,
// done() runs with it locked.
bool eventually(const std::function<bool()>& done, int seconds = 20);
bool eventually(BLooper* looper, const std::function<bool()>& done, int seconds = 20);

// Shows the window and waits until it is on the screen (and, when asked,
// has the keyboard focus); its X window id, or 0 when it never got there.
unsigned long show_on_screen(BWindow* window, bool focused = true);

// Seen from the second connection.
bool is_viewable(unsigned long window);
bool exists(unsigned long window);
bool has_focus(unsigned long window);
BRect frame_of(unsigned long window);   // in root coordinates, inclusive
std::string title_of(unsigned long window);
BRect root_frame();
// What the window manager sends when the close box is pressed.
void press_close_box(unsigned long window);
// The window's pixels as they are on the screen (the caller destroys it).
cairo_surface_t* capture(unsigned long window);

// A picture taken with capture; destroyed with the object.
struct Picture {
    cairo_surface_t* surface = nullptr;
    ~Picture()
    {
        if (surface != nullptr)
            cairo_surface_destroy(surface);
    }
    // The whole picture, inclusive.
    BRect Bounds() const
    {
        return BRect(0, 0, float(cairo_image_surface_get_width(surface) - 1),
            float(cairo_image_surface_get_height(surface) - 1));
    }
    uint32_t At(int x, int y) const
    {
        auto* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
        return reinterpret_cast<const uint32_t*>(row)[x] & 0xffffff;
    }
    // Dark pixels: the text colour, not the panel or the controls' faces.
    int Ink(BRect area) const
    {
        int n = 0;
        for (int y = int(area.top); y <= int(area.bottom); y++) {
            for (int x = int(area.left); x <= int(area.right); x++) {
                uint32_t p = At(x, y);
                n += ((p >> 16) & 0xff) + ((p >> 8) & 0xff) + (p & 0xff) < 3 * 110;
            }
        }
        return n;
    }
    int Differences(const Picture& other, BRect area) const
    {
        int n = 0;
        for (int y = int(area.top); y <= int(area.bottom); y++) {
            for (int x = int(area.left); x <= int(area.right); x++)
                n += At(x, y) != other.At(x, y);
        }
        return n;
    }
};

}  // namespace display_test
