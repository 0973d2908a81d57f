#include "Font.h"

#include <cstring>
#include <mutex>

#include <pango/pangocairo.h>

#include "TextRenderer.h"

namespace {

const char kDefaultFamilies[] = "DejaVu Sans,IPAGothic";
const float kDefaultSize = 11.0f;

std::mutex sTextLock;

// One context for measuring, on a 1 x 1 surface, and the font map that
// drawing uses too.
struct TextEngine {
    PangoFontMap* fontMap;
    PangoContext* context;
    cairo_font_options_t* options;

    TextEngine()
    {
        fontMap = pango_cairo_font_map_new();
        context = pango_font_map_create_context(fontMap);
        options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(context, options);
        pango_cairo_context_set_resolution(context, 72.0);
    }
};

TextEngine& engine()
{
    static TextEngine* e = new TextEngine();
    return *e;
}

PangoFontDescription* describe(const BFont& font)
{
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, font.Families());
    pango_font_description_set_absolute_size(d, font.Size() * PANGO_SCALE);
    pango_font_description_set_weight(d,
        (font.Face() & B_BOLD_FACE) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(d,
        (font.Face() & B_ITALIC_FACE) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    return d;
}

PangoLayout* make_layout(PangoContext* context, const BFont& font, const char* text, int32 length)
{
    PangoLayout* layout = pango_layout_new(context);
    PangoFontDescription* d = describe(font);
    pango_layout_set_font_description(layout, d);
    pango_font_description_free(d);
    pango_layout_set_single_paragraph_mode(layout, TRUE);
    // Invalid UTF-8 is shown with replacement marks.
    if (g_utf8_validate(text, length, nullptr))
        pango_layout_set_text(layout, text, length);
    else {
        gchar* valid = g_utf8_make_valid(text, length);
        pango_layout_set_text(layout, valid, -1);
        g_free(valid);
    }
    return layout;
}

int32 clamp_length(const char* text, int32 length)
{
    if (text == nullptr)
        return 0;
    int32 full = int32(std::strlen(text));
    return length < 0 || length > full ? full : length;
}

}  // namespace

namespace BPrivate {

float text_width(const BFont& font, const char* text, int32 length)
{
    length = clamp_length(text, length);
    if (length == 0)
        return 0.0f;
    std::lock_guard<std::mutex> lock(sTextLock);
    PangoLayout* layout = make_layout(engine().context, font, text, length);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return float(logical.width) / PANGO_SCALE;
}

font_height text_height(const BFont& font)
{
    std::lock_guard<std::mutex> lock(sTextLock);
    PangoFontDescription* d = describe(font);
    PangoFontMetrics* m = pango_context_get_metrics(engine().context, d, nullptr);
    font_height h;
    h.ascent = float(pango_font_metrics_get_ascent(m)) / PANGO_SCALE;
    h.descent = float(pango_font_metrics_get_descent(m)) / PANGO_SCALE;
    int height = pango_font_metrics_get_height(m);
    h.leading = height > 0 ? float(height) / PANGO_SCALE - h.ascent - h.descent : 0.0f;
    if (h.leading < 0)
        h.leading = 0;
    pango_font_metrics_unref(m);
    pango_font_description_free(d);
    return h;
}

float draw_text(cairo_t* cr, const BFont& font, const char* text, int32 length, double x,
    double baseline)
{
    length = clamp_length(text, length);
    if (length == 0)
        return 0.0f;
    std::lock_guard<std::mutex> lock(sTextLock);
    PangoContext* context = pango_font_map_create_context(engine().fontMap);
    pango_cairo_update_context(cr, context);
    pango_cairo_context_set_font_options(context, engine().options);
    pango_cairo_context_set_resolution(context, 72.0);
    PangoLayout* layout = make_layout(context, font, text, length);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    double top = baseline - double(pango_layout_get_baseline(layout)) / PANGO_SCALE;
    cairo_move_to(cr, x, top);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    g_object_unref(context);
    return float(logical.width) / PANGO_SCALE;
}

}  // namespace BPrivate

BFont::BFont()
    : fFamilies(kDefaultFamilies), fSize(kDefaultSize), fFace(B_REGULAR_FACE)
{
}

BFont::BFont(const BFont* font)
    : BFont()
{
    if (font != nullptr)
        *this = *font;
}

float BFont::StringWidth(const char* text) const
{
    return BPrivate::text_width(*this, text, -1);
}

float BFont::StringWidth(const char* text, int32 length) const
{
    return BPrivate::text_width(*this, text, length);
}

void BFont::GetHeight(font_height* height) const
{
    if (height != nullptr)
        *height = BPrivate::text_height(*this);
}

namespace {

BFont make_bold()
{
    BFont f;
    f.SetFace(B_BOLD_FACE);
    return f;
}

const BFont sPlainFont;
const BFont sBoldFont = make_bold();

}  // namespace

const BFont* be_plain_font = &sPlainFont;
const BFont* be_bold_font = &sBoldFont;
