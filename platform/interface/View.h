// A rectangle of a window that draws itself and takes input. Views form a
// tree: a view's frame is in its parent's coordinates, its bounds in its
// own; a view owns its children and deletes them with itself.
#pragma once

#include <string>
#include <vector>

#include <Handler.h>
#include <SupportDefs.h>

#include "Font.h"
#include "GraphicsDefs.h"
#include "InterfaceDefs.h"
#include "Rect.h"

class BBitmap;
class BMessage;
class BWindow;

namespace BPrivate {
class ViewHost;
struct DrawState;
}

// Resizing modes: how each edge follows the parent's when the parent is
// resized. Four nibbles, for the left, top, right and bottom edges.
#define _rule_(l, t, r, b) (((l) << 12) | ((t) << 8) | ((r) << 4) | (b))
enum {
    _VIEW_TOP_ = 1,
    _VIEW_LEFT_ = 2,
    _VIEW_BOTTOM_ = 3,
    _VIEW_RIGHT_ = 4,
    _VIEW_CENTER_ = 5,
};
enum {
    B_FOLLOW_NONE = 0,
    B_FOLLOW_ALL_SIDES = _rule_(_VIEW_LEFT_, _VIEW_TOP_, _VIEW_RIGHT_, _VIEW_BOTTOM_),
    B_FOLLOW_ALL = B_FOLLOW_ALL_SIDES,
    B_FOLLOW_LEFT = _rule_(_VIEW_LEFT_, 0, _VIEW_LEFT_, 0),
    B_FOLLOW_RIGHT = _rule_(_VIEW_RIGHT_, 0, _VIEW_RIGHT_, 0),
    B_FOLLOW_LEFT_RIGHT = _rule_(_VIEW_LEFT_, 0, _VIEW_RIGHT_, 0),
    B_FOLLOW_H_CENTER = _rule_(_VIEW_CENTER_, 0, _VIEW_CENTER_, 0),
    B_FOLLOW_TOP = _rule_(0, _VIEW_TOP_, 0, _VIEW_TOP_),
    B_FOLLOW_BOTTOM = _rule_(0, _VIEW_BOTTOM_, 0, _VIEW_BOTTOM_),
    B_FOLLOW_TOP_BOTTOM = _rule_(0, _VIEW_TOP_, 0, _VIEW_BOTTOM_),
    B_FOLLOW_V_CENTER = _rule_(0, _VIEW_CENTER_, 0, _VIEW_CENTER_),
};

// View flags.
enum {
    B_FULL_UPDATE_ON_RESIZE = 0x80000000u,
    B_WILL_DRAW = 0x20000000u,
    B_PULSE_NEEDED = 0x10000000u,
    B_NAVIGABLE_JUMP = 0x08000000u,
    B_FRAME_EVENTS = 0x04000000u,
    B_NAVIGABLE = 0x02000000u,
    B_SUBPIXEL_PRECISE = 0x01000000u,
    B_DRAW_ON_CHILDREN = 0x00800000u,
    B_INPUT_METHOD_AWARE = 0x00400000u,
};

// SetMouseEventMask: B_POINTER_EVENTS keeps the pointer with the view
// while a button is held, wherever the pointer goes.
enum {
    B_POINTER_EVENTS = 0x00000001,
    B_KEYBOARD_EVENTS = 0x00000002,
};
enum {
    B_LOCK_WINDOW_FOCUS = 0x00000001,
    B_SUSPEND_VIEW_FOCUS = 0x00000002,
    B_NO_POINTER_HISTORY = 0x00000004,
};

// The "transit" of MouseMoved.
enum {
    B_ENTERED_VIEW = 0,
    B_INSIDE_VIEW,
    B_EXITED_VIEW,
    B_OUTSIDE_VIEW,
};

struct pattern {
    uint8 data[8];
};
inline constexpr pattern B_SOLID_HIGH = {{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}};
inline constexpr pattern B_SOLID_LOW = {{0, 0, 0, 0, 0, 0, 0, 0}};

