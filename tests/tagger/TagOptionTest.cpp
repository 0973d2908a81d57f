// Lumbrel's command line and its conversions between UTF-8 and the tag's
// character set. No dictionary is loaded: every text is its own key.
#include <TagApp.h>
#include <UTF8.h>

#include <MiscTextUtils.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Parsed {
    int result;
    TTagOption option;
    std::string output;
};

// Runs parse_opt on the arguments (the program name is added).
Parsed parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "Lumbrel");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    Parsed parsed;
    testing::internal::CaptureStdout();
    parsed.result = parse_opt((int)args.size(), argv.data(), &parsed.option);
    parsed.output = testing::internal::GetCapturedStdout();
    return parsed;
}

std::string value_of(const Parsed& parsed, int32 id)
{
    auto found = parsed.option.tag_values.find(id);
    return found == parsed.option.tag_values.end() ? "<absent>" : found->second.String();
}

TTagOption with_charset(uint32 charset)
{
    TTagOption option;
    option.charset = charset;
    return option;
}

std::string to_tag(uint32 charset, const std::string& value, int size = kTagValueBytes)
{
    std::vector<char> out(size, 'x');
    convert_from_utf8(with_charset(charset), BString(value.c_str()), out.data(), size);
    return out.data();
}

std::string from_tag(uint32 charset, const std::string& text, int size = kTagValueBytes)
{
    std::vector<char> buffer(size, '\0');
    memcpy(buffer.data(), text.data(), std::min<size_t>(text.size(), size));
    convert_to_utf8(with_charset(charset), buffer.data(), size);
    return std::string(buffer.data(), strnlen(buffer.data(), size));
}

std::string repeat(const std::string& piece, int count)
{
    std::string text;
    for (int i = 0; i < count; i++)
        text += piece;
    return text;
}

} // namespace

TEST(TagParse, FieldOptionsLongAndShort)
{
    Parsed parsed = parse({"-L=l", "-A=a", "-C=c", "-G=g", "-T=t", "-R=r", "-Y=y", "f.ape"});
    ASSERT_EQ(parsed.result, 0);
    EXPECT_EQ(value_of(parsed, kTagOptionAlbum), "l");
    EXPECT_EQ(value_of(parsed, kTagOptionArtist), "a");
    EXPECT_EQ(value_of(parsed, kTagOptionComment), "c");
    EXPECT_EQ(value_of(parsed, kTagOptionGenre), "g");
    EXPECT_EQ(value_of(parsed, kTagOptionTitle), "t");
    EXPECT_EQ(value_of(parsed, kTagOptionTrack), "r");
    EXPECT_EQ(value_of(parsed, kTagOptionYear), "y");
    EXPECT_EQ(std::string(parsed.option.ape_file.String()), "f.ape");
    EXPECT_FALSE(parsed.option.help);
    EXPECT_EQ(parsed.option.charset, kCharsetAutoDetect);
    EXPECT_FALSE(parsed.option.remove_all);

    parsed = parse({"-album:L", "-Artist=A", "-COMMENT=C", "-genre=G", "-TITLE=T", "-track=R",
                    "-year=Y", "f.ape"});
    EXPECT_EQ(value_of(parsed, kTagOptionAlbum), "L");
    EXPECT_EQ(value_of(parsed, kTagOptionYear), "Y");
    EXPECT_EQ(parsed.option.tag_values.size(), 7u);
}

TEST(TagParse, ValuesAreKeptAsTyped)
{
    Parsed parsed = parse({"-T=Seasons", "-TITLE=Winter", "f.ape"});
    EXPECT_EQ(value_of(parsed, kTagOptionTitle), "Winter");
    parsed = parse({"-TITLE", "-A=", "-COMMENT=a=b:c", "-G= x ", "-Y=季節", "f.ape"});
    EXPECT_EQ(value_of(parsed, kTagOptionTitle), "");
    EXPECT_EQ(value_of(parsed, kTagOptionArtist), "");
    EXPECT_EQ(value_of(parsed, kTagOptionComment), "a=b:c");
    EXPECT_EQ(value_of(parsed, kTagOptionGenre), " x ");
    EXPECT_EQ(value_of(parsed, kTagOptionYear), "季節");
}

