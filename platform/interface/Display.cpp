#include "Display.h"

#include <AppDefs.h>
#include <Message.h>
#include <OS.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "InterfaceDefs.h"
#include "Window.h"

// Last: Xlib's macros (None, Bool, Status, Window ...) must not reach the
// kits' headers.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace BPrivate {

struct NativeState {
    BMessenger window;      // the window itself: pointer and window messages
    BMessenger preferred;   // its preferred handler: keys
    std::atomic<bool> mapped{false};
    std::atomic<bool> wantFocus{false};
    std::atomic<bool> framed{false};   // a window manager's frame holds it
};

namespace {

struct Connection {
    ::Display* display = nullptr;
    int screen = 0;
    ::Window root = 0;
    Visual* visual = nullptr;
    int depth = 0;
    bool directPixels = false;   // cairo's ARGB32 words are the visual's pixels
    Atom wmProtocols = 0;
    Atom wmDeleteWindow = 0;
    Atom netWmName = 0;
    Atom utf8String = 0;
    int wake[2] = {-1, -1};
    std::atomic<bool> lost{false};
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    std::thread reader;
};

Connection* gConnection = nullptr;
std::once_flag gOpenOnce;

std::mutex& registry_lock()
{
    static auto* lock = new std::mutex;
    return *lock;
}

std::map<::Window, std::shared_ptr<NativeState>>& registry()
{
    static auto* map = new std::map<::Window, std::shared_ptr<NativeState>>;
    return *map;
}

std::shared_ptr<NativeState> state_of(::Window id)
{
    std::lock_guard<std::mutex> lock(registry_lock());
    auto it = registry().find(id);
    return it == registry().end() ? nullptr : it->second;
}

// Errors come back for requests on windows that went away meanwhile; they
// are no reason to end the program.
int ignore_error(::Display*, XErrorEvent*)
{
    return 0;
}

int quiet_io_error(::Display*)
{
    return 0;
}

// The server went away: windows carry on off-screen.
void display_lost(::Display*, void*)
{
    if (gConnection != nullptr)
        gConnection->lost = true;
}

bool usable()
{
    return gConnection != nullptr && !gConnection->lost;
}

// Wakes the reader: a call made elsewhere may have queued events that the
// socket no longer shows.
void wake_reader()
{
    if (gConnection != nullptr && gConnection->wake[1] >= 0) {
        char byte = 1;
        ssize_t ignored = write(gConnection->wake[1], &byte, 1);
        (void)ignored;
    }
}

void flush()
{
    XFlush(gConnection->display);
    wake_reader();
}

// ---- Input: X events become the platform's messages ----

int32 modifiers_of(unsigned int state)
{
    int32 modifiers = 0;
    if (state & ShiftMask)
        modifiers |= B_SHIFT_KEY | B_LEFT_SHIFT_KEY;
    if (state & ControlMask)
        modifiers |= B_CONTROL_KEY | B_LEFT_CONTROL_KEY;
    if (state & Mod1Mask)   // Alt is the command key, as on BeOS keyboards
        modifiers |= B_COMMAND_KEY | B_LEFT_COMMAND_KEY;
    if (state & Mod4Mask)   // the Windows key is the option key
        modifiers |= B_OPTION_KEY | B_LEFT_OPTION_KEY;
    if (state & LockMask)
        modifiers |= B_CAPS_LOCK;
    if (state & Mod2Mask)
        modifiers |= B_NUM_LOCK;
    return modifiers;
}

// Right-hand modifier keys held, as seen in our windows' key events.
int32 gRightHeld = 0;

int32 with_sides(int32 modifiers)
{
    static const struct {
        int32 left, right;
    } kSides[] = {{B_LEFT_SHIFT_KEY, B_RIGHT_SHIFT_KEY}, {B_LEFT_CONTROL_KEY, B_RIGHT_CONTROL_KEY},
        {B_LEFT_COMMAND_KEY, B_RIGHT_COMMAND_KEY}, {B_LEFT_OPTION_KEY, B_RIGHT_OPTION_KEY}};
    for (const auto& side : kSides) {
        if ((modifiers & side.left) && (gRightHeld & side.right))
            modifiers = (modifiers & ~side.left) | side.right;
    }
    return modifiers;
}

void track_right_modifier(KeySym sym, bool down)
{
    int32 bit = 0;
    switch (sym) {
        case XK_Shift_R: bit = B_RIGHT_SHIFT_KEY; break;
        case XK_Control_R: bit = B_RIGHT_CONTROL_KEY; break;
        case XK_Alt_R: bit = B_RIGHT_COMMAND_KEY; break;
        case XK_Super_R: bit = B_RIGHT_OPTION_KEY; break;
        default: return;
    }
    gRightHeld = down ? (gRightHeld | bit) : (gRightHeld & ~bit);
}

int32 button_bit(unsigned int button)
{
    switch (button) {
        case Button1: return B_PRIMARY_MOUSE_BUTTON;
        case Button3: return B_SECONDARY_MOUSE_BUTTON;
        case Button2: return B_TERTIARY_MOUSE_BUTTON;
        default: return 0;
    }
}

int32 buttons_of(unsigned int state)
{
    return ((state & Button1Mask) ? B_PRIMARY_MOUSE_BUTTON : 0)
        | ((state & Button3Mask) ? B_SECONDARY_MOUSE_BUTTON : 0)
        | ((state & Button2Mask) ? B_TERTIARY_MOUSE_BUTTON : 0);
}

// Multiple clicks: the same buttons pressed again in the same window,
// within the click speed and a few pixels of the last press.
struct ClickCounter {
    ::Window window = 0;
    int32 buttons = 0;
    Time time = 0;
    int x = 0, y = 0;
    int32 count = 0;

