#include "GUIBase.h"

#include <Button.h>
#include <CheckBox.h>
#include <InterfaceDefs.h>
#include <MenuField.h>
#include <Message.h>
#include <OS.h>
#include <RadioButton.h>
#include <Screen.h>

#include "MiscUtils.h"
#include "ShortCutFilter.h"

namespace {

// Movements up to this squared distance from the press point still count
// as a click.
const double kDragThreshold = 10.0;
// What IntelligentMoveTo keeps free at the screen's right and bottom.
const float kScreenMargin = 5.0f;

enum {
    kLeftButton = 1,   // B_PRIMARY_MOUSE_BUTTON alone
    kRightButton = 2,  // B_SECONDARY_MOUSE_BUTTON alone
};

BRect main_screen_frame()
{
    return BScreen(B_MAIN_SCREEN_ID).Frame();
}

bool matches(const char* label, int32 rawChar)
{
    char letter = short_cut_from_label(label);
    return letter != 0 && int32((unsigned char)letter) == rawChar;
}

}  // namespace

// ---------------------------------------------------------------------------
// TBasicView

TBasicView::TBasicView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags)
{
    Init();
}

TBasicView::TBasicView(BMessage* archive) : BView(archive)
{
    Init();
}

TBasicView::~TBasicView() = default;

void TBasicView::Init()
{
    fDragging = false;
    fPressedButtons = 0;
    fClicks = 0;
}

void TBasicView::MessageReceived(BMessage* message)
{
    if (message->what == kMsgLanguageChanged)
        LanguageChanged();
    else
        BView::MessageReceived(message);
}

void TBasicView::MouseDown(BPoint where)
{
    fDragging = false;
    int32 buttons = 0, clicks = 0;
    BMessage* current = Window() != nullptr ? Window()->CurrentMessage() : nullptr;
    if (current != nullptr) {
        current->FindInt32("buttons", &buttons);
        current->FindInt32("clicks", &clicks);
    }
    fPressedButtons = buttons;
    fClicks = clicks;
    fPressPoint = where;
    // The second press of a double click, and the third of a triple one,
    // are no new presses.
    if (fClicks % 3 == 1) {
        if (fPressedButtons == kLeftButton)
            MouseDownLeft(where);
        else if (fPressedButtons == kRightButton)
            MouseDownRight(where);
    }
    SetMouseEventMask(B_POINTER_EVENTS, B_NO_POINTER_HISTORY);
}

void TBasicView::MouseMoved(BPoint where, uint32, const BMessage*)
{
    if (fPressedButtons == 0 || fDragging)
        return;
    double dx = double(where.x) - fPressPoint.x;
    double dy = double(where.y) - fPressPoint.y;
    if (dx * dx + dy * dy <= kDragThreshold)
        return;
    fDragging = true;
    if (fPressedButtons == kLeftButton)
        MouseDragLeft(where);
    else if (fPressedButtons == kRightButton)
        MouseDragRight(where);
}

void TBasicView::MouseUp(BPoint where)
{
    if (fPressedButtons == 0)
        return;
    if (!fDragging) {
        int32 kind = fClicks % 3;
        if (kind == 1) {
            if (fPressedButtons == kLeftButton)
                MouseClickLeftSingle(where);
            else if (fPressedButtons == kRightButton)
                MouseClickRightSingle(where);
        } else if (kind == 2) {
            if (fPressedButtons == kLeftButton)
                MouseClickLeftDouble(where);
            else if (fPressedButtons == kRightButton)
                MouseClickRightDouble(where);
        }
    }
    fPressedButtons = 0;
    fDragging = false;
}

void TBasicView::LanguageChanged() {}
void TBasicView::MouseClickLeftDouble(BPoint) {}
void TBasicView::MouseClickLeftSingle(BPoint) {}
void TBasicView::MouseClickRightDouble(BPoint) {}
void TBasicView::MouseClickRightSingle(BPoint) {}
void TBasicView::MouseDownLeft(BPoint) {}
void TBasicView::MouseDownRight(BPoint) {}
void TBasicView::MouseDragLeft(BPoint) {}
void TBasicView::MouseDragRight(BPoint) {}

// ---------------------------------------------------------------------------
// TDialogView

TDialogView::TDialogView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    : TBasicView(frame, name, resizingMode, flags)
{
    SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
}

TDialogView::TDialogView(BMessage* archive) : TBasicView(archive) {}

TDialogView::~TDialogView() = default;

void TDialogView::ShortCutDown(int32 rawChar, int32 key) const
{
    if (rawChar != B_ENTER) {
        ApplyShortCut(this, rawChar, key);
        return;
    }
    BWindow* window = Window();
    if (window == nullptr)
        return;
    if (BButton* focused = dynamic_cast<BButton*>(window->CurrentFocus()))
        click_button(focused);
    else
        click_button(window->DefaultButton());
}

