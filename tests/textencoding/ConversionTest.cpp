// The platform's UTF-8 <-> Shift-JIS / JIS conversions.
#include <UTF8.h>

#include <gtest/gtest.h>

#include <string>

namespace {

struct Result {
    status_t status;
    std::string text;
    int32 consumed;
    int32 state;
};

Result to_utf8(uint32 id, const std::string& src, int32 room = 4096, int32 state = 0)
{
    std::string dst(room + 1, '\0');
    int32 srcLen = (int32)src.size(), dstLen = room;
    status_t status = convert_to_utf8(id, src.data(), &srcLen, dst.data(), &dstLen, &state);
    return {status, dst.substr(0, dstLen), srcLen, state};
}

Result from_utf8(uint32 id, const std::string& src, int32 room = 4096, int32 state = 0)
{
    std::string dst(room + 1, '\0');
    int32 srcLen = (int32)src.size(), dstLen = room;
    status_t status = convert_from_utf8(id, src.data(), &srcLen, dst.data(), &dstLen, &state);
    return {status, dst.substr(0, dstLen), srcLen, state};
}

// Kanji, hiragana, katakana, full-width and half-width forms, and the
// CP932 extensions (NEC row 13, NEC-selected and IBM kanji and numerals).
const std::string kJapanese = "季節の歌 ひらがな カタカナ ＡＢＣ ｶﾞｰﾄﾞ ①②Ⅹ㈱№ ⅰⅱ 髙﨑 纊 ～";

} // namespace

TEST(ShiftJis, KnownBytesBothWays)
{
    // 日本 = 93FA 967B; ｱ = B1; ① = 8740; 髙 = FBFC (IBM extension).
    const std::string sjis = "\x93\xFA\x96\x7B\xB1\x87\x40\xFB\xFC" "A";
    Result utf8 = to_utf8(B_SJIS_CONVERSION, sjis);
    EXPECT_EQ(utf8.status, B_OK);
    EXPECT_EQ(utf8.text, "日本ｱ①髙A");
    EXPECT_EQ(utf8.consumed, (int32)sjis.size());
    EXPECT_EQ(from_utf8(B_SJIS_CONVERSION, utf8.text).text, sjis);
}

TEST(ShiftJis, RoundTripOfJapaneseText)
{
    Result sjis = from_utf8(B_SJIS_CONVERSION, kJapanese);
    ASSERT_EQ(sjis.status, B_OK);
    EXPECT_EQ(sjis.text.find('\x1A'), std::string::npos);
    EXPECT_EQ(to_utf8(B_SJIS_CONVERSION, sjis.text).text, kJapanese);
}

TEST(ShiftJis, BadBytesBecomeTheSubstitute)
{
    // 0x80, 0xA0 and 0xFD-0xFF are never characters; a lead byte with an
    // ASCII byte after it is bad alone and the ASCII byte survives.
    EXPECT_EQ(to_utf8(B_SJIS_CONVERSION, "a\x80" "b\xA0\xFD\xFF").text, "a\x1A" "b\x1A\x1A\x1A");
    EXPECT_EQ(to_utf8(B_SJIS_CONVERSION, "\x93" "1").text, "\x1A" "1");
    // An unassigned double-byte code.
    EXPECT_EQ(to_utf8(B_SJIS_CONVERSION, "\x85\x40").text, "\x1A");
    // Characters without a Shift-JIS form, and malformed UTF-8.
    EXPECT_EQ(from_utf8(B_SJIS_CONVERSION, "a한b").text, "a\x1A" "b");
    EXPECT_EQ(from_utf8(B_SJIS_CONVERSION, "a\xFF\xC0\x80z").text, "a\x1A\x1A\x1A" "z");
    // A caller's own substitute.
    int32 srcLen = 3, dstLen = 8, state = 0;
    char out[8];
    convert_from_utf8(B_SJIS_CONVERSION, "\xED\x9C\x97", &srcLen, out, &dstLen, &state, '?');
    EXPECT_EQ(std::string(out, dstLen), "?");
}

TEST(ShiftJis, CutCharacterAtTheEndIsLeftForTheNextCall)
{
    Result first = to_utf8(B_SJIS_CONVERSION, "A\x93");
    EXPECT_EQ(first.text, "A");
    EXPECT_EQ(first.consumed, 1);
    Result utf8 = from_utf8(B_SJIS_CONVERSION, "A\xE6\x97");
    EXPECT_EQ(utf8.text, "A");
    EXPECT_EQ(utf8.consumed, 1);
}

