// A menu that pops up under the pointer or in a menu field: by default in
// radio mode, its field showing the marked item.
#pragma once

#include "Menu.h"

class BPopUpMenu : public BMenu {
public:
    BPopUpMenu(const char* name, bool radioMode = true, bool labelFromMarked = true,
        menu_layout layout = B_ITEMS_IN_COLUMN);
    explicit BPopUpMenu(BMessage* archive);
    static BArchivable* Instantiate(BMessage* archive);
    status_t Archive(BMessage* into, bool deep = true) const override;
    ~BPopUpMenu() override;
};
