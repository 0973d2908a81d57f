// A window: a looper with its own thread that holds a tree of views.
//
// Messages posted to the window reach its views as BeOS routes them: the
// pointer messages (B_MOUSE_DOWN, B_MOUSE_UP, B_MOUSE_MOVED, "where" in
// window coordinates) go to the view under the pointer, or to the view
// that holds the pointer while a button is down; key messages posted to
// the preferred handler (PostMessage(message, NULL)) go to the focus view,
// after the window's common filters. After each message the window redraws
// what became invalid. Without a display it works the same, off-screen;
// with one, a shown window is also an X window (see Display.h) whose
// input arrives as those same messages.
#pragma once

#include <Looper.h>

#include <string>

#include "Rect.h"
#include "View.h"

class BButton;

namespace BPrivate {
class ViewHost;
}

enum window_type {
    B_UNTYPED_WINDOW = 0,
    B_TITLED_WINDOW = 1,
    B_MODAL_WINDOW = 3,
    B_DOCUMENT_WINDOW = 11,
    B_BORDERED_WINDOW = 20,
    B_FLOATING_WINDOW = 21,
};

enum window_look {
    B_BORDERED_WINDOW_LOOK = 20,
    B_NO_BORDER_WINDOW_LOOK = 19,
    B_TITLED_WINDOW_LOOK = 1,
    B_DOCUMENT_WINDOW_LOOK = 11,
    B_MODAL_WINDOW_LOOK = 3,
    B_FLOATING_WINDOW_LOOK = 7,
};

enum window_feel {
    B_NORMAL_WINDOW_FEEL = 0,
    B_MODAL_SUBSET_WINDOW_FEEL = 2,
    B_MODAL_APP_WINDOW_FEEL = 1,
    B_MODAL_ALL_WINDOW_FEEL = 3,
    B_FLOATING_SUBSET_WINDOW_FEEL = 5,
    B_FLOATING_APP_WINDOW_FEEL = 4,
    B_FLOATING_ALL_WINDOW_FEEL = 6,
};

enum {
    B_NOT_MOVABLE = 0x00000001,
    B_NOT_CLOSABLE = 0x00000020,
    B_NOT_ZOOMABLE = 0x00000040,
    B_NOT_MINIMIZABLE = 0x00004000,
    B_NOT_RESIZABLE = 0x00000002,
    B_NOT_H_RESIZABLE = 0x00000004,
    B_NOT_V_RESIZABLE = 0x00000008,
    B_AVOID_FRONT = 0x00000080,
    B_AVOID_FOCUS = 0x00002000,
    B_WILL_ACCEPT_FIRST_CLICK = 0x00000010,
    B_OUTLINE_RESIZE = 0x00001000,
    B_NO_WORKSPACE_ACTIVATION = 0x00000100,
    B_ASYNCHRONOUS_CONTROLS = 0x00080000,
    B_QUIT_ON_WINDOW_CLOSE = 0x00100000,
};

enum {
    B_CURRENT_WORKSPACE = 0,
    B_ALL_WORKSPACES = 0xffffffff,
};

class BWindow : public BLooper {
public:
    BWindow(BRect frame, const char* title, window_type type, uint32 flags,
        uint32 workspace = B_CURRENT_WORKSPACE);
    BWindow(BRect frame, const char* title, window_look look, window_feel feel, uint32 flags,
        uint32 workspace = B_CURRENT_WORKSPACE);
    ~BWindow() override;

    void DispatchMessage(BMessage* message, BHandler* handler) override;
    void MessageReceived(BMessage* message) override;

    // A window starts hidden; Show and Hide nest. The first Show starts
    // the window's thread.
    virtual void Show();
    virtual void Hide();
    bool IsHidden() const;
    void Activate(bool active = true);
    bool IsActive() const { return fActive; }
    virtual void WindowActivated(bool active);
    virtual void FrameMoved(BPoint newPosition);
    virtual void FrameResized(float newWidth, float newHeight);

    // The frame is in screen coordinates; the bounds start at (0, 0).
    BRect Frame() const;
    BRect Bounds() const;
    void MoveTo(BPoint where);
    void MoveTo(float x, float y) { MoveTo(BPoint(x, y)); }
    void MoveBy(float dx, float dy);
    void ResizeTo(float width, float height);
    void ResizeBy(float dw, float dh);
    void SetTitle(const char* title);
    const char* Title() const { return fTitle.c_str(); }

    void AddChild(BView* child, BView* before = nullptr);
    bool RemoveChild(BView* child);
    int32 CountChildren() const;
    BView* ChildAt(int32 index) const;
    BView* FindView(const char* name) const;
    BView* CurrentFocus() const;
    void SetDefaultButton(BButton* button);
    BButton* DefaultButton() const;

    bool NeedsUpdate() const;
    void UpdateIfNeeded();
    // Draws the whole window anew and saves it as a PNG file.
    status_t WritePNG(const char* path);

    window_type Type() const { return fType; }
    window_look Look() const { return fLook; }
    window_feel Feel() const { return fFeel; }
    uint32 Flags() const { return fFlags; }
    void SetFlags(uint32 flags) { fFlags = flags; }
    uint32 Workspaces() const { return fWorkspaces; }

    BPrivate::ViewHost* Host() const { return fHost; }

private:
    void Init(BRect frame, const char* title, uint32 flags, uint32 workspace);
    void RouteMouse(BMessage* message);
    void RouteKey(BMessage* message, BView* view);
    void NativeConfigured(BMessage* message);

    BPrivate::ViewHost* fHost;
    std::string fTitle;
    window_type fType;
    window_look fLook;
    window_feel fFeel;
    uint32 fFlags;
    uint32 fWorkspaces;
    int32 fShowLevel;
    bool fActive;
};
