// A small modal window with a message and up to three buttons.
//
// Go() shows it, waits until a button is pressed (clicked, or its shortcut
// key typed) and returns the button's index; the alert then deletes
// itself. The last button is the default one, which Enter presses. Go with
// an invoker returns at once; the invoker (which the alert takes over) is
// invoked with "which" = the index when a button is pressed.
#pragma once

#include "Window.h"

class BButton;
class BInvoker;

enum alert_type {
    B_EMPTY_ALERT = 0,
    B_INFO_ALERT,
    B_IDEA_ALERT,
    B_WARNING_ALERT,
    B_STOP_ALERT,
};

enum button_width {
    B_WIDTH_AS_USUAL,    // each as its label needs, at least the usual width
    B_WIDTH_FROM_WIDEST, // all as wide as the widest
    B_WIDTH_FROM_LABEL,  // each as its label needs
};

class BAlert : public BWindow {
public:
    BAlert(const char* title, const char* text, const char* button0,
        const char* button1 = nullptr, const char* button2 = nullptr,
        button_width width = B_WIDTH_AS_USUAL, alert_type type = B_INFO_ALERT);
    ~BAlert() override;

    // The key that presses button index (B_ESCAPE for the cancelling one);
    // 0 for none. Letters match in either case.
    void SetShortcut(int32 index, char key);
    char Shortcut(int32 index) const;
    BButton* ButtonAt(int32 index) const;
    int32 CountButtons() const { return fButtonCount; }
    alert_type AlertType() const { return fType; }
    const char* Text() const;

    // The index of the button pressed, or -1 when the alert was closed
    // some other way without an Escape button.
    int32 Go();
    status_t Go(BInvoker* invoker);

    void MessageReceived(BMessage* message) override;
    // A close request (not a direct call) presses the Escape button, if
    // there is one, or ends the alert with -1.
    bool QuitRequested() override;

    struct Waiter;

private:
    class KeyFilter;
    friend class KeyFilter;

    void Finish(int32 which);
    int32 EscapeIndex() const;

    alert_type fType;
    BButton* fButtons[3];
    char fShortcuts[3];
    int32 fButtonCount;
    class AlertTextView* fTextView;
    Waiter* fWaiter;       // Go() waiting
    BInvoker* fInvoker;    // Go(invoker) running; owned
    bool fFinished;
};
