#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <Bitmap.h>
#include <Font.h>
#include <InterfaceDefs.h>

#include "Surface.h"

using BPrivate::DrawState;
using BPrivate::Painter;
using BPrivate::Surface;

namespace {

const rgb_color kWhite = make_color(255, 255, 255);
const rgb_color kRed = make_color(255, 0, 0);

void clear(Surface& s, rgb_color c = kWhite)
{
    Painter p(s, B_ORIGIN, BRect(0, 0, s.Width() - 1, s.Height() - 1));
    DrawState st;
    st.high = c;
    p.FillRect(BRect(0, 0, s.Width() - 1, s.Height() - 1), st, false);
}

int count_not(const Surface& s, rgb_color c, BRect area)
{
    int n = 0;
    for (int y = int(area.top); y <= int(area.bottom); y++)
        for (int x = int(area.left); x <= int(area.right); x++)
            if (s.PixelAt(x, y) != c)
                n++;
    return n;
}

bool near(rgb_color a, rgb_color b, int tolerance = 2)
{
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance
        && std::abs(a.blue - b.blue) <= tolerance;
}

}  // namespace

TEST(Painter, FillRectCoversItsRightAndBottomPixels)
{
    Surface s(10, 10);
    clear(s);
    {
        Painter p(s, B_ORIGIN, BRect(0, 0, 9, 9));
        DrawState st;
        st.high = kRed;
        p.FillRect(BRect(2, 2, 4, 4), st, false);
    }
    EXPECT_EQ(s.PixelAt(2, 2), kRed);
    EXPECT_EQ(s.PixelAt(4, 4), kRed);
    EXPECT_EQ(s.PixelAt(5, 4), kWhite);
    EXPECT_EQ(s.PixelAt(1, 2), kWhite);
    EXPECT_EQ(count_not(s, kWhite, BRect(0, 0, 9, 9)), 9);
}

TEST(Painter, LinesCoverBothEndsAndNothingBeside)
{
    Surface s(10, 10);
    clear(s);
    {
        Painter p(s, B_ORIGIN, BRect(0, 0, 9, 9));
        DrawState st;
        st.high = kRed;
        p.StrokeLine(BPoint(1, 5), BPoint(8, 5), st, false);
        p.StrokeLine(BPoint(3, 0), BPoint(3, 0), st, false);
    }
    for (int x = 1; x <= 8; x++)
        EXPECT_EQ(s.PixelAt(x, 5), kRed) << x;
    EXPECT_EQ(s.PixelAt(0, 5), kWhite);
    EXPECT_EQ(s.PixelAt(9, 5), kWhite);
    EXPECT_EQ(s.PixelAt(4, 4), kWhite);
    EXPECT_EQ(s.PixelAt(4, 6), kWhite);
    EXPECT_EQ(s.PixelAt(3, 0), kRed);
    EXPECT_EQ(count_not(s, kWhite, BRect(0, 0, 9, 9)), 9);
}

TEST(Painter, ClipAndOriginPlaceTheDrawing)
{
    Surface s(20, 20);
    clear(s);
    {
        Painter p(s, BPoint(10, 10), BRect(10, 10, 14, 14));
        DrawState st;
        st.high = kRed;
        p.FillRect(BRect(-5, -5, 100, 100), st, false);
    }
    EXPECT_EQ(count_not(s, kWhite, BRect(0, 0, 19, 19)), 25);
    EXPECT_EQ(s.PixelAt(10, 10), kRed);
    EXPECT_EQ(s.PixelAt(15, 14), kWhite);
}

