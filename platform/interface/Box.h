// A frame around other views, or, when it is flat, a separating rule.
#pragma once

#include <string>

#include "View.h"

class BBox : public BView {
public:
    BBox(BRect frame, const char* name = nullptr,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE_JUMP,
        border_style border = B_FANCY_BORDER);
    explicit BBox(BMessage* archive);
    static BArchivable* Instantiate(BMessage* archive);
    status_t Archive(BMessage* into, bool deep = true) const override;
    ~BBox() override;

    void AttachedToWindow() override;
    void Draw(BRect updateRect) override;

    void SetBorder(border_style border);
    border_style Border() const { return fBorder; }
    void SetLabel(const char* label);
    const char* Label() const { return fLabel.empty() ? nullptr : fLabel.c_str(); }

private:
    border_style fBorder;
    std::string fLabel;
};
