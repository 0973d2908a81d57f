// A label and a one-line text field, side by side: the divider is where
// the field begins. The field takes typed text while the control has the
// focus.
#pragma once

#include <string>

#include "Control.h"

class BTextControl : public BControl {
public:
    BTextControl(BRect frame, const char* name, const char* label, const char* initialText,
        BMessage* message, uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    explicit BTextControl(BMessage* archive);
    static BArchivable* Instantiate(BMessage* archive);
    status_t Archive(BMessage* into, bool deep = true) const override;
    ~BTextControl() override;

    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    void KeyDown(const char* bytes, int32 numBytes) override;
    void MakeFocus(bool focus = true) override;
    void GetPreferredSize(float* width, float* height) override;

    void SetText(const char* text);
    const char* Text() const { return fText.c_str(); }
    void SetDivider(float position);
    float Divider() const { return fDivider; }
    // The caret, as a byte offset into the text (on a character boundary).
    int32 CaretOffset() const { return fCaret; }

private:
    BRect FieldFrame() const;

    std::string fText;
    float fDivider;
    int32 fCaret;
    bool fChanged;
};
