// TOpenPanel: the player's open panel. It lists a folder (folders first,
// then files, each sorted by name), goes into a folder on a double click
// or Enter, takes a folder or file path typed into its path field, and
// sends the chosen file's path to its target. Closing it hides it.
#pragma once

#include <Messenger.h>
#include <Window.h>

#include <string>
#include <vector>

class BButton;
class BTextControl;
class TEntryList;

// To the target: "path", one string a file.
const uint32 kMsgOpenFiles = 0x4F706E46;   // 'OpnF'

class TOpenPanel : public BWindow {
public:
    // Starts in the working folder.
    explicit TOpenPanel(BMessenger target);
    ~TOpenPanel() override;

    // Shows the panel, or brings it to the front.
    void Appear();

    void MessageReceived(BMessage* message) override;
    bool QuitRequested() override;

    void SetFolder(const std::string& folder);
    const std::string& Folder() const { return fFolder; }

private:
    // Opens what the list has selected, or what the path field names.
    void Choose(const std::string& path);
    void SetLabels();

    BMessenger fTarget;
    std::string fFolder;
    TEntryList* fList;
    BTextControl* fPathControl;
    BButton* fCancelButton;
    BButton* fOpenButton;
};
