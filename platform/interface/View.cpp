#include "View.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <KernelDebug.h>
#include <Message.h>

#include "ViewHost.h"
#include "Window.h"

using BPrivate::DrawState;
using BPrivate::Painter;
using BPrivate::ViewHost;

BView::BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    : BHandler(name),
      fFrame(frame),
      fResizingMode(resizingMode),
      fFlags(flags),
      fParent(nullptr),
      fHost(nullptr),
      fState(new DrawState()),
      fViewColor(make_color(255, 255, 255)),
      fHideLevel(0),
      fEventMask(0),
      fEventOptions(0)
{
    fState->font = *be_plain_font;
}

BView::BView(BMessage* archive)
    : BView(BRect(0, 0, 0, 0), nullptr, B_FOLLOW_LEFT | B_FOLLOW_TOP, 0)
{
    if (archive == nullptr)
        return;
    const char* name = nullptr;
    if (archive->FindString("_name", &name) == B_OK)
        SetName(name);
    BRect frame;
    if (archive->FindRect("_frame", &frame) == B_OK)
        fFrame = frame;
    int32 value;
    if (archive->FindInt32("_resize_mode", &value) == B_OK)
        fResizingMode = uint32(value);
    if (archive->FindInt32("_flags", &value) == B_OK)
        fFlags = uint32(value);
    const void* color;
    ssize_t size;
    if (archive->FindData("_color", B_RGB_COLOR_TYPE, &color, &size) == B_OK
        && size == ssize_t(sizeof(rgb_color)))
        fViewColor = *static_cast<const rgb_color*>(color);
    BMessage child;
    for (int32 i = 0; archive->FindMessage("_views", i, &child) == B_OK; i++) {
        BArchivable* object = instantiate_object(&child);
        if (BView* view = dynamic_cast<BView*>(object))
            AddChild(view);
        else
            delete object;
    }
}

BArchivable* BView::Instantiate(BMessage* archive)
{
    return validate_instantiation(archive, "BView") ? new BView(archive) : nullptr;
}

status_t BView::Archive(BMessage* into, bool deep) const
{
    status_t status = BHandler::Archive(into, deep);
    if (status == B_OK)
        status = into->AddRect("_frame", fFrame);
    if (status == B_OK)
        status = into->AddInt32("_resize_mode", int32(fResizingMode));
    if (status == B_OK)
        status = into->AddInt32("_flags", int32(fFlags));
    if (status == B_OK)
        status = into->AddData("_color", B_RGB_COLOR_TYPE, &fViewColor, sizeof fViewColor);
    for (size_t i = 0; deep && status == B_OK && i < fChildren.size(); i++) {
        BMessage child;
        status = fChildren[i]->Archive(&child, true);
        if (status == B_OK)
            status = into->AddMessage("_views", &child);
    }
    return status;
}

B_REGISTER_ARCHIVABLE(BView);

BView::~BView()
{
    // A view deleted while still in the tree leaves it first.
    if (fParent != nullptr)
        fParent->RemoveChild(this);
    for (BView* child : fChildren) {
        child->fParent = nullptr;
        child->fHost = nullptr;
        delete child;
    }
    delete fState;
}

void BView::AttachedToWindow() {}
void BView::AllAttached() {}
void BView::DetachedFromWindow() {}
void BView::AllDetached() {}
void BView::Draw(BRect) {}
void BView::DrawAfterChildren(BRect) {}
void BView::FrameMoved(BPoint) {}
void BView::FrameResized(float, float) {}
void BView::MouseDown(BPoint) {}
void BView::MouseUp(BPoint) {}
void BView::MouseMoved(BPoint, uint32, const BMessage*) {}
void BView::KeyDown(const char*, int32) {}
void BView::KeyUp(const char*, int32) {}
void BView::WindowActivated(bool) {}

void BView::MakeFocus(bool focus)
{
    if (fHost == nullptr)
        return;
    if (focus)
        fHost->SetFocus(this);
    else if (fHost->Focus() == this)
        fHost->SetFocus(nullptr);
}