TEST(ShiftJis, FullDestinationStopsBetweenCharacters)
{
    // 日 is three bytes of UTF-8: room for one and a half of them gives one.
    Result utf8 = to_utf8(B_SJIS_CONVERSION, "\x93\xFA\x93\xFA", 5);
    EXPECT_EQ(utf8.text, "日");
    EXPECT_EQ(utf8.consumed, 2);
    Result sjis = from_utf8(B_SJIS_CONVERSION, "a日本", 4);
    EXPECT_EQ(sjis.text, "a\x93\xFA");
    EXPECT_EQ(sjis.consumed, 4);
    EXPECT_EQ(from_utf8(B_SJIS_CONVERSION, "日", 1).text, "");
}

TEST(Jis, KnownBytesBothWays)
{
    // 日本 then ASCII then ｱ (half-width kana in the JIS X 0201 set).
    const std::string jis = "\x1B$BF|K\\\x1B(Bab\x1B(I1\x1B(B";
    Result utf8 = to_utf8(B_JIS_CONVERSION, jis);
    EXPECT_EQ(utf8.text, "日本abｱ");
    EXPECT_EQ(utf8.state, 0);
    EXPECT_EQ(from_utf8(B_JIS_CONVERSION, "日本abｱ").text, jis);
}

TEST(Jis, RoundTripOfJapaneseTextIsSevenBit)
{
    Result jis = from_utf8(B_JIS_CONVERSION, kJapanese);
    ASSERT_EQ(jis.status, B_OK);
    for (char c : jis.text)
        ASSERT_LT((unsigned char)c, 0x80);
    EXPECT_EQ(jis.text.find('\x1A'), std::string::npos);
    EXPECT_EQ(jis.text.substr(jis.text.size() - 3), "\x1B(B");
    EXPECT_EQ(jis.state, 0);
    EXPECT_EQ(to_utf8(B_JIS_CONVERSION, jis.text).text, kJapanese);
}

TEST(Jis, IbmExtensionsUseTheirNecSelectedCodes)
{
    // 髙 is FBFC in CP932 and EEE0 (JIS row 0x7C) among the NEC-selected copies.
    EXPECT_EQ(from_utf8(B_JIS_CONVERSION, "髙").text, "\x1B$B|b\x1B(B");
    EXPECT_EQ(from_utf8(B_JIS_CONVERSION, "ⅰ").text, "\x1B$B|q\x1B(B");
}

TEST(Jis, StateCarriesAcrossCalls)
{
    // The second piece starts inside the kanji set its predecessor entered.
    Result first = to_utf8(B_JIS_CONVERSION, "\x1B$BF|");
    EXPECT_EQ(first.text, "日");
    EXPECT_NE(first.state, 0);
    Result second = to_utf8(B_JIS_CONVERSION, "K\\\x1B(B!", 4096, first.state);
    EXPECT_EQ(second.text, "本!");
    EXPECT_EQ(second.state, 0);
    // An escape or a character cut by the end of a piece waits for the next.
    Result cut = to_utf8(B_JIS_CONVERSION, "\x1B$");
    EXPECT_EQ(cut.consumed, 0);
    Result half = to_utf8(B_JIS_CONVERSION, "F|K", 4096, first.state);
    EXPECT_EQ(half.text, "日");
    EXPECT_EQ(half.consumed, 2);
}

TEST(Jis, OlderAndRomanSetsAndShifts)
{
    EXPECT_EQ(to_utf8(B_JIS_CONVERSION, "\x1B$@F|\x1B(J\\~").text, "日¥‾");
    EXPECT_EQ(to_utf8(B_JIS_CONVERSION, "\x0E" "1\x0F" "a").text, "ｱa");
}

TEST(Jis, BadBytesBecomeTheSubstitute)
{
    // Eight-bit bytes, an unknown escape, a kana byte out of range and an
    // unassigned kanji code.
    EXPECT_EQ(to_utf8(B_JIS_CONVERSION, "a\xB1" "b").text, "a\x1A" "b");
    EXPECT_EQ(to_utf8(B_JIS_CONVERSION, "\x1BZa").text, "\x1AZa");
    EXPECT_EQ(to_utf8(B_JIS_CONVERSION, "\x1B(I\x7E").text, "\x1A");
    EXPECT_EQ(to_utf8(B_JIS_CONVERSION, "\x1B$B)!\x1B(B").text, "\x1A");
    EXPECT_EQ(from_utf8(B_JIS_CONVERSION, "x한").text, "x\x1A");
}

