// The toolkit's text helpers.
#include <MiscTextUtils.h>

#include <gtest/gtest.h>

TEST(ShortCutFromLabel, FormsThatCarryALetter)
{
    EXPECT_EQ(short_cut_from_label("Open (O)..."), 'o');
    EXPECT_EQ(short_cut_from_label("O) Open"), 'o');
    EXPECT_EQ(short_cut_from_label("O Open"), 'o');
    EXPECT_EQ(short_cut_from_label("S・保存"), 's');
    EXPECT_EQ(short_cut_from_label("保存(S)..."), 's');
}

TEST(ShortCutFromLabel, FormsWithout)
{
    EXPECT_EQ(short_cut_from_label("Open"), 0);
    EXPECT_EQ(short_cut_from_label(""), 0);
    EXPECT_EQ(short_cut_from_label(nullptr), 0);
    EXPECT_EQ(short_cut_from_label("(ab)"), 0);
    EXPECT_EQ(short_cut_from_label("Save as"), 0);
    // A multi-byte first character never makes a letter out of its first byte.
    EXPECT_EQ(short_cut_from_label("保存 する"), 0);
}

TEST(MergeAcceleratorKey, InsertsBeforeEllipsisBracketOrColon)
{
    const std::string paren = "\x02(a)";
    EXPECT_EQ(merge_accelerator_key(paren, "S", "Select..."), "Select(S)...");
    EXPECT_EQ(merge_accelerator_key(paren, "S", "Name :"), "Name(S) :");
    EXPECT_EQ(merge_accelerator_key(paren, "S", "Name:"), "Name(S):");
    EXPECT_EQ(merge_accelerator_key(paren, "S", "Volume [dB]"), "Volume(S) [dB]");
    EXPECT_EQ(merge_accelerator_key(paren, "S", "名前："), "名前(S)：");
    EXPECT_EQ(merge_accelerator_key(paren, "S", "OK"), "OK(S)");
    // "..." is looked for before ":", whatever comes first in the label.
    EXPECT_EQ(merge_accelerator_key(paren, "S", "a: b..."), "a: b(S)...");
    // Blanks are skipped back only as far as the label's start.
    EXPECT_EQ(merge_accelerator_key(paren, "S", "  ..."), "(S)  ...");
}

TEST(MergeAcceleratorKey, ModesAndPatterns)
{
    EXPECT_EQ(merge_accelerator_key("\x01" "a) ", "S", "OK"), "S) OK");
    EXPECT_EQ(merge_accelerator_key("\x02" "a - ", "S", "Save"), "SaveS - ");
    EXPECT_EQ(merge_accelerator_key("", "S", "Name:"), "Name:");
    EXPECT_EQ(merge_accelerator_key("\x02" "()", "S", "OK"), "OK");
    // Only the first "a" is the key.
    EXPECT_EQ(merge_accelerator_key("\x01" "a-a ", "S", "OK"), "S-a OK");
}

TEST(MergeAcceleratorKey, MergedLabelsGiveTheirKeyBack)
{
    for (const char* format : {"\x02(a)", "\x01" "a) ", "\x01" "a "})
        EXPECT_EQ(short_cut_from_label(merge_accelerator_key(format, "K", "Keep...").c_str()), 'k')
            << format + 1;
}

TEST(IsSameRgbColor, EveryChannelCounts)
{
    rgb_color a = {1, 2, 3, 4};
    EXPECT_TRUE(is_same_rgb_color(a, rgb_color{1, 2, 3, 4}));
    EXPECT_FALSE(is_same_rgb_color(a, rgb_color{1, 2, 3, 5}));
    EXPECT_FALSE(is_same_rgb_color(a, rgb_color{0, 2, 3, 4}));
}

TEST(DetectCrType, CountsCarriageReturnsAndLineFeeds)
{
    EXPECT_EQ(detect_cr_type("a\r\nb\r\n"), kCrTypeCrLf);
    EXPECT_EQ(detect_cr_type("a\rb\r"), kCrTypeCr);
    EXPECT_EQ(detect_cr_type("a\nb\n"), kCrTypeLf);
    EXPECT_EQ(detect_cr_type(""), kCrTypeLf);
    EXPECT_EQ(detect_cr_type("\r\n\n"), kCrTypeLf);
    EXPECT_EQ(detect_cr_type(nullptr), kCrTypeLf);
}

TEST(DetectCharset, AsciiAndUtf8AreUnknown)
{
    EXPECT_EQ(detect_charset("Seasons"), kCharsetUnknown);
    EXPECT_EQ(detect_charset("季節の歌 ｶﾅ 𝄞"), kCharsetUnknown);
    EXPECT_EQ(detect_charset(""), kCharsetUnknown);
    EXPECT_EQ(detect_charset(nullptr), kCharsetUnknown);
}

TEST(DetectCharset, ShiftJisIsNotWellFormedUtf8)
{
    EXPECT_EQ(detect_charset("\x83\x41"), kCharsetShiftJis);          // ア: lead then ASCII
    EXPECT_EQ(detect_charset("\x93\xFA\x96\x7B"), kCharsetShiftJis);  // 日本
    EXPECT_EQ(detect_charset("\xB1\xB2"), kCharsetShiftJis);          // half-width kana
    // A sequence cut off by the end of the text.
    EXPECT_EQ(detect_charset("abc\xE6\x97"), kCharsetShiftJis);
}

TEST(DetectCharset, AnEscapeMeansJis)
{
    EXPECT_EQ(detect_charset("\x1B$BF|K\\\x1B(B"), kCharsetJis);
    EXPECT_EQ(detect_charset("\x83\x41\x1B(B"), kCharsetJis); // also invalid UTF-8
}
