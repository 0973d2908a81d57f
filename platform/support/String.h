// Support kit: BString, the one string type of the suite.
//
// A byte string (UTF-8 in practice) with value semantics. Lengths and
// offsets are in bytes, as on BeOS; positions that do not exist are -1.
#pragma once

#include <SupportDefs.h>

#include <compare>
#include <iosfwd>
#include <string>
#include <string_view>

class BString {
public:
    BString() = default;
    BString(const char* text);
    BString(const char* text, int32 maxLength);
    BString(std::string_view text) : fData(text) {}
    BString(const std::string& text) : fData(text) {}
    BString(std::string&& text) : fData(std::move(text)) {}

    // Never null; valid until the string is next changed.
    const char* String() const { return fData.c_str(); }
    int32 Length() const { return static_cast<int32>(fData.size()); }
    bool IsEmpty() const { return fData.empty(); }
    const std::string& Std() const { return fData; }
    operator std::string_view() const { return fData; }

    BString& SetTo(const char* text);
    BString& SetTo(const char* text, int32 maxLength);
    BString& Adopt(BString& from);

    BString& operator=(const char* text) { return SetTo(text); }
    BString& operator+=(const BString& text) { fData += text.fData; return *this; }
    BString& operator+=(const char* text);
    BString& operator+=(char c) { fData += c; return *this; }

    BString& Append(const BString& text) { return *this += text; }
    BString& Append(const char* text) { return *this += text; }
    BString& Append(const char* text, int32 length);
    BString& Append(char c, int32 count);
    BString& Prepend(const char* text);
    BString& Prepend(const BString& text) { return Prepend(text.String()); }
    BString& Insert(const char* text, int32 position);

    // Keeps the first newLength bytes.
    BString& Truncate(int32 newLength);
    BString& Remove(int32 from, int32 length);
    BString& RemoveAll(const char* text) { return ReplaceAll(text, ""); }
    BString& CopyInto(BString& into, int32 from, int32 length) const;

    // Replaces every occurrence, left to right, without rescanning the
    // inserted text; an empty pattern changes nothing.
    BString& ReplaceAll(const char* pattern, const char* with);
    BString& ReplaceFirst(const char* pattern, const char* with);
    BString& ReplaceAll(char pattern, char with);

    int32 FindFirst(const char* text, int32 fromOffset = 0) const;
    int32 FindFirst(char c, int32 fromOffset = 0) const;
    int32 FindLast(const char* text) const;
    int32 FindLast(char c) const;
    int32 IFindFirst(const char* text, int32 fromOffset = 0) const;

    int Compare(const char* text) const;
    int ICompare(const char* text) const;

    // ASCII letters only, as the C library does in the "C" locale.
    BString& ToUpper();
    BString& ToLower();

    char ByteAt(int32 index) const;
    char operator[](int32 index) const { return ByteAt(index); }

    BString& operator<<(const char* text) { return *this += text; }
    BString& operator<<(const BString& text) { return *this += text; }
    BString& operator<<(char c) { return *this += c; }
    BString& operator<<(int value);
    BString& operator<<(unsigned int value);
    BString& operator<<(long value);
    BString& operator<<(unsigned long value);
    BString& operator<<(long long value);
    BString& operator<<(unsigned long long value);
    BString& operator<<(float value);
    BString& operator<<(double value);

    friend bool operator==(const BString& a, const BString& b) { return a.fData == b.fData; }
    friend bool operator==(const BString& a, const char* b) { return a.Compare(b) == 0; }
    friend std::strong_ordering operator<=>(const BString& a, const BString& b)
    {
        return a.fData <=> b.fData;
    }

private:
    std::string fData;
};

BString operator+(const BString& a, const BString& b);
BString operator+(const BString& a, const char* b);
BString operator+(const char* a, const BString& b);

std::ostream& operator<<(std::ostream& out, const BString& text);