TEST(Jis, FullDestinationKeepsRoomToReturnToAscii)
{
    // Escape, one kanji and the closing escape: eight bytes.
    EXPECT_EQ(from_utf8(B_JIS_CONVERSION, "日本", 8).text, "\x1B$BF|\x1B(B");
    EXPECT_EQ(from_utf8(B_JIS_CONVERSION, "日本", 9).text, "\x1B$BF|\x1B(B");
    EXPECT_EQ(from_utf8(B_JIS_CONVERSION, "日本", 7).text, "");
    Result partial = from_utf8(B_JIS_CONVERSION, "ab日", 7);
    EXPECT_EQ(partial.text, "ab");
    EXPECT_EQ(partial.consumed, 2);
}

TEST(Utf8, CheckedCopy)
{
    EXPECT_EQ(to_utf8(B_UNICODE_CONVERSION, "日本\xFF" "a").text, "日本\x1A" "a");
    EXPECT_EQ(from_utf8(B_UNICODE_CONVERSION, "\xED\xA0\x80").text, "\x1A\x1A\x1A");
    EXPECT_EQ(from_utf8(B_UNICODE_CONVERSION, "a日", 3).text, "a");
}

TEST(Conversion, RefusesUnknownIdsAndBadArguments)
{
    char out[8];
    int32 srcLen = 1, dstLen = 8, state = 0;
    EXPECT_EQ(convert_to_utf8(12, "a", &srcLen, out, &dstLen, &state), B_ERROR);
    EXPECT_EQ(convert_from_utf8(4096, "a", &srcLen, out, &dstLen, &state), B_ERROR);
    EXPECT_EQ(convert_to_utf8(B_SJIS_CONVERSION, nullptr, &srcLen, out, &dstLen, &state),
              B_BAD_VALUE);
    srcLen = -1;
    EXPECT_EQ(convert_from_utf8(B_SJIS_CONVERSION, "a", &srcLen, out, &dstLen, &state),
              B_BAD_VALUE);
    Result empty = to_utf8(B_JIS_CONVERSION, "");
    EXPECT_EQ(empty.status, B_OK);
    EXPECT_EQ(empty.text, "");
}

namespace {

// Converts src piece by piece with tiny destinations, handing back what a
// call left unconsumed, as a streaming caller does.
std::string in_pieces(bool toUtf8, uint32 id, const std::string& src, unsigned seed)
{
    std::string out;
    int32 state = 0;
    size_t at = 0;
    for (int calls = 0; at < src.size() && calls < 100000; calls++) {
        seed = seed * 1103515245 + 12345;
        int32 room = 1 + (seed >> 16) % 9;
        int32 srcLen = (int32)(src.size() - at), dstLen = room;
        char dst[16];
        status_t status = toUtf8
            ? convert_to_utf8(id, src.data() + at, &srcLen, dst, &dstLen, &state)
            : convert_from_utf8(id, src.data() + at, &srcLen, dst, &dstLen, &state);
        EXPECT_EQ(status, B_OK);
        EXPECT_LE(dstLen, room);
        out.append(dst, dstLen);
        if (srcLen == 0 && room >= 8) // a character cut off by the end: nothing more comes
            break;
        at += srcLen;
    }
    return out;
}

bool is_utf8(const std::string& text)
{
    Result checked = to_utf8(B_UNICODE_CONVERSION, text, (int32)text.size());
    return checked.text == text && checked.consumed == (int32)text.size();
}

} // namespace

TEST(Conversion, AnyBytesConvertWholeOrInPieces)
{
    unsigned seed = 7;
    for (int round = 0; round < 300; round++) {
        std::string bytes;
        int length = round % 40;
        for (int i = 0; i < length; i++) {
            seed = seed * 1103515245 + 12345;
            unsigned r = seed >> 16;
            // Mostly bytes that matter to these encodings.
            const char special[] = {'\x1B', '$', '(', 'B', 'I', '@', '\x81', '\x93', '\xE3', '\xFA'};
            bytes += r % 3 ? special[r % sizeof special] : (char)(r >> 3);
        }
        for (uint32 id : {B_SJIS_CONVERSION, B_JIS_CONVERSION, B_UNICODE_CONVERSION}) {
            Result whole = to_utf8(id, bytes);
            ASSERT_EQ(whole.status, B_OK);
            EXPECT_TRUE(is_utf8(whole.text)) << id;
            EXPECT_EQ(in_pieces(true, id, bytes, seed), whole.text) << id;

            Result encoded = from_utf8(id, whole.text);
            ASSERT_EQ(encoded.status, B_OK);
            EXPECT_EQ(encoded.consumed, (int32)whole.text.size());
            // JIS pieces each end in ASCII; what they say is the same.
            std::string pieces = in_pieces(false, id, whole.text, seed);
            EXPECT_EQ(to_utf8(id, pieces).text, to_utf8(id, encoded.text).text) << id;
        }
    }
}
