#include "Window.h"

#include <Message.h>
#include <WindowList.h>

#include <cstring>

#include "Button.h"
#include "Display.h"
#include "ViewHost.h"

using BPrivate::NativeWindow;
using BPrivate::ViewHost;
using BPrivate::WindowHost;

namespace {

window_look look_for(window_type type)
{
    switch (type) {
        case B_MODAL_WINDOW:
            return B_MODAL_WINDOW_LOOK;
        case B_DOCUMENT_WINDOW:
            return B_DOCUMENT_WINDOW_LOOK;
        case B_BORDERED_WINDOW:
            return B_BORDERED_WINDOW_LOOK;
        case B_FLOATING_WINDOW:
            return B_FLOATING_WINDOW_LOOK;
        default:
            return B_TITLED_WINDOW_LOOK;
    }
}

window_feel feel_for(window_type type)
{
    switch (type) {
        case B_MODAL_WINDOW:
            return B_MODAL_APP_WINDOW_FEEL;
        case B_FLOATING_WINDOW:
            return B_FLOATING_APP_WINDOW_FEEL;
        default:
            return B_NORMAL_WINDOW_FEEL;
    }
}

NativeWindow* native_of(ViewHost* host)
{
    return static_cast<WindowHost*>(host)->Native();
}

}  // namespace

BWindow::BWindow(BRect frame, const char* title, window_type type, uint32 flags, uint32 workspace)
    : BLooper(title), fType(type), fLook(look_for(type)), fFeel(feel_for(type))
{
    Init(frame, title, flags, workspace);
}

BWindow::BWindow(BRect frame, const char* title, window_look look, window_feel feel,
    uint32 flags, uint32 workspace)
    : BLooper(title), fType(B_UNTYPED_WINDOW), fLook(look), fFeel(feel)
{
    Init(frame, title, flags, workspace);
}

void BWindow::Init(BRect frame, const char* title, uint32 flags, uint32 workspace)
{
    fTitle = title ? title : "";
    fFlags = flags;
    fWorkspaces = workspace;
    fShowLevel = 1;
    fActive = false;
    fHost = new WindowHost(frame, this);
    app_private::add_window(this, this);
}

BWindow::~BWindow()
{
    app_private::remove_window(this);
    delete fHost;
}

void BWindow::DispatchMessage(BMessage* message, BHandler* handler)
{
    switch (message->what) {
        case B_MOUSE_DOWN:
        case B_MOUSE_UP:
        case B_MOUSE_MOVED:
            RouteMouse(message);
            break;
        case B_KEY_DOWN:
        case B_KEY_UP:
            if (BView* view = dynamic_cast<BView*>(handler))
                RouteKey(message, view);
            else
                handler->MessageReceived(message);
            break;
        case B_WINDOW_ACTIVATED: {
            bool active = false;
            message->FindBool("active", &active);
            if (active != fActive) {
                fActive = active;
                WindowActivated(active);
            }
            break;
        }
        case BPrivate::kMsgNativeExposed: {
            BRect rect;
            if (message->FindRect("rect", &rect) == B_OK)
                static_cast<WindowHost*>(fHost)->Repaint(rect);
            break;
        }
        case BPrivate::kMsgNativeConfigured:
            NativeConfigured(message);
            break;
        default:
            BLooper::DispatchMessage(message, handler);
            break;
    }
    // What the message made invalid is drawn before the next one.
    fHost->UpdateIfNeeded();
}

void BWindow::MessageReceived(BMessage* message)
{
    BLooper::MessageReceived(message);
}

// The view that holds the pointer gets every pointer message until the
// last button is released; otherwise the view under the pointer does.
void BWindow::RouteMouse(BMessage* message)
{
    BPoint where;
    if (message->FindPoint("where", &where) != B_OK)
        return;
    int32 buttons = 0;
    message->FindInt32("buttons", &buttons);
    BView* under = fHost->TopView()->ViewAt(where);
    BView* target = fHost->MouseCapture() != nullptr ? fHost->MouseCapture() : under;
    BView* last = fHost->PointerView();
    if (message->what == B_MOUSE_MOVED && fHost->MouseCapture() == nullptr && under != last) {
        if (last != nullptr)
            last->MouseMoved(last->ConvertFromWindow(where), B_EXITED_VIEW, nullptr);
        fHost->SetPointerView(under);
        if (under != nullptr)
            under->MouseMoved(under->ConvertFromWindow(where), B_ENTERED_VIEW, nullptr);
        return;
    }
    if (target == nullptr)
        return;
    BPoint local = target->ConvertFromWindow(where);
    switch (message->what) {
        case B_MOUSE_DOWN:
            target->MouseDown(local);
            break;
        case B_MOUSE_UP:
            target->MouseUp(local);
            if (buttons == 0)
                fHost->SetMouseCapture(nullptr);
            break;
        default:
            target->MouseMoved(local, target->Bounds().Contains(local) ? B_INSIDE_VIEW
                : B_OUTSIDE_VIEW, nullptr);
            break;
    }
}