status_t TDialogView::ApplyShortCut(const BView* parent, int32 rawChar, int32 key) const
{
    if (parent == nullptr)
        return B_ERROR;
    for (int32 i = 0; i < parent->CountChildren(); i++) {
        BView* child = parent->ChildAt(i);
        // The first kind the child is decides which label counts.
        if (BButton* button = dynamic_cast<BButton*>(child)) {
            if (matches(button->Label(), rawChar)) {
                click_button(button);
                return B_OK;
            }
        } else if (BCheckBox* box = dynamic_cast<BCheckBox*>(child)) {
            if (matches(box->Label(), rawChar)) {
                box->MakeFocus(true);
                box->SetValue(box->Value() == 0 ? 1 : 0);
                box->Invoke();
                return B_OK;
            }
        } else if (BMenuField* field = dynamic_cast<BMenuField*>(child)) {
            if (matches(field->Label(), rawChar)) {
                field->MakeFocus(true);
                return B_OK;
            }
        } else if (BRadioButton* radio = dynamic_cast<BRadioButton*>(child)) {
            if (matches(radio->Label(), rawChar)) {
                radio->MakeFocus(true);
                radio->SetValue(1);
                radio->Invoke();
                return B_OK;
            }
        } else if (BControl* control = dynamic_cast<BControl*>(child)) {
            if (matches(control->Label(), rawChar)) {
                control->MakeFocus(true);
                return B_OK;
            }
        }
        if (ApplyShortCut(child, rawChar, key) == B_OK)
            return B_OK;
    }
    return B_ERROR;
}

void TDialogView::SetTargetToThis(BView* view) const
{
    if (view == nullptr)
        return;
    if (BControl* control = dynamic_cast<BControl*>(view))
        control->SetTarget(this, nullptr);
    for (int32 i = 0; i < view->CountChildren(); i++)
        SetTargetToThis(view->ChildAt(i));
}

// ---------------------------------------------------------------------------
// TBasicWindow

TBasicWindow::TBasicWindow(BRect frame, const char* title, window_look look, window_feel feel,
    uint32 flags, uint32 workspace)
    : BWindow(frame, title, look, feel, flags, workspace)
{
    Init();
}

TBasicWindow::TBasicWindow(BRect frame, const char* title, window_type type, uint32 flags,
    uint32 workspace)
    : BWindow(frame, title, type, flags, workspace)
{
    Init();
}

TBasicWindow::~TBasicWindow() = default;

void TBasicWindow::Init() {}

void TBasicWindow::MessageReceived(BMessage* message)
{
    if (message->what == kMsgLanguageChanged)
        LanguageChanged();
    else
        BWindow::MessageReceived(message);
}

bool TBasicWindow::QuitRequested()
{
    if (CurrentMessage() == nullptr)
        return true;
    if (!IsHidden())
        Hide();
    return false;
}

void TBasicWindow::Appear()
{
    if (IsHidden())
        Show();
    else
        Activate(true);
}

void TBasicWindow::LanguageChanged() {}

BPoint TBasicWindow::IntelligentMoveTo(BPoint where)
{
    BRect screen = main_screen_frame();
    BRect bounds = Bounds();
    if (where.x + bounds.right > screen.right - kScreenMargin)
        where.x = screen.right - bounds.right - kScreenMargin;
    if (where.y + bounds.bottom > screen.bottom - kScreenMargin)
        where.y = screen.bottom - bounds.bottom - kScreenMargin;
    if (where.x < 0)
        where.x = 0;
    if (where.y < 0)
        where.y = 0;
    MoveTo(where);
    return where;
}

BPoint TBasicWindow::IntelligentCentering()
{
    BRect screen = main_screen_frame();
    BRect bounds = Bounds();
    BPoint where((screen.right - bounds.right) * 0.5f, (screen.bottom - bounds.bottom) * 0.5f);
    MoveTo(where);
    return where;
}

// ---------------------------------------------------------------------------
// TDialogWindow

TDialogWindow::TDialogWindow(BRect frame, const char* title, window_type type, uint32 flags,
    uint32 workspace)
    : TBasicWindow(frame, title, type, flags, workspace), fMessage(nullptr)
{
    AddCommonFilter(new TShortCutFilter(nullptr));
}

TDialogWindow::~TDialogWindow()
{
    delete fMessage;
}

void TDialogWindow::MessageReceived(BMessage* message)
{
    switch (message->what) {
        case B_KEY_DOWN:
            KeyDown(message);
            break;
        case kMsgLanguageChanged:
            LanguageChanged();
            break;
        default:
            BWindow::MessageReceived(message);
            break;
    }
}

void TDialogWindow::Show()
{
    bool running = Thread() >= 0;
    if (running)
        set_thread_priority(Thread(), B_DISPLAY_PRIORITY);
    TBasicWindow::Show();
    // The first Show starts the thread.
    if (!running && Thread() >= 0)
        set_thread_priority(Thread(), B_DISPLAY_PRIORITY);
}

void TDialogWindow::Hide()
{
    TBasicWindow::Hide();
    if (Thread() >= 0)
        set_thread_priority(Thread(), B_LOW_PRIORITY);
}

void TDialogWindow::KeyDown(BMessage* message)
{
    TDialogView* view = dynamic_cast<TDialogView*>(ChildAt(0));
    if (view == nullptr)
        return;
    int32 rawChar = 0, key = 0;
    message->FindInt32("raw_char", &rawChar);
    message->FindInt32("key", &key);
    view->ShortCutDown(rawChar, key);
}

status_t TDialogWindow::SetMessage(BMessage* message)
{
    if (message != fMessage) {
        delete fMessage;
        fMessage = message;
    }
    return B_OK;
}

status_t TDialogWindow::Invoke(BMessage* message)
{
    BMessage* send = message != nullptr ? message : fMessage;
    if (send == nullptr)
        return B_BAD_VALUE;
    return fTarget.SendMessage(send, static_cast<BHandler*>(nullptr), B_INFINITE_TIMEOUT);
}
