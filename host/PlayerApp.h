// TPlayerApp: the player's application. It owns the loaded add-ons, and
// it switches the language of everything in the process (the player's
// windows and the add-ons' windows) when asked through its port, which is
// how `ApePlayer -Language=LANG` reaches a running player.
#pragma once

#include <Application.h>

#include <atomic>
#include <string>
#include <thread>

#include "AddOnLoader.h"
#include "PlayerOptions.h"

extern const char* const kPlayerSignature;   // "application/x-vnd.VELMOR-ApePlayer"

// 'Slng' with the string "language": switch to that language.
const uint32 kMsgSetLanguage = 0x536C6E67;
// 'Fail': a file could not be played whole; the run ends with status 1.
const uint32 kMsgPlayerFailed = 0x4661696C;

class TPlayerApp : public BApplication {
public:
    TPlayerApp(const TAddOnFolder& addOns, const TPlayerOptions& options);
    ~TPlayerApp() override;

    void ReadyToRun() override;
    void MessageReceived(BMessage* message) override;

    // The exit status of the run.
    int Status() const { return fStatus; }

private:
    // -About: asks the add-ons for their about boxes, then prints the texts
    // of the windows each time they change, until none is shown.
    void WatchAboutBoxes();

    const TAddOnFolder& fAddOns;
    TPlayerOptions fOptions;
    int fStatus;
    std::thread fWatcher;
    std::atomic<bool> fQuitting;
};

// Sends the language switch to the running player; 0, or 1 when none runs.
int switch_running_player_language(const std::string& language);
