// The X11 display of the process, when there is one, and the native window
// a shown BWindow gets on it.
//
// The connection opens at first need, once per process, when DISPLAY names
// a display that answers and SUITE_OFFSCREEN is not "1"; otherwise windows
// stay off-screen. One thread reads the display's events and posts them to
// the windows as the platform's messages. Xlib's own headers stay in the
// source file: their macros would clash with the kits' names.
#pragma once

#include <Messenger.h>
#include <SupportDefs.h>

#include <atomic>
#include <memory>
#include <string>

#include "Rect.h"
#include "ViewHost.h"

class BWindow;

namespace BPrivate {

// Private messages from the display's thread to a window.
enum : uint32 {
    kMsgNativeConfigured = 0x5F58434E /* '_XCN': "frame" (screen), "serial" */,
    kMsgNativeExposed = 0x5F584558 /* '_XEX': "rect" (window) */,
};

// A private window flag: a pop-up (a menu's window) has no frame of the
// window manager's and holds the pointer and the keyboard while shown.
const uint32 kPopUpWindowFlag = 0x40000000;

bool display_available();
// The size of the display's root window; an invalid rect without display.
BRect display_frame();

struct NativeState;

// One X window. Created, changed and destroyed by the thread that holds
// the BWindow's lock.
class NativeWindow {
public:
    NativeWindow(BWindow* window, BRect frame, const char* title, uint32 flags);
    ~NativeWindow();
    NativeWindow(const NativeWindow&) = delete;
    NativeWindow& operator=(const NativeWindow&) = delete;

    bool IsValid() const { return fId != 0; }
    unsigned long Id() const { return fId; }
    void SetTitle(const char* title);
    void Show(bool focus);
    void Hide();
    void Activate();
    void MoveTo(BPoint where);
    void ResizeTo(int32 width, int32 height);
    void Present(Surface& surface, BRect windowRect);
    // A configure event generated before our own last move or resize is
    // out of date.
    bool IsStale(uint64 serial) const { return serial < fLastRequest; }

private:
    void Constrain(int32 width, int32 height, uint32 flags);

    unsigned long fId;
    uint64 fLastRequest;
    uint32 fFlags;
    std::shared_ptr<NativeState> fState;
};

// The host of a BWindow: a view host whose pictures also go to the native
// window, once the window has one.
class WindowHost : public ViewHost {
public:
    WindowHost(BRect frame, BWindow* window) : ViewHost(frame, window) {}
    ~WindowHost() override;

    NativeWindow* Native() const { return fNative.get(); }
    void SetNative(std::unique_ptr<NativeWindow> native) { fNative = std::move(native); }
    // Copies an area of the picture to the display again.
    void Repaint(BRect windowRect) { Present(windowRect); }

protected:
    void Present(BRect windowRect) override;

private:
    std::unique_ptr<NativeWindow> fNative;
};

// The X window id of a shown window, 0 when it is off-screen (for tests).
unsigned long native_window_id(const BWindow* window);

}  // namespace BPrivate
