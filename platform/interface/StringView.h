// A line of text, aligned left, centred or right.
#pragma once

#include <string>

#include "View.h"

class BStringView : public BView {
public:
    BStringView(BRect frame, const char* name, const char* text,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP, uint32 flags = B_WILL_DRAW);
    explicit BStringView(BMessage* archive);
    static BArchivable* Instantiate(BMessage* archive);
    status_t Archive(BMessage* into, bool deep = true) const override;
    ~BStringView() override;

    void AttachedToWindow() override;
    void Draw(BRect updateRect) override;
    void GetPreferredSize(float* width, float* height) override;

    void SetText(const char* text);
    const char* Text() const { return fText.c_str(); }
    void SetAlignment(alignment flag);
    alignment Alignment() const { return fAlignment; }

private:
    std::string fText;
    alignment fAlignment;
};