// SetViewColor(B_TRANSPARENT_COLOR) means "erase nothing before Draw".
class BView : public BHandler {
public:
    BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    // From an archive: "_frame", "_resize_mode", "_flags", "_color" and,
    // for a deep archive, the children in "_views".
    explicit BView(BMessage* archive);
    ~BView() override;
    BView(const BView&) = delete;
    BView& operator=(const BView&) = delete;

    // Hooks.
    virtual void AttachedToWindow();
    virtual void AllAttached();
    virtual void DetachedFromWindow();
    virtual void AllDetached();
    virtual void Draw(BRect updateRect);
    virtual void DrawAfterChildren(BRect updateRect);
    virtual void FrameMoved(BPoint newPosition);
    virtual void FrameResized(float newWidth, float newHeight);
    virtual void MouseDown(BPoint where);
    virtual void MouseUp(BPoint where);
    virtual void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage);
    virtual void KeyDown(const char* bytes, int32 numBytes);
    virtual void KeyUp(const char* bytes, int32 numBytes);
    virtual void WindowActivated(bool active);
    virtual void MakeFocus(bool focus = true);
    virtual void GetPreferredSize(float* width, float* height);
    virtual void ResizeToPreferred();
    virtual void Show();
    virtual void Hide();
    virtual void SetFont(const BFont* font);
    virtual void SetFlags(uint32 flags);
    virtual void SetResizingMode(uint32 mode);

    static BArchivable* Instantiate(BMessage* archive);
    status_t Archive(BMessage* into, bool deep = true) const override;

    // The tree.
    void AddChild(BView* child, BView* before = nullptr);
    bool RemoveChild(BView* child);
    bool RemoveSelf();
    int32 CountChildren() const { return int32(fChildren.size()); }
    BView* ChildAt(int32 index) const;
    BView* NextSibling() const;
    BView* PreviousSibling() const;
    BView* Parent() const { return fParent; }
    // This view or the first view below it, depth first, with that name.
    BView* FindView(const char* name) const;
    BWindow* Window() const;

    // Geometry.
    BRect Frame() const { return fFrame; }
    BRect Bounds() const { return BRect(0, 0, fFrame.Width(), fFrame.Height()); }
    void MoveTo(BPoint where);
    void MoveTo(float x, float y) { MoveTo(BPoint(x, y)); }
    void MoveBy(float dx, float dy) { MoveTo(fFrame.left + dx, fFrame.top + dy); }
    void ResizeTo(float width, float height);
    void ResizeBy(float dw, float dh) { ResizeTo(fFrame.Width() + dw, fFrame.Height() + dh); }
    BPoint ConvertToParent(BPoint p) const { return p + fFrame.LeftTop(); }
    BRect ConvertToParent(BRect r) const { return r.OffsetByCopy(fFrame.left, fFrame.top); }
    BPoint ConvertFromParent(BPoint p) const { return p - fFrame.LeftTop(); }
    BRect ConvertFromParent(BRect r) const { return r.OffsetByCopy(-fFrame.left, -fFrame.top); }
    // To and from the coordinates of the window (its top view's).
    BPoint ConvertToWindow(BPoint p) const;
    BRect ConvertToWindow(BRect r) const;
    BPoint ConvertFromWindow(BPoint p) const;
    BPoint ConvertToScreen(BPoint p) const;
    BRect ConvertToScreen(BRect r) const;
    BPoint ConvertFromScreen(BPoint p) const;
    uint32 ResizingMode() const { return fResizingMode; }
    uint32 Flags() const { return fFlags; }
    bool IsHidden() const;
    bool IsFocus() const;

    // Drawing state.
    void SetViewColor(rgb_color c) { fViewColor = c; }
    void SetViewColor(uint8 r, uint8 g, uint8 b, uint8 a = 255) { SetViewColor(make_color(r, g, b, a)); }
    rgb_color ViewColor() const { return fViewColor; }
    void SetHighColor(rgb_color c);
    void SetHighColor(uint8 r, uint8 g, uint8 b, uint8 a = 255) { SetHighColor(make_color(r, g, b, a)); }
    rgb_color HighColor() const;
    void SetLowColor(rgb_color c);
    void SetLowColor(uint8 r, uint8 g, uint8 b, uint8 a = 255) { SetLowColor(make_color(r, g, b, a)); }
    rgb_color LowColor() const;
    void SetDrawingMode(drawing_mode mode);
    drawing_mode DrawingMode() const;
    void SetBlendingMode(source_alpha srcAlpha, alpha_function alphaFunction);
    void GetBlendingMode(source_alpha* srcAlpha, alpha_function* alphaFunction) const;
    void SetPenSize(float size);
    float PenSize() const;
    void MovePenTo(BPoint p) { fPen = p; }
    void MovePenTo(float x, float y) { fPen.Set(x, y); }
    void MovePenBy(float dx, float dy) { fPen.x += dx; fPen.y += dy; }
    BPoint PenLocation() const { return fPen; }
    void GetFont(BFont* font) const;
    void SetFontSize(float size);
    float StringWidth(const char* text) const;
    float StringWidth(const char* text, int32 length) const;
    void GetFontHeight(font_height* height) const;

    // Drawing, in this view's coordinates, while it is in a window.
    void FillRect(BRect r, pattern p = B_SOLID_HIGH);
    void StrokeRect(BRect r, pattern p = B_SOLID_HIGH);
    void StrokeLine(BPoint to, pattern p = B_SOLID_HIGH);
    void StrokeLine(BPoint from, BPoint to, pattern p = B_SOLID_HIGH);
    void FillEllipse(BRect r, pattern p = B_SOLID_HIGH);
    void StrokeEllipse(BRect r, pattern p = B_SOLID_HIGH);
    void FillTriangle(BPoint a, BPoint b, BPoint c, pattern p = B_SOLID_HIGH);
    // The baseline starts at the pen (or where) and the pen moves to its end.
    void DrawString(const char* text);
    void DrawString(const char* text, BPoint where);
    void DrawString(const char* text, int32 length, BPoint where);
    void DrawBitmap(const BBitmap* bitmap);
    void DrawBitmap(const BBitmap* bitmap, BPoint where);
    void DrawBitmap(const BBitmap* bitmap, BRect source, BRect destination);
    void DrawBitmapAsync(const BBitmap* bitmap, BPoint where) { DrawBitmap(bitmap, where); }
    void Invalidate(BRect r);
    void Invalidate();
    void Sync() const {}
    void Flush() const {}

    // Input.
    status_t SetMouseEventMask(uint32 mask, uint32 options = 0);
    uint32 EventMask() const { return fEventMask; }
    uint32 EventOptions() const { return fEventOptions; }

    // The deepest visible view at a point of this view's coordinates.
    BView* ViewAt(BPoint where);

protected:
    BPrivate::ViewHost* Host() const { return fHost; }

private:
    friend class BPrivate::ViewHost;

    void SetHost(BPrivate::ViewHost* host);
    void CallAttached();
    void CallAllAttached();
    void CallDetached();
    void CallAllDetached();
    void ParentResized(float dw, float dh);
    BRect VisibleInWindow() const;
    template <typename Paint> void Paint_(bool low, Paint paint);
    void DrawTree(BRect windowUpdate);

    void AttachHandlers(BWindow* window);
    void DetachHandlers();

    BRect fFrame;
    uint32 fResizingMode;
    uint32 fFlags;
    BView* fParent;
    std::vector<BView*> fChildren;
    BPrivate::ViewHost* fHost;
    BPrivate::DrawState* fState;
    rgb_color fViewColor;
    BPoint fPen;
    int32 fHideLevel;
    uint32 fEventMask;
    uint32 fEventOptions;
};
