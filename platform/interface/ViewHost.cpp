#include "ViewHost.h"

#include <cmath>

#include "Button.h"
#include "Window.h"

namespace BPrivate {

ViewHost::ViewHost(BRect frame, BWindow* window)
    : fWindow(window),
      fTop(new BView(frame.OffsetToCopy(0, 0), "top view", B_FOLLOW_ALL, B_WILL_DRAW)),
      fSurface(frame.IntegerWidth() + 1, frame.IntegerHeight() + 1),
      fFocus(nullptr),
      fCapture(nullptr),
      fDefault(nullptr),
      fScreenOrigin(frame.LeftTop()),
      fUpdating(false)
{
    fTop->SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
    fTop->SetHost(this);
    Invalidate(Bounds());
}

ViewHost::~ViewHost()
{
    fTop->CallDetached();
    fTop->CallAllDetached();
    fTop->SetHost(nullptr);
    delete fTop;
}

void ViewHost::ResizeTo(float width, float height)
{
    width = std::max(0.0f, std::floor(width));
    height = std::max(0.0f, std::floor(height));
    fSurface.Resize(int32(width) + 1, int32(height) + 1);
    fTop->ResizeTo(width, height);
    Invalidate(Bounds());
}

void ViewHost::Invalidate(BRect windowRect)
{
    windowRect = windowRect & Bounds();
    if (windowRect.IsValid())
        fDirty = fDirty | windowRect;
}

void ViewHost::UpdateIfNeeded()
{
    if (!fDirty.IsValid() || fUpdating)
        return;
    // Whole pixels: a partly covered pixel is redrawn whole.
    BRect area(std::floor(fDirty.left), std::floor(fDirty.top), std::ceil(fDirty.right),
        std::ceil(fDirty.bottom));
    fDirty = BRect();
    fUpdating = true;
    fTop->DrawTree(area);
    fUpdating = false;
    Present(area);
}

status_t ViewHost::WritePNG(const char* path)
{
    Invalidate(Bounds());
    UpdateIfNeeded();
    return fSurface.WritePNG(path);
}

void ViewHost::SetFocus(BView* view)
{
    if (view == fFocus)
        return;
    BView* old = fFocus;
    fFocus = view;
    // Keys posted to the window go to the focus view.
    if (fWindow != nullptr)
        fWindow->SetPreferredHandler(view);
    if (old != nullptr)
        old->Invalidate();
    if (view != nullptr)
        view->Invalidate();
}

BView* ViewHost::MouseTarget(BPoint windowWhere) const
{
    if (fCapture != nullptr)
        return fCapture;
    BView* view = fTop->ViewAt(windowWhere);
    return view;
}

void ViewHost::SetDefaultButton(BButton* button)
{
    if (button == fDefault)
        return;
    // Both buttons change their look.
    if (fDefault != nullptr)
        fDefault->Invalidate();
    fDefault = button;
    if (button != nullptr)
        button->Invalidate();
}

void ViewHost::ViewDetached(BView* view)
{
    if (fDefault != nullptr && static_cast<BView*>(fDefault) == view)
        fDefault = nullptr;
    if (fFocus == view) {
        fFocus = nullptr;
        if (fWindow != nullptr)
            fWindow->SetPreferredHandler(nullptr);
    }
    if (fCapture == view)
        fCapture = nullptr;
    if (fPointerView == view)
        fPointerView = nullptr;
}

}  // namespace BPrivate