TEST(TagParse, CharsetNames)
{
    for (const char* arg : {"-cs=shift-jis", "-CS=s", "-CHARSET=Shift-Jis"})
        EXPECT_EQ(parse({arg, "f.ape"}).option.charset, (uint32)B_SJIS_CONVERSION) << arg;
    for (const char* arg : {"-cs=jis", "-CharSet:J"})
        EXPECT_EQ(parse({arg, "f.ape"}).option.charset, (uint32)B_JIS_CONVERSION) << arg;
    for (const char* arg : {"-CS=utf-8", "-cs=u"})
        EXPECT_EQ(parse({arg, "f.ape"}).option.charset, (uint32)B_UNICODE_CONVERSION) << arg;
    // The later one wins.
    EXPECT_EQ(parse({"-CS=J", "f.ape", "-CS=S"}).option.charset, (uint32)B_SJIS_CONVERSION);
}

TEST(TagParse, BadCharsetIsReportedWithTheWholeArgument)
{
    for (const char* arg : {"-CS=SJIS", "-CS=", "-CHARSET", "-cs=utf8"}) {
        Parsed parsed = parse({"f.ape", arg, "-NOSUCH"});
        EXPECT_EQ(parsed.result, -1) << arg;
        EXPECT_EQ(parsed.output,
                  std::string("ERROR: @Err_Bad_Option_Value ") + arg + "@\n");
    }
}

TEST(TagParse, RemoveAllFileNamesAndCommonOptions)
{
    Parsed parsed = parse({"-REMOVEALL=no", "a.ape", "b.ape"});
    EXPECT_TRUE(parsed.option.remove_all);
    EXPECT_EQ(std::string(parsed.option.ape_file.String()), "b.ape");
    EXPECT_TRUE(parsed.option.tag_values.empty());

    parsed = parse({"-V", "x=y.ape"});
    EXPECT_EQ(std::string(parsed.option.ape_file.String()), "x=y.ape");
    EXPECT_TRUE(parsed.option.verbose);
    EXPECT_TRUE(parsed.option.lma_info);
    EXPECT_FALSE(parsed.option.help);
}

TEST(TagParse, NoFileMeansUsage)
{
    Parsed parsed = parse({});
    EXPECT_EQ(parsed.result, 0);
    EXPECT_TRUE(parsed.option.help);
    EXPECT_TRUE(parsed.option.verbose);
    EXPECT_FALSE(parsed.option.lma_info);
    EXPECT_TRUE(parse({"-T=x"}).option.help);
}

TEST(TagParse, OnlyTheFirstUnknownOptionIsReported)
{
    Parsed parsed = parse({"-T=x", "-X=1", "-Y=2", "--VERBOSE", "f.ape"});
    EXPECT_EQ(parsed.result, -1);
    EXPECT_EQ(parsed.output, "ERROR: @Err_Unknown_Option -X=1@\n");
    EXPECT_EQ(parse({"--VERBOSE"}).result, -1);
    EXPECT_EQ(parse({"-"}).output, "ERROR: @Err_Unknown_Option -@\n");
}

TEST(TagTables, OptionAndCharsetMaps)
{
    TOptionMap options;
    init_option_map(options);
    EXPECT_EQ(options.size(), 17u + 5u);
    EXPECT_EQ(options["-L"], kTagOptionAlbum);
    EXPECT_EQ(options["-R"], kTagOptionTrack);
    EXPECT_EQ(options["-REMOVEALL"], kTagOptionRemoveAll);
    EXPECT_EQ(options["-?"], 1);
    TEncodingMap encodings;
    init_encoding_map(encodings);
    EXPECT_EQ(encodings.size(), 6u);
    for (const auto& [name, id] : encodings)
        EXPECT_NE(id, 0u) << name.String();
}

