#include "MenuWindow.h"

#include <Message.h>

#include <algorithm>

#include "Display.h"
#include "InterfaceDefs.h"
#include "Menu.h"
#include "MenuField.h"
#include "MenuItem.h"

namespace BPrivate {

MenuWindow* MenuWindow::Open(BMenuField* field)
{
    BMenu* source = field->Menu();
    if (source == nullptr || source->CountItems() == 0)
        return nullptr;
    auto* copy = new BMenu(source->Name());
    for (int32 i = 0; i < source->CountItems(); i++) {
        BMenuItem* item = source->ItemAt(i);
        if (dynamic_cast<BSeparatorItem*>(item) != nullptr) {
            copy->AddSeparatorItem();
            continue;
        }
        auto* shown = new BMenuItem(item->Label(), nullptr);
        shown->SetEnabled(item->IsEnabled());
        shown->SetMarked(item->IsMarked());
        copy->AddItem(shown);
    }
    copy->LayoutItems();
    BRect bar = field->MenuFrame();
    float width = std::max(copy->Bounds().Width(), bar.Width());
    copy->ResizeTo(width, copy->Bounds().Height());
    BPoint where = field->ConvertToScreen(BPoint(bar.left, bar.bottom + 1));
    BRect frame(where.x, where.y, where.x + width, where.y + copy->Bounds().Height());
    auto* window = new MenuWindow(frame, copy, BMessenger(field));
    window->Show();
    return window;
}

MenuWindow::MenuWindow(BRect frame, BMenu* copy, const BMessenger& field)
    : BWindow(frame, "", B_NO_BORDER_WINDOW_LOOK, B_FLOATING_ALL_WINDOW_FEEL,
          B_NOT_MOVABLE | B_NOT_CLOSABLE | B_NOT_RESIZABLE | B_AVOID_FOCUS | kPopUpWindowFlag),
      fMenu(copy),
      fField(field)
{
    AddChild(fMenu);
}

// Pointer and keys are the menu's; a press outside it closes it. The
// release of the press that opened the menu, over the field, does not.
void MenuWindow::DispatchMessage(BMessage* message, BHandler* handler)
{
    BPoint where;
    bool inside = message->FindPoint("where", &where) == B_OK && Bounds().Contains(where);
    switch (message->what) {
        case B_MOUSE_MOVED:
            fMenu->SetHighlighted(inside ? fMenu->ItemAtPoint(where) : nullptr);
            break;
        case B_MOUSE_DOWN:
            if (!inside)
                Close();
            break;
        case B_MOUSE_UP:
            if (inside)
                Choose(fMenu->ItemAtPoint(where));
            break;
        case B_KEY_DOWN: {
            int32 key = 0;
            message->FindInt32("raw_char", &key);
            if (key == B_ESCAPE)
                Close();
            else if (key == B_UP_ARROW || key == B_DOWN_ARROW)
                Step(key == B_UP_ARROW ? -1 : 1);
            else if (key == B_ENTER || key == B_SPACE)
                Choose(fMenu->Highlighted());
            break;
        }
        case B_KEY_UP:
            break;
        default:
            BWindow::DispatchMessage(message, handler);
            return;
    }
    UpdateIfNeeded();
}

void MenuWindow::Step(int32 direction)
{
    int32 count = fMenu->CountItems();
    int32 at = fMenu->Highlighted() != nullptr ? fMenu->IndexOf(fMenu->Highlighted())
        : direction > 0 ? -1 : count;
    for (int32 i = at + direction; i >= 0 && i < count; i += direction) {
        if (fMenu->ItemAt(i)->IsEnabled()) {
            fMenu->SetHighlighted(fMenu->ItemAt(i));
            return;
        }
    }
}

void MenuWindow::Choose(BMenuItem* item)
{
    if (item == nullptr || !item->IsEnabled())
        return;
    BMessage chosen(kMsgMenuItemChosen);
    chosen.AddInt32("index", fMenu->IndexOf(item));
    fField.SendMessage(&chosen);
    Close();
}

void MenuWindow::Close()
{
    Hide();
    Quit();
}

}  // namespace BPrivate
