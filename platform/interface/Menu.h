// A list of items. A menu owns its items and deletes them with itself.
#pragma once

#include <vector>

#include "View.h"

class BHandler;
class BMenuField;
class BMenuItem;

enum menu_layout {
    B_ITEMS_IN_ROW = 0,
    B_ITEMS_IN_COLUMN,
    B_ITEMS_IN_MATRIX,
};

class BMenu : public BView {
public:
    BMenu(const char* name, menu_layout layout = B_ITEMS_IN_COLUMN);
    explicit BMenu(BMessage* archive);
    static BArchivable* Instantiate(BMessage* archive);
    status_t Archive(BMessage* into, bool deep = true) const override;
    ~BMenu() override;

    bool AddItem(BMenuItem* item);
    bool AddItem(BMenuItem* item, int32 index);
    bool AddSeparatorItem();
    // Takes the item out without deleting it.
    bool RemoveItem(BMenuItem* item);
    BMenuItem* RemoveItem(int32 index);

    BMenuItem* ItemAt(int32 index) const;
    int32 CountItems() const { return int32(fItems.size()); }
    int32 IndexOf(BMenuItem* item) const;
    BMenuItem* FindItem(const char* label) const;
    BMenuItem* FindMarked() const;

    virtual void SetRadioMode(bool flag);
    bool IsRadioMode() const { return fRadioMode; }
    // The field holding the menu then shows the marked item's label.
    virtual void SetLabelFromMarked(bool flag);
    bool IsLabelFromMarked() const { return fLabelFromMarked; }
    virtual status_t SetTargetForItems(BHandler* handler);

    menu_layout Layout() const { return fLayout; }

    void Draw(BRect updateRect) override;
    void GetPreferredSize(float* width, float* height) override;
    // Places the items one below the other and sizes the menu to them.
    void LayoutItems();
    // The item under a point of the menu, or none.
    BMenuItem* ItemAtPoint(BPoint where) const;
    void SetHighlighted(BMenuItem* item);
    BMenuItem* Highlighted() const { return fHighlighted; }

private:
    friend class BMenuItem;
    friend class BMenuField;

    void ItemMarked(BMenuItem* item);
    void ItemChanged();

    std::vector<BMenuItem*> fItems;
    menu_layout fLayout;
    bool fRadioMode;
    bool fLabelFromMarked;
    BMenuField* fField;
    BMenuItem* fHighlighted;
};
