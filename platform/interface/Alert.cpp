#include "Alert.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include <Message.h>
#include <MessageFilter.h>
#include <OS.h>

#include "Button.h"
#include "ControlLook.h"
#include "Invoker.h"
#include "Screen.h"

namespace {

const uint32 kButtonPressed = 0x414C5442;  // 'ALTB'

const float kAlertWidth = 310;
const float kMargin = 10;
const float kIconStripe = 30;   // the darker band left of the text
const float kIconSize = 32;
const float kTextLeftWithIcon = 55;
const float kButtonGap = 9;
const float kUsualButtonWidth = 75;

// The message split into lines that fit the width: at line breaks, and at
// the last blank before the width is passed (a word longer than the width
// stays whole).
std::vector<std::string> wrap(const BView* view, const std::string& text, float width)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        std::string paragraph = text.substr(start, end == std::string::npos ? end : end - start);
        while (view->StringWidth(paragraph.c_str()) > width) {
            size_t cut = paragraph.size();
            size_t blank;
            while ((blank = paragraph.rfind(' ', cut - 1)) != std::string::npos && blank > 0) {
                cut = blank;
                if (view->StringWidth(paragraph.substr(0, cut).c_str()) <= width)
                    break;
            }
            if (cut == paragraph.size() || cut == 0)
                break;
            lines.push_back(paragraph.substr(0, cut));
            paragraph.erase(0, cut + 1);
        }
        lines.push_back(paragraph);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

}  // namespace

struct BAlert::Waiter {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int32 which = -1;
};

// The icon band and the message.
class AlertTextView : public BView {
public:
    AlertTextView(BRect frame, const char* text, alert_type type)
        : BView(frame, "_tv_", B_FOLLOW_ALL, B_WILL_DRAW), fText(text ? text : ""), fType(type)
    {
        SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
    }

    float TextLeft() const { return fType == B_EMPTY_ALERT ? kMargin : kTextLeftWithIcon; }

    // Lays the text out for the given width of the view; returns the
    // height the text needs.
    float LayOut(float width)
    {
        fLines = wrap(this, fText, width - TextLeft() - kMargin);
        return float(fLines.size()) * std::ceil(BPrivate::font_line_height(this));
    }

    void Draw(BRect) override
    {
        rgb_color panel = ui_color(B_PANEL_BACKGROUND_COLOR);
        SetHighColor(panel);
        FillRect(Bounds());
        if (fType != B_EMPTY_ALERT) {
            SetHighColor(tint_color(panel, B_DARKEN_1_TINT));
            FillRect(BRect(0, 0, kIconStripe - 1, Bounds().bottom));
            DrawIcon(BRect(18, 6, 18 + kIconSize - 1, 6 + kIconSize - 1));
        }
        float line = std::ceil(BPrivate::font_line_height(this));
        float y = kMargin;
        for (const std::string& text : fLines) {
            BPrivate::draw_label(this, text.c_str(), TextLeft(),
                BPrivate::centred_baseline(this, BRect(0, y, 1, y + line - 1)), true);
            y += line;
        }
    }

    const std::string& Text() const { return fText; }

private:
    void DrawIcon(BRect r)
    {
        const char* mark = "i";
        rgb_color colour = make_color(60, 110, 200);
        switch (fType) {
            case B_IDEA_ALERT:
                colour = make_color(250, 200, 40);
                mark = "!";
                break;
            case B_WARNING_ALERT:
                colour = make_color(250, 170, 20);
                mark = "!";
                break;
            case B_STOP_ALERT:
                colour = make_color(210, 30, 30);
                mark = "\xC3\x97";  // a cross
                break;
            default:
                break;
        }
        SetHighColor(colour);
        if (fType == B_WARNING_ALERT)
            FillTriangle(BPoint(r.left + r.Width() / 2, r.top), r.LeftBottom(), r.RightBottom());
        else
            FillEllipse(r);
        SetHighColor(255, 255, 255);
        SetDrawingMode(B_OP_OVER);
        float x = r.left + std::floor((r.Width() + 1 - StringWidth(mark)) / 2);
        DrawString(mark, BPoint(x, BPrivate::centred_baseline(this, r) + 2));
        SetDrawingMode(B_OP_COPY);
    }

    std::string fText;
    alert_type fType;
    std::vector<std::string> fLines;
};

// Shortcut keys press their button; Enter presses the default button
// unless another button has the focus.
class BAlert::KeyFilter : public BMessageFilter {
public:
    explicit KeyFilter(BAlert* alert) : BMessageFilter(B_KEY_DOWN), fAlert(alert) {}

    filter_result Filter(BMessage* message, BHandler**) override
    {
        int32 key = 0;
        if (message->FindInt32("raw_char", &key) != B_OK) {
            const char* bytes = nullptr;
            if (message->FindString("bytes", &bytes) != B_OK || bytes == nullptr)
                return B_DISPATCH_MESSAGE;
            key = (unsigned char)bytes[0];
        }
        for (int32 i = 0; i < fAlert->fButtonCount; i++) {
            int32 shortcut = (unsigned char)fAlert->fShortcuts[i];
            if (shortcut != 0 && std::tolower(shortcut) == std::tolower(key)) {
                Press(fAlert->fButtons[i]);
                return B_SKIP_MESSAGE;
            }
        }
        if (key == B_ENTER && dynamic_cast<BButton*>(fAlert->CurrentFocus()) == nullptr
            && fAlert->DefaultButton() != nullptr) {
            Press(fAlert->DefaultButton());
            return B_SKIP_MESSAGE;
        }
        return B_DISPATCH_MESSAGE;
    }

private:
    // The button shows pressed for a moment, as when clicked.
    void Press(BButton* button)
    {
        button->SetValue(B_CONTROL_ON);
        fAlert->UpdateIfNeeded();
        snooze(50000);
        button->SetValue(B_CONTROL_OFF);
        button->Invoke();
    }

