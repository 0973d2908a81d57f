#include "String.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ostream>

namespace {

// Clamps a BeOS-style (from, length) pair onto a string of size n.
void clamp_range(size_t n, int32& from, int32& length)
{
    if (from < 0) {
        length += from;
        from = 0;
    }
    if (static_cast<size_t>(from) > n)
        from = static_cast<int32>(n);
    if (length < 0) {
        length = 0;
        return;
    }
    length = static_cast<int32>(std::min<size_t>(static_cast<size_t>(length), n - from));
}

char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int32 position(size_t pos) { return pos == std::string::npos ? -1 : static_cast<int32>(pos); }

} // namespace

BString::BString(const char* text)
{
    SetTo(text);
}

BString::BString(const char* text, int32 maxLength)
{
    SetTo(text, maxLength);
}

BString& BString::SetTo(const char* text)
{
    if (text)
        fData.assign(text);
    else
        fData.clear();
    return *this;
}

BString& BString::SetTo(const char* text, int32 maxLength)
{
    fData.clear();
    if (text && maxLength > 0)
        fData.assign(text, strnlen(text, static_cast<size_t>(maxLength)));
    return *this;
}

BString& BString::Adopt(BString& from)
{
    fData = std::move(from.fData);
    from.fData.clear();
    return *this;
}

BString& BString::operator+=(const char* text)
{
    if (text)
        fData += text;
    return *this;
}

BString& BString::Append(const char* text, int32 length)
{
    if (text && length > 0)
        fData.append(text, strnlen(text, static_cast<size_t>(length)));
    return *this;
}

BString& BString::Append(char c, int32 count)
{
    if (count > 0)
        fData.append(static_cast<size_t>(count), c);
    return *this;
}

BString& BString::Prepend(const char* text)
{
    if (text)
        fData.insert(0, text);
    return *this;
}

BString& BString::Insert(const char* text, int32 position)
{
    if (text && position >= 0 && static_cast<size_t>(position) <= fData.size())
        fData.insert(static_cast<size_t>(position), text);
    return *this;
}

BString& BString::Truncate(int32 newLength)
{
    if (newLength < 0)
        newLength = 0;
    if (static_cast<size_t>(newLength) < fData.size())
        fData.resize(static_cast<size_t>(newLength));
    return *this;
}

BString& BString::Remove(int32 from, int32 length)
{
    clamp_range(fData.size(), from, length);
    fData.erase(static_cast<size_t>(from), static_cast<size_t>(length));
    return *this;
}

BString& BString::CopyInto(BString& into, int32 from, int32 length) const
{
    clamp_range(fData.size(), from, length);
    into.fData = fData.substr(static_cast<size_t>(from), static_cast<size_t>(length));
    return into;
}

BString& BString::ReplaceAll(const char* pattern, const char* with)
{
    if (!pattern || !*pattern)
        return *this;
    const std::string_view from(pattern);
    const std::string_view to(with ? with : "");
    std::string result;
    size_t start = 0;
    for (size_t pos; (pos = fData.find(from, start)) != std::string::npos; start = pos + from.size()) {
        result.append(fData, start, pos - start);
        result.append(to);
    }
    if (start == 0)
        return *this;
    result.append(fData, start, std::string::npos);
    fData.swap(result);
    return *this;
}

BString& BString::ReplaceFirst(const char* pattern, const char* with)
{
    if (!pattern || !*pattern)
        return *this;
    const size_t pos = fData.find(pattern);
    if (pos != std::string::npos)
        fData.replace(pos, strlen(pattern), with ? with : "");
    return *this;
}

BString& BString::ReplaceAll(char pattern, char with)
{
    std::replace(fData.begin(), fData.end(), pattern, with);
    return *this;
}

int32 BString::FindFirst(const char* text, int32 fromOffset) const
{
    if (!text || fromOffset < 0)
        return -1;
    return position(fData.find(text, static_cast<size_t>(fromOffset)));
}

int32 BString::FindFirst(char c, int32 fromOffset) const
{
    if (fromOffset < 0)
        return -1;
    return position(fData.find(c, static_cast<size_t>(fromOffset)));
}

int32 BString::FindLast(const char* text) const
{
    return text ? position(fData.rfind(text)) : -1;
}

int32 BString::FindLast(char c) const
{
    return position(fData.rfind(c));
}

int32 BString::IFindFirst(const char* text, int32 fromOffset) const
{
    if (!text)
        return -1;
    BString self(*this);
    BString pattern(text);
    return self.ToLower().FindFirst(pattern.ToLower().String(), fromOffset);
}

int BString::Compare(const char* text) const
{
    return fData.compare(text ? text : "");
}

int BString::ICompare(const char* text) const
{
    BString a(*this);
    BString b(text);
    return a.ToLower().Compare(b.ToLower().String());
}

BString& BString::ToUpper()
{
    std::transform(fData.begin(), fData.end(), fData.begin(), ascii_upper);
    return *this;
}

BString& BString::ToLower()
{
    std::transform(fData.begin(), fData.end(), fData.begin(), ascii_lower);
    return *this;
}

char BString::ByteAt(int32 index) const
{
    if (index < 0 || static_cast<size_t>(index) >= fData.size())
        return 0;
    return fData[static_cast<size_t>(index)];
}

BString& BString::operator<<(int value) { fData += std::to_string(value); return *this; }
BString& BString::operator<<(unsigned int value) { fData += std::to_string(value); return *this; }
BString& BString::operator<<(long value) { fData += std::to_string(value); return *this; }
BString& BString::operator<<(unsigned long value) { fData += std::to_string(value); return *this; }
BString& BString::operator<<(long long value) { fData += std::to_string(value); return *this; }
BString& BString::operator<<(unsigned long long value) { fData += std::to_string(value); return *this; }

BString& BString::operator<<(float value)
{
    return *this << static_cast<double>(value);
}

BString& BString::operator<<(double value)
{
    // Fixed two decimals, as the BeOS operator prints; snprintf would follow
    // the C locale's decimal point, which is "." unless a program changes it.
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%.2f", value);
    fData += buffer;
    return *this;
}

BString operator+(const BString& a, const BString& b)
{
    BString result(a);
    return result += b;
}

BString operator+(const BString& a, const char* b)
{
    BString result(a);
    return result += b;
}

BString operator+(const char* a, const BString& b)
{
    BString result(a);
    return result += b;
}

std::ostream& operator<<(std::ostream& out, const BString& text)
{
    return out.write(text.String(), text.Length());
}
