#include "MiscTextUtils.h"

#include <UTF8.h>

#include <cctype>
#include <cstring>

namespace {

const char kMiddleDot[] = "\xE3\x83\xBB"; // U+30FB, between a key and its label

char lower(char c)
{
    return (char)tolower((unsigned char)c);
}

} // namespace

// ---------------------------------------------------------------------------
// Labels, colours and text

std::string merge_accelerator_key(const std::string& format, const std::string& key,
                                  const std::string& label)
{
    if (format.empty())
        return label;
    std::string accelerator = format.substr(1);
    std::string::size_type placeholder = accelerator.find('a');
    if (placeholder == std::string::npos)
        accelerator.clear();
    else
        accelerator.replace(placeholder, 1, key);
    if (format[0] == 0x01)
        return accelerator + label;

    std::string::size_type insertAt = std::string::npos;
    for (const char* mark : {"...", "[", "\xEF\xBC\x9A" /* U+FF1A */, ":"}) {
        insertAt = label.find(mark);
        if (insertAt != std::string::npos)
            break;
    }
    if (insertAt == std::string::npos)
        return label + accelerator;
    while (insertAt > 0 && label[insertAt - 1] == ' ')
        insertAt--;
    return label.substr(0, insertAt) + accelerator + label.substr(insertAt);
}

char short_cut_from_label(const char* label)
{
    if (!label || !*label)
        return 0;
    const char* open = strchr(label, '(');
    if (open) {
        const char* close = strchr(open, ')');
        if (close && close == open + 2)
            return lower(open[1]);
    }
    const char* close = strchr(label, ')');
    const char* blank = strchr(label, ' ');
    const char* dot = strstr(label, kMiddleDot);
    if (close == label + 1 || blank == label + 1 || dot == label + 1)
        return lower(label[0]);
    return 0;
}

bool is_same_rgb_color(const rgb_color& a, const rgb_color& b)
{
    return a.red == b.red && a.green == b.green && a.blue == b.blue && a.alpha == b.alpha;
}

int32 detect_cr_type(const char* text)
{
    if (!text)
        return kCrTypeLf;
    int32 crs = 0, lfs = 0;
    for (const char* p = text; *p; p++) {
        crs += *p == '\r';
        lfs += *p == '\n';
    }
    if (crs == lfs && crs != 0)
        return kCrTypeCrLf;
    return crs > lfs ? kCrTypeCr : kCrTypeLf;
}

int32 detect_charset(const char* text)
{
    if (!text)
        return kCharsetUnknown;
    const unsigned char* s = (const unsigned char*)text;
    size_t length = strlen(text), i = 0;
    int32 escapes = 0, invalid = 0;
    while (i < length) {
        unsigned char lead = s[i++];
        if (lead < 0x80) {
            escapes += lead == 0x1B;
            continue;
        }
        if ((lead & 0xC0) != 0xC0)
            invalid++;
        // The 1 bits after the top bit: how many continuation bytes follow.
        int expected = 0;
        for (unsigned char bit = 0x40; bit && (lead & bit); bit >>= 1)
            expected++;
        for (int k = 0; k < expected; k++, i++) {
            if (i >= length || !is_utf8_continuation(char(s[i])))
                invalid++;
        }
    }
    if (escapes)
        return kCharsetJis;
    return invalid ? kCharsetShiftJis : kCharsetUnknown;
}

std::string text_as_utf8(const char* text)
{
    if (!text)
        return std::string();
    const int32 charset = detect_charset(text);
    if (charset == kCharsetUnknown)
        return text;
    // Each Shift-JIS or JIS byte becomes at most three bytes of UTF-8.
    int32 sourceLength = int32(strlen(text)), length = sourceLength * 3 + 4, state = 0;
    std::string converted(size_t(length), '\0');
    if (convert_to_utf8(uint32(charset), text, &sourceLength, converted.data(), &length, &state,
                        B_SUBSTITUTE)
        != B_OK)
        return text;
    converted.resize(size_t(length));
    return converted;
}
