#include "About.h"

#include <Button.h>
#include <LanguageChangedFilter.h>
#include <Locale.h>
#include <Message.h>

#include "AboutView.h"

TVELMORAboutView::TVELMORAboutView(BRect frame)
    : TDialogView(frame, "AboutView", B_FOLLOW_NONE, B_WILL_DRAW)
{
    Init();
}

TVELMORAboutView::TVELMORAboutView(BMessage* archive)
    : TDialogView(archive)
{
    Init();
}

TVELMORAboutView::~TVELMORAboutView() = default;

void TVELMORAboutView::Init()
{
    fIAPs = nullptr;
    SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
}

void TVELMORAboutView::MessageReceived(BMessage* message)
{
    switch (message->what) {
        case kMsgAboutOK:
        case kMsgAboutCancel:
            ButtonOKClicked();
            break;
        default:
            TBasicView::MessageReceived(message);
    }
}

void TVELMORAboutView::AttachedToWindow() {}

void TVELMORAboutView::AllAttached() {}

status_t TVELMORAboutView::SetIAPRef(TInterAppPrefs* prefs)
{
    fIAPs = prefs;
    return B_OK;
}

void TVELMORAboutView::ButtonOKClicked()
{
    if (Window() != nullptr)
        Window()->Hide();
}

TSimpleAboutView::TSimpleAboutView(BRect frame, TAppInfoView* info)
    : TVELMORAboutView(frame),
      fInfoView(info != nullptr ? info : new TAppInfoView(BRect(0, 0, 1, 1)))
{
    AddChild(fInfoView);
    fButtonOK = new BButton(BRect(120, 180, 200, 202), "ButtonOK", "", new BMessage(kMsgAboutOK),
        B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW | B_NAVIGABLE);
    AddChild(fButtonOK);
    const BRect panel = fInfoView->Frame();
    fButtonOK->MoveTo((panel.right - fButtonOK->Bounds().right) * 0.5f, panel.bottom + 15);
    ResizeTo(panel.right, fButtonOK->Frame().bottom + 10);
    SetViewLabel();
    fButtonOK->MakeDefault(true);
}

TSimpleAboutView::~TSimpleAboutView() = default;

void TSimpleAboutView::MessageReceived(BMessage* message)
{
    TVELMORAboutView::MessageReceived(message);
}

void TSimpleAboutView::AttachedToWindow()
{
    Window()->AddCommonFilter(new TLanguageChangedFilter(BMessenger(this)));
}

void TSimpleAboutView::AllAttached()
{
    fButtonOK->MakeFocus(true);
    fButtonOK->SetTarget(this, nullptr);
}

void TSimpleAboutView::LanguageChanged()
{
    SetViewLabel();
}

status_t TSimpleAboutView::SetAppInfo(const char* name, const char* version, const char* cright)
{
    return fInfoView->SetAppInfo(name, version, cright);
}

status_t TSimpleAboutView::SetIAPRef(TInterAppPrefs* prefs)
{
    fIAPs = prefs;
    return fInfoView->SetIAPRef(prefs);
}

void TSimpleAboutView::SetViewLabel()
{
    BWindow* window = Window();
    if (window != nullptr && !window->Lock())
        return;
    fButtonOK->SetLabel(be_locale->GetString("OK").String());
    if (window != nullptr)
        window->Unlock();
}

TVELMORAboutWindow::TVELMORAboutWindow(BRect frame, TVELMORAboutView* view)
    : TDialogWindow(frame, "", B_TITLED_WINDOW, B_NOT_RESIZABLE | B_NOT_ZOOMABLE, B_CURRENT_WORKSPACE)
{
    if (view != nullptr) {
        fAboutView = view;
        fAboutView->MoveTo(0, 0);
    } else {
        fAboutView = new TSimpleAboutView(frame.OffsetToCopy(0, 0), nullptr);
    }
    ResizeTo(fAboutView->Frame().right, fAboutView->Frame().bottom);
    AddChild(fAboutView);
}

TVELMORAboutWindow::~TVELMORAboutWindow() = default;

void TVELMORAboutWindow::MessageReceived(BMessage* message)
{
    TDialogWindow::MessageReceived(message);
}

void TVELMORAboutWindow::LanguageChanged()
{
    SetWinTitle();
}

status_t TVELMORAboutWindow::SetAppInfo(const char* name, const char* version, const char* cright)
{
    fAppName = name != nullptr ? name : "";
    SetWinTitle();
    return fAboutView->SetAppInfo(name, version, cright);
}

status_t TVELMORAboutWindow::SetIAPRef(TInterAppPrefs* prefs)
{
    return fAboutView->SetIAPRef(prefs);
}

void TVELMORAboutWindow::SetWinTitle()
{
    if (!Lock())
        return;
    BString title = be_locale->GetString("About %AppName%");
    title.ReplaceAll("%AppName%", be_locale->GetString(fAppName.c_str()).String());
    SetTitle(title.String());
    Unlock();
}
