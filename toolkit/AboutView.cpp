#include "AboutView.h"

#include <AppIdentity.h>
#include <Bitmap.h>
#include <Box.h>
#include <IAPs.h>
#include <LanguageChangedFilter.h>
#include <Locale.h>
#include <StringView.h>
#include <Window.h>

#include "MiscUtils.h"

namespace {

BStringView* centred_text(BRect frame, const char* name)
{
    BStringView* view = new BStringView(frame, name, "", B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW);
    view->SetAlignment(B_ALIGN_CENTER);
    return view;
}

}  // namespace

TAppInfoView::TAppInfoView(BRect frame)
    : TDialogView(frame, "AppInfoView", B_FOLLOW_NONE, B_WILL_DRAW),
      fIcon(nullptr),
      fIAPs(nullptr)
{
    ResizeTo(320, 166);
    AddChild(fNameView = centred_text(BRect(50, 20, 230, 32), "StrViewAppName"));
    AddChild(fVersionView = centred_text(BRect(240, 20, 310, 32), "StrViewAppVer"));
    AddChild(fCrightView = centred_text(BRect(10, 50, 310, 62), "StrViewCright"));
    fSeparator = new BBox(BRect(0, 75, 320, 76), "BoxSep1", B_FOLLOW_LEFT | B_FOLLOW_TOP,
        B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE_JUMP, B_FANCY_BORDER);
    AddChild(fSeparator);
    // The icon's transparency is honoured.
    SetDrawingMode(B_OP_ALPHA);
    SetBlendingMode(B_PIXEL_ALPHA, B_ALPHA_OVERLAY);
    get_icons(&fIcon, nullptr);
}

TAppInfoView::~TAppInfoView()
{
    delete fIcon;
}

void TAppInfoView::MessageReceived(BMessage* message)
{
    TBasicView::MessageReceived(message);
}

void TAppInfoView::AttachedToWindow()
{
    BView::AttachedToWindow();
    Window()->AddCommonFilter(new TLanguageChangedFilter(BMessenger(this)));
}

void TAppInfoView::Draw(BRect)
{
    if (fIcon != nullptr)
        DrawBitmap(fIcon, BPoint(10, 10));
}

void TAppInfoView::LanguageChanged()
{
    SetAppInfo();
}

status_t TAppInfoView::SetAppInfo()
{
    BWindow* window = Window();
    if (window != nullptr && !window->Lock())
        return B_ERROR;
    auto text = [](const std::string& key) {
        return key.empty() ? BString() : be_locale->GetString(key.c_str());
    };
    fNameView->SetText(text(fName).String());
    fVersionView->SetText(text(fVersion).String());
    BString cright(fCright.c_str());
    cright.ReplaceAll("%AppAuthor%", be_locale->GetString(gAppAuthorE).String());
    fCrightView->SetText(cright.String());
    if (window != nullptr)
        window->Unlock();
    return B_OK;
}

status_t TAppInfoView::SetAppInfo(const char* name, const char* version, const char* cright)
{
    fName = name != nullptr ? name : "";
    fVersion = version != nullptr ? version : "";
    fCright = cright != nullptr ? cright : "";
    return SetAppInfo();
}

status_t TAppInfoView::SetIAPRef(TInterAppPrefs* prefs)
{
    fIAPs = prefs;
    if (prefs != nullptr)
        prefs->AddObserver(BMessenger(this));
    return B_OK;
}
