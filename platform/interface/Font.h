// Fonts: a family list, a size in pixels and a face. Text is laid out by
// Pango with fontconfig, so a string mixing scripts takes each character
// from the first font of the list that has it (DejaVu Sans for Latin,
// IPAGothic for Japanese).
#pragma once

#include <string>

#include <SupportDefs.h>

struct font_height {
    float ascent;
    float descent;
    float leading;
};

enum {
    B_REGULAR_FACE = 0x0040,
    B_BOLD_FACE = 0x0020,
    B_ITALIC_FACE = 0x0001,
};

class BFont {
public:
    BFont();
    BFont(const BFont* font);

    void SetSize(float size) { fSize = size > 0 ? size : fSize; }
    float Size() const { return fSize; }
    void SetFace(uint16 face) { fFace = face; }
    uint16 Face() const { return fFace; }
    // A comma-separated list of fontconfig family names.
    void SetFamilies(const char* families) { fFamilies = families ? families : ""; }
    const char* Families() const { return fFamilies.c_str(); }

    // The advance of the text as drawn, in pixels (not rounded).
    float StringWidth(const char* text) const;
    float StringWidth(const char* text, int32 length) const;
    void GetHeight(font_height* height) const;

    bool operator==(const BFont& f) const
    {
        return fSize == f.fSize && fFace == f.fFace && fFamilies == f.fFamilies;
    }
    bool operator!=(const BFont& f) const { return !(*this == f); }

private:
    std::string fFamilies;
    float fSize;
    uint16 fFace;
};

extern const BFont* be_plain_font;
extern const BFont* be_bold_font;