bool BView::IsFocus() const
{
    return fHost != nullptr && fHost->Focus() == this;
}

void BView::GetPreferredSize(float* width, float* height)
{
    if (width != nullptr)
        *width = fFrame.Width();
    if (height != nullptr)
        *height = fFrame.Height();
}

void BView::ResizeToPreferred()
{
    float w, h;
    GetPreferredSize(&w, &h);
    ResizeTo(w, h);
}

void BView::Show()
{
    if (fHideLevel > 0 && --fHideLevel == 0)
        Invalidate();
}

void BView::Hide()
{
    if (fHideLevel++ == 0 && fHost != nullptr) {
        fHost->Invalidate(ConvertToWindow(Bounds()));
        // A hidden view cannot keep the focus.
        if (fHost->Focus() != nullptr) {
            for (BView* v = fHost->Focus(); v != nullptr; v = v->fParent)
                if (v == this) {
                    fHost->SetFocus(nullptr);
                    break;
                }
        }
    }
}

bool BView::IsHidden() const
{
    for (const BView* v = this; v != nullptr; v = v->fParent)
        if (v->fHideLevel > 0)
            return true;
    return false;
}

void BView::SetFont(const BFont* font)
{
    if (font != nullptr)
        fState->font = *font;
    Invalidate();
}

void BView::SetFlags(uint32 flags)
{
    fFlags = flags;
}

void BView::SetResizingMode(uint32 mode)
{
    fResizingMode = mode;
}

// The tree.

void BView::AddChild(BView* child, BView* before)
{
    if (child == nullptr)
        return;
    if (child->fParent != nullptr) {
        debugger("BView::AddChild: the view already has a parent");
        return;
    }
    for (const BView* v = this; v != nullptr; v = v->fParent) {
        if (v == child) {
            debugger("BView::AddChild: a view cannot be its own descendant");
            return;
        }
    }
    if (child->fHost != nullptr || child->Looper() != nullptr) {
        debugger("BView::AddChild: the view already belongs to a window");
        return;
    }
    auto at = std::find(fChildren.begin(), fChildren.end(), before);
    fChildren.insert(at, child);
    child->fParent = this;
    if (fHost != nullptr) {
        child->SetHost(fHost);
        child->CallAttached();
        child->CallAllAttached();
        child->Invalidate();
    }
}

bool BView::RemoveChild(BView* child)
{
    auto at = std::find(fChildren.begin(), fChildren.end(), child);
    if (child == nullptr || at == fChildren.end())
        return false;
    if (fHost != nullptr) {
        fHost->Invalidate(child->ConvertToWindow(child->Bounds()));
        child->CallDetached();
        child->CallAllDetached();
        child->SetHost(nullptr);
    }
    fChildren.erase(std::find(fChildren.begin(), fChildren.end(), child));
    child->fParent = nullptr;
    return true;
}

bool BView::RemoveSelf()
{
    return fParent != nullptr && fParent->RemoveChild(this);
}

BView* BView::ChildAt(int32 index) const
{
    if (index < 0 || index >= CountChildren())
        return nullptr;
    return fChildren[size_t(index)];
}

BView* BView::NextSibling() const
{
    if (fParent == nullptr)
        return nullptr;
    const auto& s = fParent->fChildren;
    auto at = std::find(s.begin(), s.end(), this);
    return at == s.end() || at + 1 == s.end() ? nullptr : *(at + 1);
}

BView* BView::PreviousSibling() const
{
    if (fParent == nullptr)
        return nullptr;
    const auto& s = fParent->fChildren;
    auto at = std::find(s.begin(), s.end(), this);
    return at == s.end() || at == s.begin() ? nullptr : *(at - 1);
}

BView* BView::FindView(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    if (Name() != nullptr && std::strcmp(Name(), name) == 0)
        return const_cast<BView*>(this);
    for (BView* child : fChildren)
        if (BView* found = child->FindView(name))
            return found;
    return nullptr;
}

