// TAppInfoView: the panel of an about box, with the application's 32 x 32
// icon at (10, 10) and its name, version and copyright lines, 320 x 166.
//
// The three texts are dictionary keys (the copyright line a template in
// which "%AppAuthor%" stands for the dictionary text of gAppAuthorE),
// looked up when shown and again after every language change. Every
// operation runs in the window's thread or locks the window itself.
#pragma once

#include <GUIBase.h>

#include <string>

class BBitmap;
class BBox;
class BStringView;
class TInterAppPrefs;

class TAppInfoView : public TDialogView {
public:
    // The frame is a placeholder: the panel sizes itself.
    explicit TAppInfoView(BRect frame);
    ~TAppInfoView() override;

    void MessageReceived(BMessage* message) override;
    // Adds a language relay for this view to the window.
    void AttachedToWindow() override;
    void Draw(BRect updateRect) override;
    void LanguageChanged() override;

    // Shows the stored texts again; B_ERROR (nothing changed) when the
    // window cannot be locked.
    status_t SetAppInfo();
    // Keeps copies of the three texts and shows them.
    status_t SetAppInfo(const char* name, const char* version, const char* cright);
    // The view observes the store from here on; the store is not owned.
    status_t SetIAPRef(TInterAppPrefs* prefs);

protected:
    BBitmap* fIcon;            // owned; may be null
    BBox* fSeparator;          // "BoxSep1"
    BStringView* fNameView;    // "StrViewAppName"
    BStringView* fVersionView; // "StrViewAppVer"
    BStringView* fCrightView;  // "StrViewCright"
    TInterAppPrefs* fIAPs;

private:
    std::string fName;
    std::string fVersion;
    std::string fCright;
};
