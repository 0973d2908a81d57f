#include <String.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <sstream>

namespace {

TEST(BString, ReplaceAllReplacesEveryOccurrenceWithoutRescanning)
{
    BString text("%A% and %A%");
    text.ReplaceAll("%A%", "x");
    EXPECT_EQ(text, "x and x");

    BString growing("aa");
    growing.ReplaceAll("a", "aa");
    EXPECT_EQ(growing, "aaaa");

    BString self("%V%");
    self.ReplaceAll("%V%", "%V%%V%");
    EXPECT_EQ(self, "%V%%V%");

    BString untouched("abc");
    untouched.ReplaceAll("", "x").ReplaceAll("zz", "y");
    EXPECT_EQ(untouched, "abc");

    BString removed("a-b-c");
    removed.ReplaceAll("-", nullptr);
    EXPECT_EQ(removed, "abc");
}

TEST(BString, StreamOperatorsWriteDecimalIntegers)
{
    BString text;
    text << int32(-5) << ' ' << uint32(UINT32_MAX) << ' ' << int64(INT64_MIN) << ' ' << uint64(UINT64_MAX);
    EXPECT_EQ(text, "-5 4294967295 -9223372036854775808 18446744073709551615");
    BString mixed("n=");
    mixed << 0 << "/" << BString("x");
    EXPECT_EQ(mixed, "n=0/x");
}

TEST(BString, FindAndCopyStayInsideTheText)
{
    const BString text("a/b.c/d.e");
    EXPECT_EQ(text.FindLast('/'), 5);
    EXPECT_EQ(text.FindLast('.'), 7);
    EXPECT_EQ(text.FindFirst("b."), 2);
    EXPECT_EQ(text.FindFirst('z'), -1);
    EXPECT_EQ(text.FindFirst('a', 100), -1);
    EXPECT_EQ(text.FindFirst("a", -1), -1);

    BString part;
    text.CopyInto(part, 6, 100);
    EXPECT_EQ(part, "d.e");
    text.CopyInto(part, -2, 3);
    EXPECT_EQ(part, "a");
    text.CopyInto(part, 50, 3);
    EXPECT_EQ(part, "");
    EXPECT_EQ(text.ByteAt(-1), 0);
    EXPECT_EQ(text.ByteAt(9), 0);
    EXPECT_EQ(text[0], 'a');
}

TEST(BString, CaseChangesOnlyAsciiLetters)
{
    BString text("aZ-é?");
    EXPECT_EQ(BString(text).ToUpper(), "AZ-é?");
    EXPECT_EQ(BString(text).ToLower(), "az-é?");
    EXPECT_EQ(BString("ABC").ICompare("abc"), 0);
    EXPECT_EQ(BString("xHeLLo").IFindFirst("hello"), 1);
}

TEST(BString, NullTextsAreEmpty)
{
    const char* none = nullptr;
    BString text(none);
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_STREQ(text.String(), "");
    text += none;
    text.Append(none, 3).Prepend(none);
    EXPECT_EQ(text.Length(), 0);
    EXPECT_EQ(BString("abc", 2), "ab");
    EXPECT_EQ(BString("abc", -1), "");
}

TEST(BString, EditingOperations)
{
    BString text("hello world");
    text.Truncate(5);
    EXPECT_EQ(text, "hello");
    text.Truncate(99).Insert("[", 0).Append("]");
    EXPECT_EQ(text, "[hello]");
    text.Remove(1, 4);
    EXPECT_EQ(text, "[o]");
    text.Remove(2, 100).Remove(-5, 1);
    EXPECT_EQ(text, "[o");
    text.ReplaceFirst("[", "<<");
    EXPECT_EQ(text, "<<o");
    EXPECT_EQ(BString("a") + "b" + BString("c"), "abc");
    EXPECT_LT(BString("a"), BString("b"));
}

TEST(BString, WritesItsBytesToStreams)
{
    std::ostringstream out;
    BString text("a");
    text += '\0';
    text += "b";
    out << text;
    EXPECT_EQ(out.str(), std::string("a\0b", 3));
}

} // namespace
