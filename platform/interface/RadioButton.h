// One of a group of choices: switching it on switches off the radio
// buttons beside it (the other children of its parent).
#pragma once

#include "Control.h"

class BRadioButton : public BControl {
public:
    BRadioButton(BRect frame, const char* name, const char* label, BMessage* message,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    explicit BRadioButton(BMessage* archive);
    static BArchivable* Instantiate(BMessage* archive);
    status_t Archive(BMessage* into, bool deep = true) const override;
    ~BRadioButton() override;

    void SetValue(int32 value) override;
    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    void MouseUp(BPoint where) override;
    void KeyDown(const char* bytes, int32 numBytes) override;
    void GetPreferredSize(float* width, float* height) override;
};