TEST(Painter, DrawingModes)
{
    Surface s(4, 1);
    clear(s);
    {
        Painter p(s, B_ORIGIN, BRect(0, 0, 3, 0));
        DrawState st;
        st.high = make_color(255, 0, 0, 128);
        st.low = make_color(0, 0, 255);
        st.mode = B_OP_COPY;  // the colour's alpha does not count
        p.FillRect(BRect(0, 0, 0, 0), st, false);
        st.mode = B_OP_ALPHA;
        p.FillRect(BRect(1, 0, 1, 0), st, false);
        st.mode = B_OP_ERASE;  // draws with the low colour
        p.FillRect(BRect(2, 0, 2, 0), st, false);
        st.mode = B_OP_INVERT;
        p.FillRect(BRect(3, 0, 3, 0), st, false);
    }
    EXPECT_EQ(s.PixelAt(0, 0), kRed);
    EXPECT_TRUE(near(s.PixelAt(1, 0), make_color(255, 127, 127)));
    EXPECT_EQ(s.PixelAt(2, 0), make_color(0, 0, 255));
    EXPECT_EQ(s.PixelAt(3, 0), make_color(0, 0, 0));
}

TEST(Bitmap, LayoutOfTheColourSpaces)
{
    BBitmap icon(BRect(0, 0, 31, 31), B_CMAP8);
    ASSERT_EQ(icon.InitCheck(), B_OK);
    EXPECT_EQ(icon.BytesPerRow(), 32);
    EXPECT_EQ(icon.BitsLength(), 1024);
    BBitmap odd(BRect(0, 0, 4, 1), B_CMAP8);
    EXPECT_EQ(odd.BytesPerRow(), 8);  // rows padded to 4 bytes
    BBitmap rgba(BRect(0, 0, 15, 15), B_RGBA32);
    EXPECT_EQ(rgba.BytesPerRow(), 64);
    EXPECT_EQ(rgba.BitsLength(), 1024);
    BBitmap bad(BRect(0, 0, -1, -1), B_CMAP8);
    EXPECT_NE(bad.InitCheck(), B_OK);
    BBitmap huge(BRect(0, 0, 100000, 100000), B_RGBA32);
    EXPECT_NE(huge.InitCheck(), B_OK);

    // Converting on the way in: RGBA bytes B, G, R, A into palette indices.
    const uint8 red[4] = {0, 0, 255, 255};
    BBitmap one(BRect(0, 0, 0, 0), B_CMAP8);
    one.SetBits(red, 4, 0, B_RGBA32);
    EXPECT_EQ(one.ColorAt(0, 0), kRed);
}

TEST(Painter, BitmapsHonourTransparencyByMode)
{
    BBitmap icon(BRect(0, 0, 1, 0), B_CMAP8);
    uint8* bits = static_cast<uint8*>(icon.Bits());
    bits[0] = index_for_color(kRed);
    bits[1] = B_TRANSPARENT_MAGIC_CMAP8;
    BBitmap glass(BRect(0, 0, 0, 0), B_RGBA32);
    uint8* g = static_cast<uint8*>(glass.Bits());
    g[0] = 255; g[1] = 0; g[2] = 0; g[3] = 128;  // half-transparent blue

    Surface s(3, 3);
    clear(s);
    {
        Painter p(s, B_ORIGIN, BRect(0, 0, 2, 2));
        DrawState st;
        st.mode = B_OP_OVER;
        p.DrawBitmap(&icon, icon.Bounds(), BRect(0, 0, 1, 0), st);
        st.mode = B_OP_COPY;
        p.DrawBitmap(&icon, icon.Bounds(), BRect(0, 1, 1, 1), st);
        st.mode = B_OP_ALPHA;
        st.srcAlpha = B_PIXEL_ALPHA;
        p.DrawBitmap(&glass, glass.Bounds(), BRect(2, 0, 2, 0), st);
        // Scaled: one pixel stretched over a 1 x 2 column.
        st.mode = B_OP_COPY;
        p.DrawBitmap(&icon, BRect(0, 0, 0, 0), BRect(2, 1, 2, 2), st);
    }
    EXPECT_EQ(s.PixelAt(0, 0), kRed);
    EXPECT_EQ(s.PixelAt(1, 0), kWhite);  // left out by B_OP_OVER
    EXPECT_EQ(s.PixelAt(1, 1), make_color(0x77, 0x74, 0x77));
    EXPECT_TRUE(near(s.PixelAt(2, 0), make_color(127, 127, 255)));
    EXPECT_EQ(s.PixelAt(2, 1), kRed);
    EXPECT_EQ(s.PixelAt(2, 2), kRed);
    EXPECT_EQ(s.PixelAt(0, 2), kWhite);
}