void BWindow::RouteKey(BMessage* message, BView* view)
{
    const char* bytes = nullptr;
    if (message->FindString("bytes", &bytes) != B_OK || bytes == nullptr)
        return;
    int32 length = int32(std::strlen(bytes));
    if (message->what == B_KEY_DOWN)
        view->KeyDown(bytes, length);
    else
        view->KeyUp(bytes, length);
}

// Moved or resized by the user (or the window manager): the frame follows
// the display; what we asked for ourselves is already in place.
void BWindow::NativeConfigured(BMessage* message)
{
    NativeWindow* native = native_of(fHost);
    BRect frame;
    int64 serial = 0;
    if (native == nullptr || message->FindRect("frame", &frame) != B_OK
        || message->FindInt64("serial", &serial) != B_OK || native->IsStale(uint64(serial)))
        return;
    if (frame.LeftTop() != fHost->ScreenOrigin()) {
        fHost->SetScreenOrigin(frame.LeftTop());
        FrameMoved(frame.LeftTop());
    }
    if (frame.Width() != Bounds().Width() || frame.Height() != Bounds().Height()) {
        fHost->ResizeTo(frame.Width(), frame.Height());
        FrameResized(Bounds().Width(), Bounds().Height());
    }
}

void BWindow::Show()
{
    if (--fShowLevel == 0) {
        fHost->Invalidate(fHost->Bounds());
        auto* host = static_cast<WindowHost*>(fHost);
        if (host->Native() == nullptr && BPrivate::display_available())
            host->SetNative(std::make_unique<NativeWindow>(this, Frame(), Title(), fFlags));
        if (host->Native() != nullptr)
            host->Native()->Show((fFlags & B_AVOID_FOCUS) == 0);
    }
    if (Thread() < 0)
        Run();
}

void BWindow::Hide()
{
    if (fShowLevel++ == 0 && native_of(fHost) != nullptr)
        native_of(fHost)->Hide();
}

bool BWindow::IsHidden() const
{
    return fShowLevel > 0;
}

void BWindow::Activate(bool active)
{
    if (IsHidden())
        return;
    if (active && native_of(fHost) != nullptr)
        native_of(fHost)->Activate();
    if (active == fActive)
        return;
    fActive = active;
    WindowActivated(active);
}

void BWindow::WindowActivated(bool) {}
void BWindow::FrameMoved(BPoint) {}
void BWindow::FrameResized(float, float) {}

BRect BWindow::Frame() const
{
    return fHost->Bounds().OffsetByCopy(fHost->ScreenOrigin().x, fHost->ScreenOrigin().y);
}

BRect BWindow::Bounds() const
{
    return fHost->Bounds();
}

void BWindow::MoveTo(BPoint where)
{
    if (where == fHost->ScreenOrigin())
        return;
    fHost->SetScreenOrigin(where);
    if (native_of(fHost) != nullptr)
        native_of(fHost)->MoveTo(where);
    FrameMoved(where);
}

void BWindow::MoveBy(float dx, float dy)
{
    MoveTo(fHost->ScreenOrigin() + BPoint(dx, dy));
}

void BWindow::ResizeTo(float width, float height)
{
    if (width == Bounds().Width() && height == Bounds().Height())
        return;
    fHost->ResizeTo(width, height);
    if (native_of(fHost) != nullptr)
        native_of(fHost)->ResizeTo(Bounds().IntegerWidth() + 1, Bounds().IntegerHeight() + 1);
    FrameResized(Bounds().Width(), Bounds().Height());
}

void BWindow::ResizeBy(float dw, float dh)
{
    ResizeTo(Bounds().Width() + dw, Bounds().Height() + dh);
}

void BWindow::SetTitle(const char* title)
{
    fTitle = title ? title : "";
    if (native_of(fHost) != nullptr)
        native_of(fHost)->SetTitle(fTitle.c_str());
}

void BWindow::AddChild(BView* child, BView* before)
{
    fHost->TopView()->AddChild(child, before);
}

bool BWindow::RemoveChild(BView* child)
{
    return fHost->TopView()->RemoveChild(child);
}

int32 BWindow::CountChildren() const
{
    return fHost->TopView()->CountChildren();
}

BView* BWindow::ChildAt(int32 index) const
{
    return fHost->TopView()->ChildAt(index);
}

BView* BWindow::FindView(const char* name) const
{
    return fHost->TopView()->FindView(name);
}

BView* BWindow::CurrentFocus() const
{
    return fHost->Focus();
}

void BWindow::SetDefaultButton(BButton* button)
{
    fHost->SetDefaultButton(button);
}

BButton* BWindow::DefaultButton() const
{
    return fHost->DefaultButton();
}

bool BWindow::NeedsUpdate() const
{
    return fHost->NeedsUpdate();
}

void BWindow::UpdateIfNeeded()
{
    fHost->UpdateIfNeeded();
}

status_t BWindow::WritePNG(const char* path)
{
    return fHost->WritePNG(path);
}
