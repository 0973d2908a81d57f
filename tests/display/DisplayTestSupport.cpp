#include "DisplayTestSupport.h"

#include <Display.h>
#include <Looper.h>
#include <Window.h>
#include <OS.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include <TestSupport.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace display_test {

namespace {

bool in_path(const char* program)
{
    const char* path = getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// The server lives until the process ends; it is stopped after the
// interface kit's own end-of-process work, which was set up later.
struct Server {
    pid_t pid = -1;
    std::string name;
    std::string error;

    Server()
    {
        if (!in_path("Xvfb") || !in_path("xdotool")) {
            error = "Xvfb or xdotool is not installed";
            return;
        }
        int fds[2];
        if (pipe(fds) != 0) {
            error = "no pipe";
            return;
        }
        pid = fork();
        if (pid == 0) {
            int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // Xvfb writes its display number once it accepts clients.
        std::string number;
        pollfd p = {fds[0], POLLIN, 0};
        while (number.find('\n') == std::string::npos && poll(&p, 1, 30000) > 0) {
            char buffer[32];
            ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            number.append(buffer, size_t(n));
        }
        close(fds[0]);
        if (number.empty() || number.find('\n') == std::string::npos) {
            error = "Xvfb did not start";
            return;
        }
        name = ":" + number.substr(0, number.find('\n'));
        setenv("DISPLAY", name.c_str(), 1);
        unsetenv("SUITE_OFFSCREEN");
        XInitThreads();
    }

    ~Server() { Stop(); }

    void Stop()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status;
            waitpid(pid, &status, 0);
            pid = -1;
        }
    }
};

Server& server()
{
    static Server instance;
    return instance;
}

::Display* peer()
{
    static ::Display* display = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        display = XOpenDisplay(server().name.c_str());
        // Windows go away under our feet; that is no reason to stop.
        XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });
    });
    return display;
}

}  // namespace

bool start_display(std::string* whyNot)
{
    Server& s = server();
    if (!s.error.empty()) {
        *whyNot = s.error;
        return false;
    }
    return peer() != nullptr || (*whyNot = "cannot connect to Xvfb", false);
}

void stop_display()
{
    server().Stop();
}

bool xdotool(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    suite_test::RunOptions options;
    options.timeout_seconds = 60;
    options.env["DISPLAY"] = server().name;
    suite_test::ProgramResult result = suite_test::run_program(argv, options);
    return result.status == 0;
}

bool eventually(const std::function<bool()>& done, int seconds)
{
    return suite_test::eventually(done, seconds);
}

bool eventually(BLooper* looper, const std::function<bool()>& done, int seconds)
{
    return eventually(
        [&] {
            if (!looper->Lock())
                return false;
            bool ok = done();
            looper->Unlock();
            return ok;
        },
        seconds);
}

unsigned long show_on_screen(BWindow* window, bool focused)
{
    if (!window->Lock())
        return 0;
    window->Show();
    window->Unlock();
    unsigned long id = 0;
    if (!eventually(window, [&] { return (id = BPrivate::native_window_id(window)) != 0; })
        || !eventually([&] { return is_viewable(id) && (!focused || has_focus(id)); }))
        return 0;
    return id;
}

bool is_viewable(unsigned long window)
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(peer(), window, &attributes) != 0
        && attributes.map_state == IsViewable;
}

bool exists(unsigned long window)
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(peer(), window, &attributes) != 0;
}

bool has_focus(unsigned long window)
{
    ::Window focus = 0;
    int revert;
    XGetInputFocus(peer(), &focus, &revert);
    return focus == window;
}

BRect frame_of(unsigned long window)
{
    XWindowAttributes attributes;
    if (XGetWindowAttributes(peer(), window, &attributes) == 0)
        return BRect();
    int x = 0, y = 0;
    ::Window child;
    XTranslateCoordinates(peer(), window, DefaultRootWindow(peer()), 0, 0, &x, &y, &child);
    return BRect(float(x), float(y), float(x + attributes.width - 1),
        float(y + attributes.height - 1));
}

std::string title_of(unsigned long window)
{
    Atom name = XInternAtom(peer(), "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(peer(), "UTF8_STRING", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(peer(), window, name, 0, 1024, False, utf8, &type, &format, &count,
            &after, &data) == Success && data != nullptr) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return title;
}

BRect root_frame()
{
    return BRect(0, 0, float(DisplayWidth(peer(), 0) - 1), float(DisplayHeight(peer(), 0) - 1));
}

void press_close_box(unsigned long window)
{
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(peer(), "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(peer(), "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(peer(), window, False, NoEventMask, &event);
    XFlush(peer());
}

cairo_surface_t* capture(unsigned long window)
{
    XWindowAttributes attributes;
    if (XGetWindowAttributes(peer(), window, &attributes) == 0)
        return nullptr;
    XImage* image = XGetImage(peer(), window, 0, 0, unsigned(attributes.width),
        unsigned(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr)
        return nullptr;
    cairo_surface_t* surface
        = cairo_image_surface_create(CAIRO_FORMAT_RGB24, attributes.width, attributes.height);
    uint8_t* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < attributes.height; y++) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < attributes.width; x++)
            row[x] = uint32_t(XGetPixel(image, x, y)) & 0xffffff;
    }
    cairo_surface_mark_dirty(surface);
    XDestroyImage(image);
    return surface;
}

}  // namespace display_test
