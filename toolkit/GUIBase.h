// The toolkit's base views and windows.
//
// TBasicView turns pointer input into named gestures (press, click, double
// click, drag, for the left and the right button). TDialogView adds the
// dialog keys: Enter clicks the focused or the default button, and a
// shortcut key (Control+letter, Escape, a function key) acts on the control
// whose label carries that letter. TBasicWindow keeps itself on screen, is
// hidden rather than destroyed by its close box, and shows itself again
// with Appear. TDialogWindow routes the shortcut keys to its top dialog
// view and can send a message of its own to a target.
//
// Windows and views re-read their texts in LanguageChanged when the
// language-changed message (kMsgLanguageChanged) reaches them; views get it
// through a TLanguageChangedFilter that they add to their window.
#pragma once

#include <Locale.h>
#include <Messenger.h>
#include <View.h>
#include <Window.h>

// '_BLC': the interface language has changed (what BLocale::SetLanguage
// sends every window).
const uint32 kMsgLanguageChanged = BLocale::kLanguageChanged;

class TBasicView : public BView {
public:
    TBasicView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    explicit TBasicView(BMessage* archive);
    ~TBasicView() override;

    void MessageReceived(BMessage* message) override;
    void MouseDown(BPoint where) override;
    void MouseUp(BPoint where) override;
    void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage) override;

    // Hooks; all do nothing here. A press calls MouseDown..., a release
    // without a drag MouseClick... with the release point, and a movement
    // of more than sqrt(10) pixels from the press point MouseDrag... once
    // per press. Buttons other than the left or right one alone call none.
    virtual void LanguageChanged();
    virtual void MouseClickLeftDouble(BPoint where);
    virtual void MouseClickLeftSingle(BPoint where);
    virtual void MouseClickRightDouble(BPoint where);
    virtual void MouseClickRightSingle(BPoint where);
    virtual void MouseDownLeft(BPoint where);
    virtual void MouseDownRight(BPoint where);
    virtual void MouseDragLeft(BPoint where);
    virtual void MouseDragRight(BPoint where);

protected:
    void Init();

private:
    bool fDragging;
    int32 fPressedButtons;  // 0 while no press is under way
    int32 fClicks;
    BPoint fPressPoint;
};

class TDialogView : public TBasicView {
public:
    // Panel-coloured; the archive constructor keeps the archived colour.
    TDialogView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    explicit TDialogView(BMessage* archive);
    ~TDialogView() override;

    // A shortcut key reached the window. Enter clicks the focused button,
    // or else the default button; any other key goes to ApplyShortCut.
    virtual void ShortCutDown(int32 rawChar, int32 key) const;

    // Acts on the first control below parent (depth first, in child order)
    // whose label's shortcut letter is rawChar: a button is clicked, a check
    // box focused and toggled, a radio button focused and switched on, a
    // menu field or any other control focused. B_ERROR when none matched.
    status_t ApplyShortCut(const BView* parent, int32 rawChar, int32 key) const;
    // Makes this view the target of view, if it is a control, and of every
    // control below it.
    void SetTargetToThis(BView* view) const;
};

class TBasicWindow : public BWindow {
public:
    TBasicWindow(BRect frame, const char* title, window_look look, window_feel feel,
        uint32 flags, uint32 workspace = B_CURRENT_WORKSPACE);
    TBasicWindow(BRect frame, const char* title, window_type type, uint32 flags,
        uint32 workspace = B_CURRENT_WORKSPACE);
    ~TBasicWindow() override;

    void MessageReceived(BMessage* message) override;
    // Called directly, it agrees; asked by a message (the close box, a
    // posted B_QUIT_REQUESTED) it hides the window and refuses.
    bool QuitRequested() override;

    // Shows a hidden window, brings a visible one to the front.
    virtual void Appear();
    virtual void LanguageChanged();

    // Moves the window to where, or as near as keeps it on the main screen
    // (5 pixels from the right and bottom edges, never left of or above
    // the screen's origin); returns where it went.
    BPoint IntelligentMoveTo(BPoint where);
    // Centres the window on the main screen (a window larger than the
    // screen starts left of and above it); returns where it went.
    BPoint IntelligentCentering();

protected:
    void Init();
};

class TDialogWindow : public TBasicWindow {
public:
    TDialogWindow(BRect frame, const char* title, window_type type, uint32 flags,
        uint32 workspace = B_CURRENT_WORKSPACE);
    ~TDialogWindow() override;

    void MessageReceived(BMessage* message) override;
    // Show raises the window thread to the display priority, Hide lowers
    // it to the low priority afterwards.
    void Show() override;
    void Hide() override;

    // A shortcut key: handed to the top view (child 0) if it is a dialog
    // view.
    virtual void KeyDown(BMessage* message);

    BMessenger Target() const { return fTarget; }
    void SetTarget(const BMessenger& target) { fTarget = target; }
    BMessage* Message() const { return fMessage; }
    // The window owns the message from here on; the one before is deleted.
    status_t SetMessage(BMessage* message);
    // Sends message, or the held one when none is given, to the target.
    // The message stays the caller's (or the window's).
    status_t Invoke(BMessage* message = nullptr);

private:
    BMessenger fTarget;
    BMessage* fMessage;
};
