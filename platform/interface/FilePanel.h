// The file panel, as far as the suite uses it: a panel owns a window whose
// thread runs from the start (hidden), so that its priority can be set.
// No browsing: showing the panel shows an empty window.
#pragma once

#include <EntryRef.h>
#include <Messenger.h>
#include <SupportDefs.h>

class BMessage;
class BWindow;

enum file_panel_mode {
    B_OPEN_PANEL,
    B_SAVE_PANEL,
};

enum file_panel_button {
    B_CANCEL_BUTTON,
    B_DEFAULT_BUTTON,
};

enum {
    B_FILE_NODE = 0x01,
    B_DIRECTORY_NODE = 0x02,
    B_SYMLINK_NODE = 0x04,
};

class BRefFilter;

class BFilePanel {
public:
    BFilePanel(file_panel_mode mode = B_OPEN_PANEL, BMessenger* target = nullptr,
        const entry_ref* directory = nullptr, uint32 nodeFlavors = 0,
        bool allowMultipleSelection = true, BMessage* message = nullptr,
        BRefFilter* filter = nullptr, bool modal = false, bool hideWhenDone = true);
    virtual ~BFilePanel();
    BFilePanel(const BFilePanel&) = delete;
    BFilePanel& operator=(const BFilePanel&) = delete;

    void Show();
    void Hide();
    bool IsShowing() const;
    BWindow* Window() const { return fWindow; }
    file_panel_mode PanelMode() const { return fMode; }
    BMessenger Messenger() const { return fTarget; }
    void SetTarget(BMessenger target) { fTarget = target; }
    bool HidesWhenDone() const { return fHideWhenDone; }
    void SetHideWhenDone(bool hide) { fHideWhenDone = hide; }

private:
    file_panel_mode fMode;
    BMessenger fTarget;
    bool fHideWhenDone;
    BWindow* fWindow;
};
