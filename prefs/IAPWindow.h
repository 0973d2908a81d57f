// The one shared preferences window, "VELMOR Common Preferences".
//
// The first program that asks for it (TInterAppPrefs::ShowWindow) makes it
// in its own process; from its first showing the window listens on the
// port "VELMORIAPPort", through which every other program brings it
// forward and adds the controls of its own items. The view stacks one
// control per item above the Defaults, Cancel and OK buttons. Every change
// is broadcast at once to all running applications as a value message;
// Cancel and closing broadcast the committed values again, Defaults the
// defaults, and OK makes the shown values the committed ones.
//
// What arrives through the port is outside input: TIAPPortManager passes
// on only the protocol's requests that unflatten, and the view takes only
// item controls of sane size and shape.
#pragma once

#include <GUIBase.h>
#include <Thread.h>

#include <atomic>

#include "IAPs.h"

class BButton;

// TIAPWindow::Port and TIAPPortManager::Port before and after a failed
// creation of the port.
const port_id kIAPPortNotYetCreated = -400;
const port_id kIAPPortFailed = -500;

// Reads the port and hands each request to the view.
class TIAPPortManager : public TThread {
public:
    explicit TIAPPortManager(BMessenger target);
    ~TIAPPortManager() override;

    // kIAPPortNotYetCreated, kIAPPortFailed, or the port; for any thread.
    port_id Port() const { return fPort.load(); }
    // Wakes the reader with an empty message.
    status_t PreventBlocking() const;

protected:
    status_t Execute() override;

private:
    std::atomic<port_id> fPort;
    BMessenger fTarget;
};

class TIAPView : public TDialogView {
public:
    explicit TIAPView(BRect frame);
    ~TIAPView() override;

    void MessageReceived(BMessage* message) override;
    void AttachedToWindow() override;
    void LanguageChanged() override;
    // Escape clicks Cancel; the other keys are the dialog's.
    void ShortCutDown(int32 rawChar, int32 key) const override;

    // Makes an item's view from its archive and puts it at (10, top);
    // none when the archive is not an acceptable item view.
    BView* AddComponent(BMessage archive, float top);
    // Shows every item in one state (0 committed, 1 live, 2 default) and
    // broadcasts it.
    void SetComponents(int32 index);
    void SetViewLabels();

    void IAPAddComponentsRqtd(BMessage* request);
    void IAPActivateWindowRqtd();
    void IAPControlChanged(BMessage* message);
    void ButtonOKClicked();
    void ButtonCancelClicked();
    void ButtonDefaultsClicked();
    // Broadcasts to every running application.
    void SendMessage(BMessage* message);

private:
    BView* ComponentView(const char* name) const;

    BButton* fButtonCancel;
    BButton* fButtonDefaults;
    BButton* fButtonOK;
    BMessage fComponents;
    BView* fButtonContainer;
    BView* fLastComponent;
    TInterAppPrefs fPrefs;
};

class TIAPWindow : public TDialogWindow {
public:
    explicit TIAPWindow(BRect frame);
    ~TIAPWindow() override;

    // Asked by a message (the close box, a request through the port), it
    // hides the window and reverts the items; called directly it agrees.
    bool QuitRequested() override;
    // The first showing starts the port manager.
    void Show() override;

    // The port manager's port; kIAPPortNotYetCreated without one. For any
    // thread.
    port_id Port() const;

private:
    std::atomic<TIAPPortManager*> fPortManager;
    TIAPView* fView;
};