BWindow* BView::Window() const
{
    return fHost != nullptr ? fHost->Window() : nullptr;
}

void BView::SetHost(ViewHost* host)
{
    if (fHost != nullptr && host == nullptr) {
        fHost->ViewDetached(this);
        DetachHandlers();
    }
    fHost = host;
    if (host != nullptr && host->Window() != nullptr)
        AttachHandlers(host->Window());
    for (BView* child : fChildren)
        child->SetHost(host);
}

// A view in a window is one of the window's handlers; what it does not
// handle goes on to its parent, and from the top to the window.
void BView::AttachHandlers(BWindow* window)
{
    if (Looper() != nullptr)
        return;
    window->AddHandler(this);
    if (fParent != nullptr)
        SetNextHandler(fParent);
}

void BView::DetachHandlers()
{
    if (Looper() != nullptr)
        Looper()->RemoveHandler(this);
}

// AttachedToWindow runs from the top of the subtree down, AllAttached from
// the bottom up, once every view of the subtree is attached.
void BView::CallAttached()
{
    AttachedToWindow();
    for (size_t i = 0; i < fChildren.size(); i++)
        fChildren[i]->CallAttached();
}

void BView::CallAllAttached()
{
    for (size_t i = 0; i < fChildren.size(); i++)
        fChildren[i]->CallAllAttached();
    AllAttached();
}

void BView::CallDetached()
{
    DetachedFromWindow();
    for (size_t i = 0; i < fChildren.size(); i++)
        fChildren[i]->CallDetached();
}

void BView::CallAllDetached()
{
    for (size_t i = 0; i < fChildren.size(); i++)
        fChildren[i]->CallAllDetached();
    AllDetached();
}

// Geometry.

void BView::MoveTo(BPoint where)
{
    if (where == fFrame.LeftTop())
        return;
    if (fHost != nullptr && fParent != nullptr)
        fHost->Invalidate(fParent->ConvertToWindow(fFrame));
    fFrame.OffsetTo(where);
    if (fFlags & B_FRAME_EVENTS)
        FrameMoved(where);
    Invalidate();
}

void BView::ResizeTo(float width, float height)
{
    width = std::max(0.0f, width);
    height = std::max(0.0f, height);
    float dw = width - fFrame.Width(), dh = height - fFrame.Height();
    if (dw == 0 && dh == 0)
        return;
    if (fHost != nullptr && fParent != nullptr)
        fHost->Invalidate(fParent->ConvertToWindow(fFrame));
    fFrame.right = fFrame.left + width;
    fFrame.bottom = fFrame.top + height;
    for (size_t i = 0; i < fChildren.size(); i++)
        fChildren[i]->ParentResized(dw, dh);
    if (fFlags & B_FRAME_EVENTS)
        FrameResized(width, height);
    Invalidate();
}

// Each edge keeps its distance to the parent's left (or top) edge, to its
// right (or bottom) edge, or to its centre.
void BView::ParentResized(float dw, float dh)
{
    auto shift = [](uint32 rule, float delta) {
        switch (rule) {
            case _VIEW_RIGHT_:
            case _VIEW_BOTTOM_:
                return delta;
            case _VIEW_CENTER_:
                return delta / 2;
            default:
                return 0.0f;
        }
    };
    uint32 m = fResizingMode;
    float left = fFrame.left + shift((m >> 12) & 0xf, dw);
    float top = fFrame.top + shift((m >> 8) & 0xf, dh);
    float right = fFrame.right + shift((m >> 4) & 0xf, dw);
    float bottom = fFrame.bottom + shift(m & 0xf, dh);
    MoveTo(left, top);
    ResizeTo(right - left, bottom - top);
}

BPoint BView::ConvertToWindow(BPoint p) const
{
    for (const BView* v = this; v != nullptr; v = v->fParent)
        p += v->fFrame.LeftTop();
    return p;
}

BRect BView::ConvertToWindow(BRect r) const
{
    BPoint lt = ConvertToWindow(BPoint(0, 0));
    return r.OffsetByCopy(lt.x, lt.y);
}

