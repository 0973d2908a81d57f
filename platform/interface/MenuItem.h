// An entry of a menu: a label, a message, a mark and a keyboard shortcut.
#pragma once

#include <string>

#include "Invoker.h"
#include "Rect.h"

class BMenu;

class BMenuItem : public BInvoker {
public:
    BMenuItem(const char* label, BMessage* message, char shortcut = 0, uint32 modifiers = 0);
    ~BMenuItem() override;

    virtual void SetLabel(const char* label);
    const char* Label() const { return fLabel.c_str(); }
    virtual void SetEnabled(bool enabled);
    bool IsEnabled() const { return fEnabled; }
    // In a menu in radio mode, marking one item unmarks the others.
    virtual void SetMarked(bool marked);
    bool IsMarked() const { return fMarked; }
    virtual void SetShortcut(char shortcut, uint32 modifiers);
    char Shortcut(uint32* modifiers = nullptr) const;

    BMenu* Menu() const { return fMenu; }
    // Where the item lies in its menu, once the menu is laid out.
    BRect Frame() const { return fFrame; }

    status_t Invoke(BMessage* message = nullptr) override;

protected:
    virtual void GetContentSize(float* width, float* height);
    // Draws the item into its menu, at Frame().
    virtual void Draw();
    virtual bool IsSeparator() const { return false; }

private:
    friend class BMenu;

    std::string fLabel;
    char fShortcut;
    uint32 fModifiers;
    bool fEnabled;
    bool fMarked;
    BMenu* fMenu;
    BRect fFrame;
};

class BSeparatorItem : public BMenuItem {
public:
    BSeparatorItem();
    ~BSeparatorItem() override;

    void SetEnabled(bool enabled) override;

protected:
    void GetContentSize(float* width, float* height) override;
    void Draw() override;
    bool IsSeparator() const override { return true; }
};
