// A label and a pop-up menu beside it: the divider is where the menu
// begins. The field shows the marked item's label when its menu takes its
// label from the marked item, and the menu's name otherwise.
#pragma once

#include <string>

#include "View.h"

class BMenu;

class BMenuField : public BView {
public:
    BMenuField(BRect frame, const char* name, const char* label, BMenu* menu,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    BMenuField(BRect frame, const char* name, const char* label, BMenu* menu, bool fixedSize,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    explicit BMenuField(BMessage* archive);
    static BArchivable* Instantiate(BMessage* archive);
    status_t Archive(BMessage* into, bool deep = true) const override;
    ~BMenuField() override;

    void AttachedToWindow() override;
    void Draw(BRect updateRect) override;
    // A press on the menu bar pops the menu up; the item chosen there is
    // marked (in radio mode) and invoked.
    void MouseDown(BPoint where) override;
    void MessageReceived(BMessage* message) override;
    void MakeFocus(bool focus = true) override;
    void GetPreferredSize(float* width, float* height) override;

    void SetLabel(const char* label);
    const char* Label() const { return fLabel.c_str(); }
    void SetDivider(float position);
    float Divider() const { return fDivider; }
    BMenu* Menu() const { return fMenu; }
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return fEnabled; }
    // The text the field shows for its menu.
    const char* MenuLabel() const;
    // Where the menu's bar lies in the field.
    BRect MenuFrame() const;

private:
    std::string fLabel;
    BMenu* fMenu;
    float fDivider;
    bool fFixedSize;
    bool fEnabled;
};
