// What a window gives its views apart from its thread: the top view that
// holds them, the surface they draw into, the area waiting to be redrawn,
// the focus and the view that holds the pointer. A BWindow has one; tests
// and off-screen pictures use one on its own.
#pragma once

#include "Surface.h"
#include "View.h"

class BButton;
class BWindow;

namespace BPrivate {

class ViewHost {
public:
    // frame gives the size (its left and top are where it lies on screen).
    ViewHost(BRect frame, BWindow* window = nullptr);
    virtual ~ViewHost();
    ViewHost(const ViewHost&) = delete;
    ViewHost& operator=(const ViewHost&) = delete;

    BWindow* Window() const { return fWindow; }
    BView* TopView() const { return fTop; }
    Surface& GetSurface() { return fSurface; }
    BRect Bounds() const { return fTop->Bounds(); }
    BPoint ScreenOrigin() const { return fScreenOrigin; }
    void SetScreenOrigin(BPoint where) { fScreenOrigin = where; }
    // Resizes the top view (its children follow their resizing modes) and
    // the surface.
    void ResizeTo(float width, float height);

    // Marks an area of the window for redrawing.
    void Invalidate(BRect windowRect);
    bool NeedsUpdate() const { return fDirty.IsValid(); }
    BRect DirtyRect() const { return fDirty; }
    // Redraws the marked area, then hands it to Present.
    void UpdateIfNeeded();
    // Draws everything anew and writes the picture as a PNG file.
    status_t WritePNG(const char* path);

    BView* Focus() const { return fFocus; }
    void SetFocus(BView* view);
    BView* MouseCapture() const { return fCapture; }
    void SetMouseCapture(BView* view) { fCapture = view; }
    // The view that gets pointer events at a point of the window: the
    // capturing view while a button is held, else the view under it.
    BView* MouseTarget(BPoint windowWhere) const;
    // The view the pointer was last seen over, told when it leaves.
    BView* PointerView() const { return fPointerView; }
    void SetPointerView(BView* view) { fPointerView = view; }
    // A view leaves the window: it loses focus, capture and the pointer.
    void ViewDetached(BView* view);

    // The button that Enter clicks.
    BButton* DefaultButton() const { return fDefault; }
    void SetDefaultButton(BButton* button);

    bool InUpdate() const { return fUpdating; }
    BRect UpdateClip() const { return fUpdateClip; }
    void SetUpdateClip(BRect clip) { fUpdateClip = clip; }

protected:
    // Called after each redraw with the window area that changed; a window
    // on a display copies it there.
    virtual void Present(BRect windowRect) {}

private:
    BWindow* fWindow;
    BView* fTop;
    Surface fSurface;
    BRect fDirty;
    BView* fFocus;
    BView* fCapture;
    BView* fPointerView = nullptr;
    BButton* fDefault;
    BPoint fScreenOrigin;
    bool fUpdating;
    BRect fUpdateClip;
};

}  // namespace BPrivate
