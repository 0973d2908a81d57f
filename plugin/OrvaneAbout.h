// The add-on's about box: the about window of the toolkit with the
// add-on's own info panel, which shows the add-on file's icon and a status
// line telling whether the codec library is usable.
#pragma once

#include <AboutView.h>

class BStringView;
class TVELMORAboutWindow;

// 'spsr': the start-up result ("SPAPEStat", int32 0 or -1) for the panel.
const uint32 kMsgPluginStatus = 0x73707372;
extern const char* const kPluginStatusField;   // "SPAPEStat"

extern TVELMORAboutWindow* gAboutWin;

class TOrvaneInfoView : public TAppInfoView {
public:
    explicit TOrvaneInfoView(BRect frame);
    ~TOrvaneInfoView() override;

    void MessageReceived(BMessage* message) override;
    void AttachedToWindow() override;
    // Reloads the add-on's dictionary, then re-reads every text and the
    // window title.
    void LanguageChanged() override;

    void SetViewLabels();
    void SetPluginStatusRqtd(BMessage* message);

private:
    int32 fPluginStatus;
    BStringView* fStatusView;   // "StrViewStatus"
};

// Shows the about box; the first call makes it, later ones show it again.
void about_plugin();