    int32 Press(::Window w, int32 pressed, Time when, int px, int py)
    {
        bigtime_t speed = 500000;
        get_click_speed(&speed);
        bool again = count > 0 && w == window && pressed == buttons
            && when - time <= Time(speed / 1000) && std::abs(px - x) <= 4 && std::abs(py - y) <= 4;
        count = again ? count + 1 : 1;
        window = w;
        buttons = pressed;
        time = when;
        x = px;
        y = py;
        return count;
    }
};
ClickCounter gClicks;

// BeOS key codes by Linux input key code (X key code minus 8).
const uint8 kKeyCodes[128] = {
    0, 0x01, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x26,
    0x27, 0x28, 0x29, 0x2a, 0x2b, 0x2c, 0x2d, 0x2e, 0x2f, 0x30, 0x31, 0x32, 0x47, 0x5c, 0x3c, 0x3d,
    0x3e, 0x3f, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x11, 0x4b, 0x33, 0x4c, 0x4d, 0x4e, 0x4f,
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x24, 0x5d, 0x5e, 0x3b, 0x02, 0x03, 0x04, 0x05, 0x06,
    0x07, 0x08, 0x09, 0x0a, 0x0b, 0x22, 0x0f, 0x37, 0x38, 0x39, 0x25, 0x48, 0x49, 0x4a, 0x3a, 0x58,
    0x59, 0x5a, 0x64, 0x65, 0, 0, 0x69, 0x0c, 0x0d, 0, 0, 0, 0, 0, 0, 0,
    0x5b, 0x60, 0x23, 0x0e, 0x5f, 0, 0x20, 0x57, 0x21, 0x61, 0x63, 0x35, 0x62, 0x36, 0x1f, 0x34,
    0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0x66, 0x67, 0x68,
};

// The character of a key that has one of its own; 0 for the others.
int32 special_char(KeySym sym)
{
    switch (sym) {
        case XK_Return: case XK_KP_Enter: return B_ENTER;
        case XK_Escape: return B_ESCAPE;
        case XK_Tab: case XK_ISO_Left_Tab: return B_TAB;
        case XK_BackSpace: return B_BACKSPACE;
        case XK_Delete: case XK_KP_Delete: return B_DELETE;
        case XK_Insert: case XK_KP_Insert: return B_INSERT;
        case XK_Home: case XK_KP_Home: return B_HOME;
        case XK_End: case XK_KP_End: return B_END;
        case XK_Page_Up: case XK_KP_Page_Up: return B_PAGE_UP;
        case XK_Page_Down: case XK_KP_Page_Down: return B_PAGE_DOWN;
        case XK_Left: case XK_KP_Left: return B_LEFT_ARROW;
        case XK_Right: case XK_KP_Right: return B_RIGHT_ARROW;
        case XK_Up: case XK_KP_Up: return B_UP_ARROW;
        case XK_Down: case XK_KP_Down: return B_DOWN_ARROW;
        default: break;
    }
    if (sym >= XK_F1 && sym <= XK_F12)
        return B_FUNCTION_KEY;
    return 0;
}

uint32 code_point(KeySym sym)
{
    if ((sym >= 0x20 && sym <= 0x7e) || (sym >= 0xa0 && sym <= 0xff))
        return uint32(sym);
    if (sym >= 0x01000100 && sym <= 0x0110ffff)
        return uint32(sym - 0x01000000);
    return 0;
}

std::string utf8(uint32 c)
{
    std::string out;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xc0 | (c >> 6));
        out += char(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        out += char(0xe0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3f));
        out += char(0x80 | (c & 0x3f));
    } else {
        out += char(0xf0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3f));
        out += char(0x80 | ((c >> 6) & 0x3f));
        out += char(0x80 | (c & 0x3f));
    }
    return out;
}