    BAlert* fAlert;
};

BAlert::BAlert(const char* title, const char* text, const char* button0, const char* button1,
    const char* button2, button_width width, alert_type type)
    : BWindow(BRect(100, 100, 100 + kAlertWidth - 1, 199), title, B_MODAL_WINDOW,
          B_NOT_CLOSABLE | B_NOT_RESIZABLE | B_NOT_ZOOMABLE | B_NOT_MINIMIZABLE),
      fType(type),
      fButtons{nullptr, nullptr, nullptr},
      fShortcuts{0, 0, 0},
      fButtonCount(0),
      fWaiter(nullptr),
      fInvoker(nullptr),
      fFinished(false)
{
    fTextView = new AlertTextView(Bounds(), text, type);
    AddChild(fTextView);

    // Buttons: labels given in order; a missing one ends the row.
    const char* labels[3] = {button0, button1, button2};
    float widths[3] = {0, 0, 0};
    float height = 0, widest = 0;
    for (int32 i = 0; i < 3 && labels[i] != nullptr; i++) {
        BMessage* message = new BMessage(kButtonPressed);
        message->AddInt32("which", i);
        fButtons[i] = new BButton(BRect(0, 0, 10, 10), ("_b" + std::to_string(i) + "_").c_str(),
            labels[i], message, B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM);
        float w = 0;
        fButtons[i]->GetPreferredSize(&w, &height);
        if (width == B_WIDTH_FROM_LABEL)
            w = std::ceil(fButtons[i]->StringWidth(labels[i])) + 20;
        else
            w = std::max(w, kUsualButtonWidth);
        widths[i] = w;
        widest = std::max(widest, w);
        fButtonCount++;
    }
    float row = 0;
    for (int32 i = 0; i < fButtonCount; i++) {
        if (width == B_WIDTH_FROM_WIDEST)
            widths[i] = widest;
        row += widths[i] + (i > 0 ? kButtonGap : 0);
    }

    float windowWidth = std::max(kAlertWidth, row + fTextView->TextLeft() + kMargin);
    float textHeight = fTextView->LayOut(windowWidth);
    float top = kMargin + textHeight + 12;
    if (type != B_EMPTY_ALERT)
        top = std::max(top, 6 + kIconSize + 8);
    float windowHeight = top + height + kMargin;
    ResizeTo(windowWidth - 1, windowHeight - 1);

    // Right-aligned, the last (default) button rightmost.
    float right = windowWidth - kMargin;
    for (int32 i = fButtonCount - 1; i >= 0; i--) {
        fButtons[i]->ResizeTo(widths[i] - 1, height - 1);
        fButtons[i]->MoveTo(right - widths[i], top);
        right -= widths[i] + kButtonGap;
        fTextView->AddChild(fButtons[i]);
    }
    if (fButtonCount > 0)
        fButtons[fButtonCount - 1]->MakeDefault(true);
    AddCommonFilter(new KeyFilter(this));

    BRect screen = BScreen(B_MAIN_SCREEN_ID).Frame();
    MoveTo(std::floor((screen.Width() - Bounds().Width()) / 2),
        std::floor((screen.Height() - Bounds().Height()) / 3));
}

BAlert::~BAlert()
{
    delete fInvoker;
}

void BAlert::SetShortcut(int32 index, char key)
{
    if (index >= 0 && index < fButtonCount)
        fShortcuts[index] = key;
}

char BAlert::Shortcut(int32 index) const
{
    return index >= 0 && index < fButtonCount ? fShortcuts[index] : 0;
}

BButton* BAlert::ButtonAt(int32 index) const
{
    return index >= 0 && index < fButtonCount ? fButtons[index] : nullptr;
}

const char* BAlert::Text() const
{
    return fTextView->Text().c_str();
}

int32 BAlert::Go()
{
    Waiter waiter;
    fWaiter = &waiter;
    Show();
    {
        std::unique_lock<std::mutex> lock(waiter.mutex);
        waiter.done.wait(lock, [&] { return waiter.finished; });
    }
    // The window thread has handed over the answer; nothing of it is
    // touched after this.
    if (Lock())
        Quit();
    return waiter.which;
}

status_t BAlert::Go(BInvoker* invoker)
{
    fInvoker = invoker;
    Show();
    return B_OK;
}

void BAlert::MessageReceived(BMessage* message)
{
    if (message->what != kButtonPressed) {
        BWindow::MessageReceived(message);
        return;
    }
    int32 which = -1;
    message->FindInt32("which", &which);
    Finish(which);
}

bool BAlert::QuitRequested()
{
    if (CurrentMessage() == nullptr)
        return true;
    Finish(EscapeIndex());
    return false;
}

int32 BAlert::EscapeIndex() const
{
    for (int32 i = 0; i < fButtonCount; i++) {
        if (fShortcuts[i] == B_ESCAPE)
            return i;
    }
    return -1;
}

// Runs in the window's thread, once.
void BAlert::Finish(int32 which)
{
    if (fFinished)
        return;
    fFinished = true;
    if (fWaiter != nullptr) {
        Waiter* waiter = fWaiter;
        fWaiter = nullptr;
        std::lock_guard<std::mutex> lock(waiter->mutex);
        waiter->which = which;
        waiter->finished = true;
        waiter->done.notify_all();
        return;
    }
    if (fInvoker != nullptr) {
        BMessage* message = fInvoker->Message();
        if (message != nullptr) {
            BMessage copy(*message);
            copy.RemoveName("which");
            copy.AddInt32("which", which);
            fInvoker->Invoke(&copy);
        }
    }
    Quit();
}