TEST(TagConversion, WritingInEachCharset)
{
    EXPECT_EQ(to_tag(B_SJIS_CONVERSION, "日本"), "\x93\xFA\x96\x7B");
    EXPECT_EQ(to_tag(B_JIS_CONVERSION, "日本"), "\x1B$BF|K\\\x1B(B");
    // UTF-8 and detection store the text as typed.
    EXPECT_EQ(to_tag(B_UNICODE_CONVERSION, "日本"), "日本");
    EXPECT_EQ(to_tag(kCharsetAutoDetect, "日本"), "日本");
    EXPECT_EQ(to_tag(B_SJIS_CONVERSION, ""), "");
}

TEST(TagConversion, ReadingWithDetection)
{
    EXPECT_EQ(from_tag(kCharsetAutoDetect, "\x1B$BF|K\\\x1B(B"), "日本");
    EXPECT_EQ(from_tag(kCharsetAutoDetect, "\x93\xFA\x96\x7B"), "日本");
    EXPECT_EQ(from_tag(kCharsetAutoDetect, "日本"), "日本");
    EXPECT_EQ(from_tag(kCharsetAutoDetect, "Seasons"), "Seasons");
}

TEST(TagConversion, ReadingWithAFixedCharset)
{
    EXPECT_EQ(from_tag(B_SJIS_CONVERSION, "\x93\xFA\x96\x7B"), "日本");
    EXPECT_EQ(from_tag(B_JIS_CONVERSION, "\x1B$BF|K\\\x1B(B"), "日本");
    // UTF-8 shows the bytes as they are, Shift-JIS ones too.
    EXPECT_EQ(from_tag(B_UNICODE_CONVERSION, "\x93\xFA"), "\x93\xFA");
    // Ids outside the table read as UTF-8.
    EXPECT_EQ(from_tag(12, "\x93\xFA"), "\x93\xFA");
}

TEST(TagConversion, RoundTripThroughEachCharset)
{
    const std::string text = "季節の歌 ｶﾀｶﾅ ①Ⅱ 髙 Seasons";
    for (uint32 charset : {B_SJIS_CONVERSION, B_JIS_CONVERSION, B_UNICODE_CONVERSION})
        EXPECT_EQ(from_tag(charset, to_tag(charset, text)), text) << charset;
}

TEST(TagConversion, LongValuesAreCutBetweenCharacters)
{
    // あ is three bytes of UTF-8 and two of Shift-JIS; 2047 bytes of room.
    const std::string long_text = repeat("あ", 1500);
    std::string utf8 = to_tag(B_UNICODE_CONVERSION, long_text);
    EXPECT_EQ(utf8, repeat("あ", 682));
    EXPECT_EQ(to_tag(kCharsetAutoDetect, "a" + long_text), "a" + repeat("あ", 682));
    EXPECT_EQ(to_tag(B_SJIS_CONVERSION, long_text), repeat("\x82\xA0", 1023));
    std::string jis = to_tag(B_JIS_CONVERSION, long_text);
    EXPECT_EQ(jis, "\x1B$B" + repeat("$\"", 1020) + "\x1B(B");
    // Shift-JIS read into UTF-8 does not fit either.
    EXPECT_EQ(from_tag(B_SJIS_CONVERSION, repeat("\x82\xA0", 1023)), repeat("あ", 682));
    EXPECT_EQ(from_tag(kCharsetAutoDetect, jis), repeat("あ", 682));
}

TEST(TagConversion, AUtf8ValueCutByTheBufferStaysUtf8)
{
    // A text that fills the buffer and ends inside a character is a cut
    // UTF-8 value, not a Shift-JIS one.
    std::string cut = repeat("あ", 682) + "\xE3";
    ASSERT_EQ(cut.size(), 2047u);
    EXPECT_EQ(from_tag(kCharsetAutoDetect, cut), repeat("あ", 682));
    EXPECT_EQ(from_tag(B_UNICODE_CONVERSION, cut), repeat("あ", 682));
    // Shorter, it is not valid UTF-8 and reads as Shift-JIS.
    EXPECT_EQ(from_tag(kCharsetAutoDetect, "\x93\xFA\xE3"), "日");
    // A buffer without a terminator is read only up to its size.
    EXPECT_EQ(from_tag(kCharsetAutoDetect, repeat("a", 16), 16), repeat("a", 15));
}