void post_key(const NativeState& state, XKeyEvent& event, bool down)
{
    char latin[16];
    KeySym sym = NoSymbol;
    int length = XLookupString(&event, latin, sizeof latin - 1, &sym, nullptr);
    track_right_modifier(sym, down);
    KeySym plain = XLookupKeysym(&event, 0);
    int32 raw = special_char(plain);
    if (raw == 0) {
        uint32 c = code_point(plain);
        raw = c < 0x80 ? int32(c) : int32(uint8(utf8(c)[0]));
    }
    std::string bytes;
    if (int32 special = special_char(sym))
        bytes = std::string(1, char(special));
    else if ((event.state & ControlMask) && length == 1 && uint8(latin[0]) < 0x20)
        bytes = std::string(1, latin[0]);   // Control+letter: the control character
    else if (uint32 c = code_point(sym))
        bytes = utf8(c);
    if (bytes.empty() || raw == 0)
        return;   // a modifier key alone, or a key without a character
    int32 key = event.keycode >= 8 && event.keycode < 136 ? kKeyCodes[event.keycode - 8] : 0;
    if (raw == B_FUNCTION_KEY)
        key = B_F1_KEY + int32(plain - XK_F1);
    BMessage message(down ? B_KEY_DOWN : B_KEY_UP);
    message.AddInt64("when", system_time());
    message.AddString("bytes", bytes.c_str());
    for (char byte : bytes)
        message.AddInt8("byte", int8(byte));
    message.AddInt32("raw_char", raw);
    message.AddInt32("key", key);
    message.AddInt32("modifiers", with_sides(modifiers_of(event.state)));
    state.preferred.SendMessage(&message);
}

void post_pointer(const NativeState& state, uint32 what, int x, int y, int32 buttons,
    unsigned int keyState, int32 clicks)
{
    BMessage message(what);
    message.AddInt64("when", system_time());
    message.AddPoint("where", BPoint(float(x), float(y)));
    message.AddInt32("buttons", buttons);
    message.AddInt32("modifiers", with_sides(modifiers_of(keyState)));
    if (what == B_MOUSE_DOWN)
        message.AddInt32("clicks", clicks);
    state.window.SendMessage(&message);
}