BPoint BView::ConvertFromWindow(BPoint p) const
{
    return p - ConvertToWindow(BPoint(0, 0));
}

BPoint BView::ConvertToScreen(BPoint p) const
{
    p = ConvertToWindow(p);
    return fHost != nullptr ? p + fHost->ScreenOrigin() : p;
}

BRect BView::ConvertToScreen(BRect r) const
{
    BPoint lt = ConvertToScreen(BPoint(0, 0));
    return r.OffsetByCopy(lt.x, lt.y);
}

BPoint BView::ConvertFromScreen(BPoint p) const
{
    return p - ConvertToScreen(BPoint(0, 0));
}

BRect BView::VisibleInWindow() const
{
    BRect r = ConvertToWindow(Bounds());
    for (const BView* v = fParent; v != nullptr; v = v->fParent)
        r = r & v->ConvertToWindow(v->Bounds());
    return r;
}

BView* BView::ViewAt(BPoint where)
{
    if (fHideLevel > 0 || !Bounds().Contains(where))
        return nullptr;
    // Later children lie on top of earlier ones.
    for (size_t i = fChildren.size(); i-- > 0;) {
        BView* child = fChildren[i];
        if (BView* hit = child->ViewAt(child->ConvertFromParent(where)))
            return hit;
    }
    return this;
}

// Drawing state.

void BView::SetHighColor(rgb_color c) { fState->high = c; }
rgb_color BView::HighColor() const { return fState->high; }
void BView::SetLowColor(rgb_color c) { fState->low = c; }
rgb_color BView::LowColor() const { return fState->low; }
void BView::SetDrawingMode(drawing_mode mode) { fState->mode = mode; }
drawing_mode BView::DrawingMode() const { return fState->mode; }

void BView::SetBlendingMode(source_alpha srcAlpha, alpha_function alphaFunction)
{
    fState->srcAlpha = srcAlpha;
    fState->alphaFunction = alphaFunction;
}

void BView::GetBlendingMode(source_alpha* srcAlpha, alpha_function* alphaFunction) const
{
    if (srcAlpha != nullptr)
        *srcAlpha = fState->srcAlpha;
    if (alphaFunction != nullptr)
        *alphaFunction = fState->alphaFunction;
}

void BView::SetPenSize(float size) { fState->penSize = size > 0 ? size : 1.0f; }
float BView::PenSize() const { return fState->penSize; }

void BView::GetFont(BFont* font) const
{
    if (font != nullptr)
        *font = fState->font;
}

void BView::SetFontSize(float size)
{
    fState->font.SetSize(size);
    Invalidate();
}

float BView::StringWidth(const char* text) const
{
    return fState->font.StringWidth(text);
}

float BView::StringWidth(const char* text, int32 length) const
{
    return fState->font.StringWidth(text, length);
}

void BView::GetFontHeight(font_height* height) const
{
    fState->font.GetHeight(height);
}

// Drawing: ignored until the view is in a window, and clipped to the part
// of the window the view covers (and, during an update, to the update).

template <typename Paint>
void BView::Paint_(bool low, Paint paint)
{
    if (fHost == nullptr || IsHidden())
        return;
    BRect clip = VisibleInWindow();
    if (fHost->InUpdate())
        clip = clip & fHost->UpdateClip();
    if (!clip.IsValid())
        return;
    Painter painter(fHost->GetSurface(), ConvertToWindow(BPoint(0, 0)), clip);
    paint(painter, *fState, low);
}

namespace {

bool is_low(const pattern& p)
{
    for (uint8 b : p.data)
        if (b != 0)
            return false;
    return true;
}

}  // namespace

void BView::FillRect(BRect r, pattern p)
{
    Paint_(is_low(p), [r](Painter& pt, const DrawState& s, bool low) { pt.FillRect(r, s, low); });
}

