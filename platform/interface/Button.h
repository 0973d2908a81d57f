// A push button. The window's default button (the one Enter clicks) has a
// heavier frame.
#pragma once

#include "Control.h"

class BButton : public BControl {
public:
    BButton(BRect frame, const char* name, const char* label, BMessage* message,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    explicit BButton(BMessage* archive);
    static BArchivable* Instantiate(BMessage* archive);
    status_t Archive(BMessage* into, bool deep = true) const override;
    ~BButton() override;

    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage) override;
    void MouseUp(BPoint where) override;
    void KeyDown(const char* bytes, int32 numBytes) override;
    void GetPreferredSize(float* width, float* height) override;
    void AttachedToWindow() override;
    void DetachedFromWindow() override;

    // Makes this the default button of its window (or stops it being it).
    virtual void MakeDefault(bool flag);
    bool IsDefault() const;

private:
    bool fWantsDefault;
};