void handle(XEvent& event)
{
    Connection& c = *gConnection;
    std::shared_ptr<NativeState> state = state_of(event.xany.window);
    if (!state)
        return;
    switch (event.type) {
        case ButtonPress: {
            int32 bit = button_bit(event.xbutton.button);
            if (bit == 0)
                break;   // the wheel
            int32 buttons = buttons_of(event.xbutton.state) | bit;
            int32 clicks = gClicks.Press(event.xbutton.window, buttons, event.xbutton.time,
                event.xbutton.x, event.xbutton.y);
            post_pointer(*state, B_MOUSE_DOWN, event.xbutton.x, event.xbutton.y, buttons,
                event.xbutton.state, clicks);
            break;
        }
        case ButtonRelease: {
            int32 bit = button_bit(event.xbutton.button);
            if (bit == 0)
                break;
            post_pointer(*state, B_MOUSE_UP, event.xbutton.x, event.xbutton.y,
                buttons_of(event.xbutton.state) & ~bit, event.xbutton.state, 0);
            break;
        }
        case MotionNotify:
            post_pointer(*state, B_MOUSE_MOVED, event.xmotion.x, event.xmotion.y,
                buttons_of(event.xmotion.state), event.xmotion.state, 0);
            break;
        case LeaveNotify:
            // Leaving the window: the view under the pointer is told so.
            if (event.xcrossing.mode == NotifyNormal && buttons_of(event.xcrossing.state) == 0)
                post_pointer(*state, B_MOUSE_MOVED, event.xcrossing.x, event.xcrossing.y, 0,
                    event.xcrossing.state, 0);
            break;
        case KeyPress:
        case KeyRelease:
            post_key(*state, event.xkey, event.type == KeyPress);
            break;
        case FocusIn:
        case FocusOut: {
            if (event.xfocus.mode == NotifyGrab || event.xfocus.mode == NotifyUngrab
                || event.xfocus.detail == NotifyPointer)
                break;
            BMessage message(B_WINDOW_ACTIVATED);
            message.AddInt64("when", system_time());
            message.AddBool("active", event.type == FocusIn);
            state->window.SendMessage(&message);
            break;
        }
        case Expose: {
            BMessage message(kMsgNativeExposed);
            message.AddRect("rect", BRect(float(event.xexpose.x), float(event.xexpose.y),
                float(event.xexpose.x + event.xexpose.width - 1),
                float(event.xexpose.y + event.xexpose.height - 1)));
            state->window.SendMessage(&message);
            break;
        }
        case ConfigureNotify: {
            int x = event.xconfigure.x, y = event.xconfigure.y;
            if (!event.xconfigure.send_event && state->framed) {
                // The position is the frame's: ask where we are.
                ::Window child;
                XTranslateCoordinates(c.display, event.xconfigure.window, c.root, 0, 0, &x, &y,
                    &child);
            }
            BMessage message(kMsgNativeConfigured);
            message.AddRect("frame", BRect(float(x), float(y),
                float(x + event.xconfigure.width - 1), float(y + event.xconfigure.height - 1)));
            message.AddInt64("serial", int64(event.xconfigure.serial));
            state->window.SendMessage(&message);
            break;
        }
        case MapNotify:
            state->mapped = true;
            if (state->wantFocus.exchange(false)) {
                XSetInputFocus(c.display, event.xmap.window, RevertToParent, CurrentTime);
                XFlush(c.display);
            }
            break;
        case UnmapNotify:
            state->mapped = false;
            break;
        case ReparentNotify:
            state->framed = event.xreparent.parent != c.root;
            break;
        case ClientMessage:
            // The close box.
            if (event.xclient.message_type == c.wmProtocols && event.xclient.format == 32
                && Atom(event.xclient.data.l[0]) == c.wmDeleteWindow)
                state->window.SendMessage(B_QUIT_REQUESTED);
            break;
        default:
            break;
    }
}

void read_events()
{
    Connection& c = *gConnection;
    pollfd fds[2] = {{ConnectionNumber(c.display), POLLIN, 0}, {c.wake[0], POLLIN, 0}};
    while (!c.stop && !c.lost) {
        while (!c.lost && XPending(c.display) > 0) {
            XEvent event;
            XNextEvent(c.display, &event);
            handle(event);
        }
        if (c.lost)
            break;
        // The time-out only guards against events queued by another
        // thread's call without a wake-up.
        if (poll(fds, 2, 200) > 0 && (fds[1].revents & POLLIN)) {
            char buffer[64];
            ssize_t ignored = read(c.wake[0], buffer, sizeof buffer);
            (void)ignored;
        }
        if (fds[0].revents & (POLLHUP | POLLERR))
            XNoOp(c.display);   // lets Xlib notice the loss
    }
    c.finished = true;
}

void stop_reader()
{
    if (gConnection == nullptr || !gConnection->reader.joinable())
        return;
    gConnection->stop = true;
    wake_reader();
    // A loss noticed by another thread may leave the reader waiting for a
    // display lock that nobody gives back: the process ends without it.
    for (int i = 0; i < 100 && !gConnection->finished; i++)
        usleep(10000);
    if (gConnection->finished)
        gConnection->reader.join();
    else
        gConnection->reader.detach();
}