TEST(Font, WidthsReallyDependOnTheText)
{
    BFont font;
    float narrow = font.StringWidth("iiii");
    float wide = font.StringWidth("WWWW");
    EXPECT_GT(narrow, 0);
    EXPECT_GT(wide, narrow * 1.5f);
    EXPECT_EQ(font.StringWidth(""), 0);
    EXPECT_EQ(font.StringWidth(nullptr), 0);
    EXPECT_LT(font.StringWidth("WWWW", 2), wide);
    EXPECT_FLOAT_EQ(font.StringWidth("WWWW", 100), wide);
    // Japanese text comes from a font that has it: full-width glyphs, each
    // about as wide as the font is high.
    float japanese = font.StringWidth("日本語");
    EXPECT_GT(japanese, 2.5f * font.Size());
    EXPECT_LT(japanese, 3.5f * font.Size());
    BFont big(&font);
    big.SetSize(font.Size() * 2);
    EXPECT_NEAR(big.StringWidth("WWWW"), 2 * wide, wide * 0.1f);
    // Invalid UTF-8 is measured, not read past.
    EXPECT_GE(font.StringWidth("\xff\xfe"), 0);
}

TEST(Font, HeightIsThatOfTheFont)
{
    font_height h;
    be_plain_font->GetHeight(&h);
    EXPECT_GT(h.ascent, be_plain_font->Size() * 0.6f);
    EXPECT_GT(h.descent, 0);
    EXPECT_LT(h.ascent + h.descent, be_plain_font->Size() * 1.6f);
}

TEST(Painter, TextIsDrawnAndJapaneseGlyphsDiffer)
{
    // Two different kanji give different pictures; a font without them
    // would draw the same empty box twice.
    auto draw = [](const char* text, Surface& s) {
        clear(s);
        Painter p(s, B_ORIGIN, BRect(0, 0, s.Width() - 1, s.Height() - 1));
        DrawState st;
        st.font.SetSize(16);
        return p.DrawString(text, -1, BPoint(2, 18), st);
    };
    Surface a(40, 24), b(40, 24);
    float advance = draw("日", a);
    draw("語", b);
    EXPECT_GT(advance, 10);
    int inkA = count_not(a, kWhite, BRect(0, 0, 39, 23));
    EXPECT_GT(inkA, 10);
    int differing = 0;
    for (int y = 0; y < 24; y++)
        for (int x = 0; x < 40; x++)
            if (a.PixelAt(x, y) != b.PixelAt(x, y))
                differing++;
    EXPECT_GT(differing, 10);
    // Nothing is drawn above the ascent or left of the pen.
    EXPECT_EQ(count_not(a, kWhite, BRect(0, 0, 39, 1)), 0);
    EXPECT_EQ(count_not(a, kWhite, BRect(0, 0, 1, 23)), 0);
}

TEST(Surface, WritesPngAndKeepsPictureOnResize)
{
    Surface s(8, 8);
    clear(s, kRed);
    s.Resize(16, 4);
    EXPECT_EQ(s.Width(), 16);
    EXPECT_EQ(s.PixelAt(7, 3), kRed);
    std::string path = ::testing::TempDir() + "/surface.png";
    ASSERT_EQ(s.WritePNG(path.c_str()), B_OK);
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    unsigned char sig[8] = {};
    EXPECT_EQ(std::fread(sig, 1, 8, f), 8u);
    std::fclose(f);
    EXPECT_EQ(std::memcmp(sig, "\x89PNG\r\n\x1a\n", 8), 0);
    EXPECT_NE(s.WritePNG("/nonexistent-folder/x.png"), B_OK);
    std::remove(path.c_str());
}
