// The window in which a menu field's menu pops up. It shows a copy of the
// menu's items below the field and tells the field which one the user
// chose, as a message, so that the field's own window changes the menu
// and invokes the item in its own thread. While shown on a display it
// holds the pointer and the keyboard: a press outside it closes it.
#pragma once

#include <Messenger.h>

#include "Window.h"

class BMenu;
class BMenuField;
class BMenuItem;

namespace BPrivate {

// From the menu window to its field: "index", the item chosen.
const uint32 kMsgMenuItemChosen = 0x5F4D4943;   // '_MIC'

class MenuWindow : public BWindow {
public:
    // Opens the field's menu below its menu bar.
    static MenuWindow* Open(BMenuField* field);

    void DispatchMessage(BMessage* message, BHandler* handler) override;

private:
    MenuWindow(BRect frame, BMenu* copy, const BMessenger& field);

    void Step(int32 direction);
    void Choose(BMenuItem* item);
    void Close();

    BMenu* fMenu;
    BMessenger fField;
};

}  // namespace BPrivate