// A cut at any byte of a four-byte character, writing and reading: the
// character goes whole or not at all.
TEST(TagConversion, ACutInsideAFourByteCharacterDropsIt)
{
    const std::string note = "\xF0\x9F\x8E\xB5";   // U+1F3B5, four bytes of UTF-8
    for (size_t pad = 0; pad < 4; ++pad) {
        const std::string head(pad, 'a');
        const size_t whole = (kTagValueBytes - 1 - pad) / 4;
        const std::string kept = head + repeat(note, int(whole));
        EXPECT_EQ(to_tag(B_UNICODE_CONVERSION, head + repeat(note, 600)), kept) << pad;
        // The same value as a tag holds it when another tool cut it there.
        const std::string cut = (head + repeat(note, 600)).substr(0, kTagValueBytes - 1);
        EXPECT_EQ(from_tag(kCharsetAutoDetect, cut), kept) << pad;
    }
}

TEST(TagUsage, LinesInOrderAndTheExample)
{
    testing::internal::CaptureStdout();
    exp_usage();
    std::string text = testing::internal::GetCapturedStdout();
    const char* expected[] = {
        "@Tag_Overview Lumbrel@\n\n=== Usage ===\n@Tag_Cmd_Format@\n\nOption (Case insensitive):\n",
        "  @Usage_Title -Title -T@\n  @Usage_Artist -Artist -A@\n  @Usage_Album -Album -L@\n",
        "  @Usage_Comment -Comment -C@\n  @Usage_Year -Year -Y@\n  @Usage_Genre -Genre -G@\n",
        "  @Usage_Track -Track -R@\n  @Usage_Char_Set -Charset -CS@\n",
        "    @Usage_Char_Set_Detail JIS J SHIFT-JIS S UTF-8 U@\n  @Usage_Remove_All -Removeall@\n",
        "  @Usage_Help -Help -?@\n  @Usage_Verbose -Verbose -V@\n",
        "\nExample:\n  Lumbrel MyApe.ape -Title=Seasons -Artist=\"Ridi Vuz\" -Charset=UTF-8\n\n",
    };
    std::string whole;
    for (const char* piece : expected)
        whole += piece;
    EXPECT_EQ(text, whole);
}

TEST(TagConversion, AnyBytesStayInsideTheBuffer)
{
    // Random tag bytes and values into small and full-size buffers; the
    // sanitizer build checks that nothing is read or written outside them.
    unsigned seed = 11;
    auto next = [&seed] { return (seed = seed * 1103515245 + 12345) >> 16; };
    for (int round = 0; round < 400; round++) {
        int size = round % 4 == 0 ? kTagValueBytes : 1 + (int)(next() % 24);
        std::string bytes;
        for (int i = 0, length = (int)(next() % (size + 8)); i < length; i++)
            bytes += (char)(next() % 3 ? "\x1B$B(I\x82\xA0\xE3\x81\x82"[next() % 11] : next());
        for (uint32 charset : {(uint32)B_SJIS_CONVERSION, (uint32)B_JIS_CONVERSION,
                               (uint32)B_UNICODE_CONVERSION, kCharsetAutoDetect}) {
            std::vector<char> buffer(bytes.begin(), bytes.end());
            buffer.resize(size);
            convert_to_utf8(with_charset(charset), buffer.data(), size);
            EXPECT_LT(strnlen(buffer.data(), size), (size_t)size);
            std::vector<char> out(size);
            convert_from_utf8(with_charset(charset), BString(bytes.c_str()), out.data(), size);
            EXPECT_LT(strnlen(out.data(), size), (size_t)size);
        }
    }
}
