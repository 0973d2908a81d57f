#include "StringView.h"

#include <cmath>

#include "ArchivePrivate.h"
#include "ControlLook.h"

BStringView::BStringView(BRect frame, const char* name, const char* text, uint32 resizingMode,
    uint32 flags)
    : BView(frame, name, resizingMode, flags), fText(text ? text : ""), fAlignment(B_ALIGN_LEFT)
{
}

BStringView::~BStringView() = default;

BStringView::BStringView(BMessage* archive) : BView(archive), fAlignment(B_ALIGN_LEFT)
{
    BPrivate::read_field(archive, "_text", &fText);
    int32 align = B_ALIGN_LEFT;
    BPrivate::read_field(archive, "_align", &align);
    if (align == B_ALIGN_RIGHT || align == B_ALIGN_CENTER)
        fAlignment = alignment(align);
}

BArchivable* BStringView::Instantiate(BMessage* archive)
{
    return BPrivate::instantiate_as<BStringView>(archive, "BStringView");
}

status_t BStringView::Archive(BMessage* into, bool deep) const
{
    status_t status = BView::Archive(into, deep);
    if (status == B_OK)
        status = into->AddString("_text", fText.c_str());
    if (status == B_OK)
        status = into->AddInt32("_align", int32(fAlignment));
    return status;
}

B_REGISTER_ARCHIVABLE(BStringView);

void BStringView::AttachedToWindow()
{
    BPrivate::adopt_parent_colors(this);
}

void BStringView::Draw(BRect)
{
    float width = StringWidth(Text());
    float x = 0;
    if (fAlignment == B_ALIGN_CENTER)
        x = std::floor((Bounds().Width() + 1 - width) / 2);
    else if (fAlignment == B_ALIGN_RIGHT)
        x = Bounds().Width() + 1 - width;
    BPrivate::draw_label(this, Text(), x, BPrivate::centred_baseline(this, Bounds()), true);
}

void BStringView::GetPreferredSize(float* width, float* height)
{
    if (width != nullptr)
        *width = std::ceil(StringWidth(Text()));
    if (height != nullptr)
        *height = std::ceil(BPrivate::font_line_height(this));
}

void BStringView::SetText(const char* text)
{
    std::string next = text ? text : "";
    if (next == fText)
        return;
    fText = next;
    Invalidate();
}

void BStringView::SetAlignment(alignment flag)
{
    fAlignment = flag;
    Invalidate();
}
