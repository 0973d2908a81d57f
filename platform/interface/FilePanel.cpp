#include "FilePanel.h"

#include "Window.h"

BFilePanel::BFilePanel(file_panel_mode mode, BMessenger* target, const entry_ref*, uint32, bool,
    BMessage*, BRefFilter*, bool modal, bool hideWhenDone)
    : fMode(mode),
      fTarget(target != nullptr ? *target : BMessenger()),
      fHideWhenDone(hideWhenDone),
      fWindow(new BWindow(BRect(100, 100, 599, 399), mode == B_SAVE_PANEL ? "Save" : "Open",
          modal ? B_MODAL_WINDOW : B_TITLED_WINDOW, 0))
{
    // Hidden, but with its thread.
    fWindow->Run();
}

BFilePanel::~BFilePanel()
{
    if (fWindow->Lock())
        fWindow->Quit();
}

void BFilePanel::Show()
{
    if (fWindow->Lock()) {
        if (fWindow->IsHidden())
            fWindow->Show();
        fWindow->Unlock();
    }
}

void BFilePanel::Hide()
{
    if (fWindow->Lock()) {
        if (!fWindow->IsHidden())
            fWindow->Hide();
        fWindow->Unlock();
    }
}

bool BFilePanel::IsShowing() const
{
    bool showing = false;
    if (fWindow->Lock()) {
        showing = !fWindow->IsHidden();
        fWindow->Unlock();
    }
    return showing;
}
