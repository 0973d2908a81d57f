#include "PlayerApp.h"

#include <Button.h>
#include <Locale.h>
#include <AppDefs.h>
#include <Message.h>
#include <Messenger.h>
#include <StringView.h>
#include <Window.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "PlayerText.h"
#include "PlayerWindow.h"

const char* const kPlayerSignature = "application/x-vnd.VELMOR-ApePlayer";

namespace {

// What a window shows, as lines: its title, then the texts of its string
// views and the labels of its buttons in view order.
void describe(const BView* view, std::string& out)
{
    if (const BStringView* text = dynamic_cast<const BStringView*>(view))
        out += std::string("Text: ") + text->Text() + "\n";
    else if (const BButton* button = dynamic_cast<const BButton*>(view))
        out += std::string("Button: ") + button->Label() + "\n";
    for (int32 i = 0; i < view->CountChildren(); i++)
        describe(view->ChildAt(i), out);
}

// The texts of every shown window; empty when none is shown.
std::string shown_windows()
{
    std::string out;
    for (int32 i = 0; i < be_app->CountWindows(); i++) {
        BWindow* window = be_app->WindowAt(i);
        if (window == nullptr || !window->Lock())
            continue;
        if (!window->IsHidden()) {
            out += std::string("Window: ") + window->Title() + "\n";
            for (int32 child = 0; child < window->CountChildren(); child++)
                describe(window->ChildAt(child), out);
        }
        window->Unlock();
    }
    return out;
}

}  // namespace

TPlayerApp::TPlayerApp(const TAddOnFolder& addOns, const TPlayerOptions& options)
    : BApplication(kPlayerSignature),
      fAddOns(addOns),
      fOptions(options),
      fStatus(0),
      fQuitting(false)
{
}

TPlayerApp::~TPlayerApp()
{
    fQuitting = true;
    if (fWatcher.joinable())
        fWatcher.join();
}

void TPlayerApp::ReadyToRun()
{
    if (fOptions.mode != TPlayerOptions::kAbout) {
        TPlayerWindow* window = new TPlayerWindow(fAddOns, fOptions.files);
        window->Show();
        return;
    }
    bool any = false;
    for (int32 i = 0; i < fOptions.aboutRequests; i++) {
        for (const std::shared_ptr<TPlayerAddOn>& addOn : fAddOns.AddOns())
            any = addOn->About() || any;
    }
    if (!any) {
        print_error(player_text("@Err_No_About@"));
        fStatus = 1;
        PostMessage(B_QUIT_REQUESTED);
        return;
    }
    fWatcher = std::thread([this] { WatchAboutBoxes(); });
}

void TPlayerApp::WatchAboutBoxes()
{
    std::string last;
    bool seen = false;
    while (!fQuitting) {
        const std::string now = shown_windows();
        if (!now.empty() && now != last) {
            printf("%s\n", now.c_str());
            fflush(stdout);
        }
        seen = seen || !now.empty();
        last = now;
        // Closed (OK, Enter, the close box): the run is over.
        if (seen && now.empty()) {
            PostMessage(B_QUIT_REQUESTED);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void TPlayerApp::MessageReceived(BMessage* message)
{
    if (message->what == kMsgPlayerFailed) {
        fStatus = 1;
        return;
    }
    if (message->what == kMsgSetLanguage) {
        const char* language = nullptr;
        if (message->FindString("language", &language) == B_OK)
            be_locale->SetLanguage(language);
        return;
    }
    BApplication::MessageReceived(message);
}

int switch_running_player_language(const std::string& language)
{
    status_t status = B_ERROR;
    BMessenger player(kPlayerSignature, -1, &status);
    BMessage message(kMsgSetLanguage);
    message.AddString("language", language.c_str());
    if (status != B_OK || player.SendMessage(&message) != B_OK) {
        print_error(player_text("@Err_No_Player@"));
        return 1;
    }
    return 0;
}
