// Tests on a real X server: an Xvfb of this process's own, xdotool to make
// real input events, and a second X connection to look at the windows as
// another client (the window manager, a screenshot tool) would.
#pragma once

#include <cairo.h>

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

}  // namespace display_test