void BView::StrokeRect(BRect r, pattern p)
{
    Paint_(is_low(p), [r](Painter& pt, const DrawState& s, bool low) { pt.StrokeRect(r, s, low); });
}

void BView::StrokeLine(BPoint to, pattern p)
{
    StrokeLine(fPen, to, p);
}

void BView::StrokeLine(BPoint from, BPoint to, pattern p)
{
    fPen = to;
    Paint_(is_low(p), [from, to](Painter& pt, const DrawState& s, bool low) {
        pt.StrokeLine(from, to, s, low);
    });
}

void BView::FillEllipse(BRect r, pattern p)
{
    Paint_(is_low(p), [r](Painter& pt, const DrawState& s, bool low) { pt.FillEllipse(r, s, low); });
}

void BView::StrokeEllipse(BRect r, pattern p)
{
    Paint_(is_low(p), [r](Painter& pt, const DrawState& s, bool low) { pt.StrokeEllipse(r, s, low); });
}

void BView::FillTriangle(BPoint a, BPoint b, BPoint c, pattern p)
{
    Paint_(is_low(p), [a, b, c](Painter& pt, const DrawState& s, bool low) {
        pt.FillTriangle(a, b, c, s, low);
    });
}

void BView::DrawString(const char* text)
{
    DrawString(text, -1, fPen);
}

void BView::DrawString(const char* text, BPoint where)
{
    DrawString(text, -1, where);
}

void BView::DrawString(const char* text, int32 length, BPoint where)
{
    if (text == nullptr)
        return;
    float advance = -1;
    Paint_(false, [&](Painter& pt, const DrawState& s, bool) {
        advance = pt.DrawString(text, length, where, s);
    });
    if (advance < 0)
        advance = StringWidth(text, length);
    fPen.Set(where.x + advance, where.y);
}

void BView::DrawBitmap(const BBitmap* bitmap)
{
    DrawBitmap(bitmap, BPoint(0, 0));
}

void BView::DrawBitmap(const BBitmap* bitmap, BPoint where)
{
    if (bitmap == nullptr)
        return;
    BRect b = bitmap->Bounds();
    DrawBitmap(bitmap, b, b.OffsetToCopy(where));
}

void BView::DrawBitmap(const BBitmap* bitmap, BRect source, BRect destination)
{
    Paint_(false, [&](Painter& pt, const DrawState& s, bool) {
        pt.DrawBitmap(bitmap, source, destination, s);
    });
}

void BView::Invalidate(BRect r)
{
    if (fHost != nullptr && !IsHidden())
        fHost->Invalidate(ConvertToWindow(r) & VisibleInWindow());
}

void BView::Invalidate()
{
    Invalidate(Bounds());
}

// Erases with the view colour, draws the view, then its children on top.
void BView::DrawTree(BRect windowUpdate)
{
    if (fHideLevel > 0)
        return;
    BRect area = VisibleInWindow() & windowUpdate;
    if (!area.IsValid())
        return;
    fHost->SetUpdateClip(area);
    if (fViewColor != B_TRANSPARENT_COLOR) {
        Painter painter(fHost->GetSurface(), BPoint(0, 0), area);
        DrawState erase;
        erase.high = fViewColor;
        painter.FillRect(area, erase, false);
    }
    BRect local = area.OffsetByCopy(-ConvertToWindow(BPoint(0, 0)).x, -ConvertToWindow(BPoint(0, 0)).y);
    if (fFlags & B_WILL_DRAW)
        Draw(local);
    for (size_t i = 0; i < fChildren.size(); i++)
        fChildren[i]->DrawTree(windowUpdate);
    if (fFlags & B_DRAW_ON_CHILDREN) {
        fHost->SetUpdateClip(area);
        DrawAfterChildren(local);
    }
}

status_t BView::SetMouseEventMask(uint32 mask, uint32 options)
{
    if (fHost == nullptr)
        return B_ERROR;
    fEventMask = mask;
    fEventOptions = options;
    if (mask & B_POINTER_EVENTS)
        fHost->SetMouseCapture(this);
    return B_OK;
}
