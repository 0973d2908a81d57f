#include "OrvaneAbout.h"

#include <About.h>
#include <AppIdentity.h>
#include <Bitmap.h>
#include <Box.h>
#include <File.h>
#include <IAPs.h>
#include <Locale.h>
#include <NodeInfo.h>
#include <OS.h>
#include <StringView.h>
#include <Window.h>

#include <mutex>
#include <vector>

#include "SPAPEAppPrivacy.h"

const char* const kPluginStatusField = "SPAPEStat";

TVELMORAboutWindow* gAboutWin = nullptr;

TOrvaneInfoView::TOrvaneInfoView(BRect frame)
    : TAppInfoView(frame),
      fPluginStatus(-1),
      fStatusView(nullptr)
{
    BFile file(file_name_orvane().String(), B_READ_ONLY);
    BNodeInfo nodeInfo;
    const float crightBottom = fCrightView->Frame().bottom;
    const float right = Bounds().right;

    // A rule under the copyright line, then the status line.
    BBox* rule = new BBox(BRect(0, crightBottom + 20, right, crightBottom + 21), "BoxSepAbout1",
        B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE_JUMP, B_FANCY_BORDER);
    const float ruleBottom = rule->Frame().bottom;
    fStatusView = new BStringView(BRect(10, ruleBottom + 20, right - 10, ruleBottom + 32), "StrViewStatus",
        "", B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW);

    // The base panel's separator and what follows it move down under the
    // status line.
    const float shift = fStatusView->Frame().bottom - crightBottom;
    for (BView* view = FindView("BoxSep1"); view != nullptr; view = view->NextSibling())
        view->MoveBy(0, shift);
    AddChild(rule);
    AddChild(fStatusView);
    ResizeTo(fVersionView->Frame().right + 20, Bounds().Height() + shift);
    fStatusView->SetAlignment(B_ALIGN_CENTER);

    // The add-on's own icon, not the player's; transparent when the file
    // carries none.
    delete fIcon;
    fIcon = new BBitmap(BRect(0, 0, 31, 31), B_CMAP8);
    std::vector<uint8> clear(size_t(fIcon->BitsLength()), B_TRANSPARENT_MAGIC_CMAP8);
    fIcon->SetBits(clear.data(), int32(clear.size()), 0, B_CMAP8);
    if (file.InitCheck() == B_OK && nodeInfo.SetTo(&file) == B_OK)
        nodeInfo.GetIcon(fIcon, B_LARGE_ICON);
}

TOrvaneInfoView::~TOrvaneInfoView() = default;

void TOrvaneInfoView::SetViewLabels()
{
    fStatusView->SetText(be_locale->GetString(
        fPluginStatus == 0 ? "@Status_Ready@" : "@Status_Err_Lib_Monkeys_Audio@").String());
}

void TOrvaneInfoView::SetPluginStatusRqtd(BMessage* message)
{
    int32 status;
    if (message->FindInt32(kPluginStatusField, &status) != B_OK)
        return;
    fPluginStatus = status;
    SetViewLabels();
}

void TOrvaneInfoView::MessageReceived(BMessage* message)
{
    if (message->what == kMsgPluginStatus)
        SetPluginStatusRqtd(message);
    else
        TAppInfoView::MessageReceived(message);
}

void TOrvaneInfoView::AttachedToWindow()
{
    TAppInfoView::AttachedToWindow();
}

void TOrvaneInfoView::LanguageChanged()
{
    load_language();
    TAppInfoView::LanguageChanged();
    SetViewLabels();
    BWindow* window = Window();
    if (window == nullptr)
        return;
    window->UpdateIfNeeded();
    snooze(20000);
    if (TBasicWindow* basic = dynamic_cast<TBasicWindow*>(window))
        basic->LanguageChanged();
}

void about_plugin()
{
    // The player may ask from more than one thread.
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    BMessage status(kMsgPluginStatus);
    if (gAboutWin == nullptr) {
        const int32 result = init_if_needed();
        TOrvaneInfoView* info = new TOrvaneInfoView(BRect(0, 0, 1, 1));
        TSimpleAboutView* view = new TSimpleAboutView(BRect(20, 20, 100, 100), info);
        gAboutWin = new TVELMORAboutWindow(BRect(20, 20, 100, 100), view);
        gAboutWin->IntelligentCentering();
        gAboutWin->SetAppInfo(gAppName, gAppVer, gCright);
        gAboutWin->SetIAPRef(&gIAPs);
        status.AddInt32(kPluginStatusField, result);
        gAboutWin->PostMessage(&status, gAboutWin->ChildAt(0)->ChildAt(0));
    }
    if (gAboutWin->Lock()) {
        gAboutWin->Appear();
        gAboutWin->Unlock();
    }
}
