// The about box: TVELMORAboutWindow holds an about view, titles itself
// "About %AppName%" and hands the application's name, version and
// copyright on to the view. TSimpleAboutView is an info panel
// (TAppInfoView) with an OK button centred under it, the default button.
// OK (and the Cancel code) hide the window; closing it hides it too, so a
// program makes its about window once and shows it again with Appear.
// All texts follow language changes.
#pragma once

#include <GUIBase.h>

#include <string>

class BButton;
class TAppInfoView;
class TInterAppPrefs;

// Codes of the about view's buttons: '_ok', '_cnc'.
const uint32 kMsgAboutOK = 0x005F6F6B;
const uint32 kMsgAboutCancel = 0x5F636E63;

class TVELMORAboutView : public TDialogView {
public:
    explicit TVELMORAboutView(BRect frame);
    explicit TVELMORAboutView(BMessage* archive);
    ~TVELMORAboutView() override;

    void MessageReceived(BMessage* message) override;
    void AttachedToWindow() override;
    void AllAttached() override;

    virtual status_t SetAppInfo(const char* name, const char* version, const char* cright) = 0;
    virtual status_t SetIAPRef(TInterAppPrefs* prefs);
    // Hides the window.
    virtual void ButtonOKClicked();

protected:
    void Init();

    TInterAppPrefs* fIAPs;   // not owned
};

class TSimpleAboutView : public TVELMORAboutView {
public:
    // Takes info as its panel, or makes a plain TAppInfoView.
    TSimpleAboutView(BRect frame, TAppInfoView* info);
    ~TSimpleAboutView() override;

    void MessageReceived(BMessage* message) override;
    void AttachedToWindow() override;
    // The OK button gets the focus and sends to this view.
    void AllAttached() override;
    void LanguageChanged() override;
    status_t SetAppInfo(const char* name, const char* version, const char* cright) override;
    // The panel observes the store.
    status_t SetIAPRef(TInterAppPrefs* prefs) override;

    void SetViewLabel();
    TAppInfoView* InfoView() const { return fInfoView; }

private:
    BButton* fButtonOK;
    TAppInfoView* fInfoView;
};

class TVELMORAboutWindow : public TDialogWindow {
public:
    // Fits itself to the view, or to a TSimpleAboutView with a plain panel
    // when none is given.
    TVELMORAboutWindow(BRect frame, TVELMORAboutView* view);
    ~TVELMORAboutWindow() override;

    void MessageReceived(BMessage* message) override;
    void LanguageChanged() override;

    virtual status_t SetAppInfo(const char* name, const char* version, const char* cright);
    virtual status_t SetIAPRef(TInterAppPrefs* prefs);

    void SetWinTitle();

private:
    std::string fAppName;
    TVELMORAboutView* fAboutView;
};