void open_display()
{
    const char* forced = getenv("SUITE_OFFSCREEN");
    if (forced != nullptr && std::strcmp(forced, "1") == 0)
        return;
    const char* name = getenv("DISPLAY");
    if (name == nullptr || *name == '\0')
        return;
    if (!XInitThreads())
        return;
    ::Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return;
    // A write to a server that has gone would end the program with
    // SIGPIPE; the loss is handled instead (unless the program chose).
    struct sigaction pipeAction;
    if (sigaction(SIGPIPE, nullptr, &pipeAction) == 0 && pipeAction.sa_handler == SIG_DFL)
        signal(SIGPIPE, SIG_IGN);
    XSetErrorHandler(ignore_error);
    XSetIOErrorHandler(quiet_io_error);
    XSetIOErrorExitHandler(display, display_lost, nullptr);
    auto* c = new Connection;
    c->display = display;
    c->screen = DefaultScreen(display);
    c->root = RootWindow(display, c->screen);
    c->visual = DefaultVisual(display, c->screen);
    c->depth = DefaultDepth(display, c->screen);
    c->directPixels = (c->depth == 24 || c->depth == 32) && c->visual->red_mask == 0xff0000
        && c->visual->green_mask == 0xff00 && c->visual->blue_mask == 0xff;
    c->wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    c->wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    c->netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    c->utf8String = XInternAtom(display, "UTF8_STRING", False);
    // Not inherited by programs we start; a full pipe already wakes.
    if (pipe2(c->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        XCloseDisplay(display);
        delete c;
        return;
    }
    gConnection = c;
    c->reader = std::thread(read_events);
    std::atexit(stop_reader);
}

bool ensure_open()
{
    std::call_once(gOpenOnce, open_display);
    return usable();
}

}  // namespace

bool display_available()
{
    return ensure_open();
}

BRect display_frame()
{
    if (!ensure_open())
        return BRect();
    return BRect(0, 0, float(DisplayWidth(gConnection->display, gConnection->screen) - 1),
        float(DisplayHeight(gConnection->display, gConnection->screen) - 1));
}

NativeWindow::NativeWindow(BWindow* window, BRect frame, const char* title, uint32 flags)
    : fId(0), fLastRequest(0), fFlags(flags), fState(std::make_shared<NativeState>())
{
    if (!ensure_open())
        return;
    Connection& c = *gConnection;
    fState->window = BMessenger(window);
    fState->preferred = BMessenger(nullptr, window);
    int32 width = std::max(1, frame.IntegerWidth() + 1);
    int32 height = std::max(1, frame.IntegerHeight() + 1);
    XSetWindowAttributes attributes;
    attributes.background_pixmap = None;   // our own picture covers it all
    attributes.bit_gravity = NorthWestGravity;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask
        | PointerMotionMask | KeyPressMask | KeyReleaseMask | StructureNotifyMask
        | FocusChangeMask | LeaveWindowMask;
    attributes.override_redirect = (flags & kPopUpWindowFlag) ? True : False;
    XLockDisplay(c.display);
    ::Window id = XCreateWindow(c.display, c.root, int(std::lround(frame.left)),
        int(std::lround(frame.top)), unsigned(width), unsigned(height), 0, CopyFromParent,
        InputOutput, CopyFromParent, CWBackPixmap | CWBitGravity | CWEventMask | CWOverrideRedirect,
        &attributes);
    {
        std::lock_guard<std::mutex> lock(registry_lock());
        registry()[id] = fState;
    }
    fId = id;
    XSetWMProtocols(c.display, id, &c.wmDeleteWindow, 1);
    XClassHint* hint = XAllocClassHint();
    if (hint != nullptr) {
        char name[] = "velmor";
        hint->res_name = name;
        hint->res_class = name;
        XSetClassHint(c.display, id, hint);
        XFree(hint);
    }
    Constrain(width, height, flags);
    XUnlockDisplay(c.display);
    SetTitle(title);
}

NativeWindow::~NativeWindow()
{
    if (fId == 0)
        return;
    {
        std::lock_guard<std::mutex> lock(registry_lock());
        registry().erase(fId);
    }
    // After a loss Xlib is not called again: the lost call may have kept
    // the display's lock.
    if (!usable())
        return;
    XDestroyWindow(gConnection->display, fId);
    flush();
}

// The position is the window's own (decorations go around it); a window
// that may not be resized asks for exactly its size.
void NativeWindow::Constrain(int32 width, int32 height, uint32 flags)
{
    XSizeHints* hints = XAllocSizeHints();
    if (hints == nullptr)
        return;
    hints->flags = USPosition | USSize | PWinGravity;
    hints->win_gravity = StaticGravity;
    if (flags & B_NOT_RESIZABLE) {
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
    }
    XSetWMNormalHints(gConnection->display, fId, hints);
    XFree(hints);
}

void NativeWindow::SetTitle(const char* title)
{
    if (fId == 0 || !usable())
        return;
    Connection& c = *gConnection;
    std::string text = title != nullptr ? title : "";
    auto bytes = reinterpret_cast<const unsigned char*>(text.c_str());
    XChangeProperty(c.display, fId, XA_WM_NAME, XA_STRING, 8, PropModeReplace, bytes,
        int(text.size()));
    XChangeProperty(c.display, fId, c.netWmName, c.utf8String, 8, PropModeReplace, bytes,
        int(text.size()));
    flush();
}

void NativeWindow::Show(bool focus)
{
    if (fId == 0 || !usable())
        return;
    fState->wantFocus = focus;
    XMapRaised(gConnection->display, fId);
    if (fFlags & kPopUpWindowFlag) {
        // Every press, also one outside, comes here while it is shown.
        XGrabPointer(gConnection->display, fId, False,
            ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync, GrabModeAsync,
            None, None, CurrentTime);
        XGrabKeyboard(gConnection->display, fId, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    }
    flush();
}

void NativeWindow::Hide()
{
    if (fId == 0 || !usable())
        return;
    fState->wantFocus = false;
    if (fFlags & kPopUpWindowFlag) {
        XUngrabPointer(gConnection->display, CurrentTime);
        XUngrabKeyboard(gConnection->display, CurrentTime);
    }
    XUnmapWindow(gConnection->display, fId);
    flush();
}

void NativeWindow::Activate()
{
    if (fId == 0 || !usable())
        return;
    XRaiseWindow(gConnection->display, fId);
    if (fState->mapped)
        XSetInputFocus(gConnection->display, fId, RevertToParent, CurrentTime);
    else
        fState->wantFocus = true;   // focus needs a mapped window
    flush();
}

void NativeWindow::MoveTo(BPoint where)
{
    if (fId == 0 || !usable())
        return;
    XLockDisplay(gConnection->display);
    fLastRequest = NextRequest(gConnection->display);
    XMoveWindow(gConnection->display, fId, int(std::lround(where.x)), int(std::lround(where.y)));
    XUnlockDisplay(gConnection->display);
    flush();
}

void NativeWindow::ResizeTo(int32 width, int32 height)
{
    if (fId == 0 || !usable())
        return;
    width = std::max(int32(1), width);
    height = std::max(int32(1), height);
    XLockDisplay(gConnection->display);
    fLastRequest = NextRequest(gConnection->display);
    if (fFlags & B_NOT_RESIZABLE)
        Constrain(width, height, fFlags);
    XResizeWindow(gConnection->display, fId, unsigned(width), unsigned(height));
    XUnlockDisplay(gConnection->display);
    flush();
}

void NativeWindow::Present(Surface& surface, BRect windowRect)
{
    if (fId == 0 || !usable() || !gConnection->directPixels || !surface.IsValid())
        return;
    int x = std::max(0, int(std::floor(windowRect.left)));
    int y = std::max(0, int(std::floor(windowRect.top)));
    int right = std::min(surface.Width() - 1, int(std::ceil(windowRect.right)));
    int bottom = std::min(surface.Height() - 1, int(std::ceil(windowRect.bottom)));
    if (right < x || bottom < y)
        return;
    Connection& c = *gConnection;
    cairo_surface_flush(surface.Native());
    XImage* image = XCreateImage(c.display, c.visual, unsigned(c.depth), ZPixmap, 0,
        reinterpret_cast<char*>(cairo_image_surface_get_data(surface.Native())),
        unsigned(surface.Width()), unsigned(surface.Height()), 32,
        cairo_image_surface_get_stride(surface.Native()));
    if (image == nullptr)
        return;
    XPutImage(c.display, fId, DefaultGC(c.display, c.screen), image, x, y, x, y, unsigned(right - x + 1),
        unsigned(bottom - y + 1));
    image->data = nullptr;   // the pixels stay the surface's
    XDestroyImage(image);
    flush();
}

WindowHost::~WindowHost() = default;

void WindowHost::Present(BRect windowRect)
{
    if (fNative)
        fNative->Present(GetSurface(), windowRect);
}

unsigned long native_window_id(const BWindow* window)
{
    auto* host = dynamic_cast<WindowHost*>(window->Host());
    return host != nullptr && host->Native() != nullptr ? host->Native()->Id() : 0;
}

}  // namespace BPrivate
