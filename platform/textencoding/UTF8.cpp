// UTF-8 <-> Shift-JIS (CP932) and JIS, on iconv.
//
// Every conversion walks the source one character at a time: a codec turns
// the next character into at most a few output bytes, and the driver only
// commits it when it fits, so the output never ends inside a character.
// Shift-JIS is converted by iconv's CP932 tables; JIS is the 7-bit form of
// the same repertoire, so it is mapped arithmetically onto Shift-JIS and
// then converted by the same tables.
#include "UTF8.h"

#include <iconv.h>

#include <cstring>
#include <map>
#include <string>

namespace {

typedef unsigned char uchar;

// The next character, as a codec sees it.
struct Step {
    int32 consumed = 0; // source bytes it takes
    char out[16];       // its output
    int32 outLen = 0;
    int32 state = 0;    // the shift state after it
};

class Iconv {
public:
    Iconv(const char* to, const char* from) : fCd(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (Ok())
            iconv_close(fCd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool Ok() const { return fCd != (iconv_t)-1; }

    // Converts exactly one character; -1 when it has no equivalent.
    int32 One(const uchar* in, size_t length, char* out, size_t room)
    {
        iconv(fCd, nullptr, nullptr, nullptr, nullptr);
        char* inPtr = (char*)in;
        char* outPtr = out;
        size_t inLeft = length, outLeft = room;
        if (iconv(fCd, &inPtr, &inLeft, &outPtr, &outLeft) == (size_t)-1 || inLeft != 0)
            return -1;
        if (iconv(fCd, nullptr, nullptr, &outPtr, &outLeft) == (size_t)-1)
            return -1;
        return (int32)(outPtr - out);
    }

private:
    iconv_t fCd;
};

// Length of the UTF-8 character at s (n > 0 bytes available): its length,
// 0 when the source ends inside it, -1 when the lead byte is malformed or a
// continuation byte is wrong (overlong forms and surrogates included).
int32 utf8_char(const uchar* s, int32 n)
{
    uchar b = s[0];
    if (b < 0x80)
        return 1;
    int32 length;
    uchar low = 0x80, high = 0xBF; // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF)
        length = 2;
    else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0)
            low = 0xA0;
        else if (b == 0xED)
            high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F;
    } else
        return -1;
    for (int32 i = 1; i < length; i++) {
        if (i >= n)
            return 0;
        uchar c = s[i];
        if (i == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF))
            return -1;
    }
    return length;
}

void put_byte(Step& step, char c)
{
    step.out[step.outLen++] = c;
}

void put_bytes(Step& step, const void* bytes, int32 length)
{
    memcpy(step.out + step.outLen, bytes, length);
    step.outLen += length;
}

bool is_sjis_lead(uchar b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool is_sjis_trail(uchar b)
{
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

bool is_halfwidth_kana(uchar b)
{
    return b >= 0xA1 && b <= 0xDF;
}

// Shift-JIS lead bytes whose characters have a place in 7-bit JIS
// (rows 0x21-0x7E).
bool is_jis_lead(uchar b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF);
}

void jis_to_sjis(uchar j1, uchar j2, uchar* sjis)
{
    uchar s1 = ((j1 - 0x21) >> 1) + 0x81;
    if (s1 > 0x9F)
        s1 += 0x40;
    uchar s2;
    if (j1 & 1)
        s2 = j2 + (j2 <= 0x5F ? 0x1F : 0x20);
    else
        s2 = j2 + 0x7E;
    sjis[0] = s1;
    sjis[1] = s2;
}

void sjis_to_jis(uchar s1, uchar s2, uchar* jis)
{
    int j1 = s1 >= 0xE0 ? s1 - 0x40 : s1;
    int j2 = s2;
    j1 = (j1 - 0x81) * 2 + 0x21;
    if (j2 >= 0x9F) {
        j1 += 1;
        j2 -= 0x7E;
    } else
        j2 -= j2 >= 0x80 ? 0x20 : 0x1F;
    jis[0] = (uchar)j1;
    jis[1] = (uchar)j2;
}

uint16 code_of(const uchar* sjis)
{
    return (uint16)(sjis[0] << 8 | sjis[1]);
}

// CP932 holds most IBM extensions twice: at 0xFA40-0xFC4B, which is what
// iconv produces, and as the NEC-selected copies at 0xED40-0xEEFC, which
// lie inside JIS's 94 rows. JIS uses the copies (and, for a few symbols,
// the standard or NEC row 13 codes), as Windows does.
const std::map<uint16, uint16>& ibm_extension_in_jis()
{
    static const std::map<uint16, uint16> table = [] {
        std::map<uint16, uint16> result;
        Iconv decode("UTF-8", "CP932");
        if (!decode.Ok())
            return result;
        auto text_of = [&decode](uint16 code) {
            uchar sjis[2] = {(uchar)(code >> 8), (uchar)code};
            char utf8[8];
            int32 length = decode.One(sjis, 2, utf8, sizeof utf8);
            return length > 0 ? std::string(utf8, length) : std::string();
        };
        std::map<std::string, uint16> jisCode;
        for (int lead : {0x81, 0x82, 0x83, 0x84, 0x87, 0xED, 0xEE})
            for (int trail = 0x40; trail <= 0xFC; trail++) {
                std::string text = text_of((uint16)(lead << 8 | trail));
                if (trail != 0x7F && !text.empty())
                    jisCode.emplace(text, (uint16)(lead << 8 | trail));
            }
        for (int lead = 0xFA; lead <= 0xFC; lead++)
            for (int trail = 0x40; trail <= 0xFC; trail++) {
                uint16 code = (uint16)(lead << 8 | trail);
                auto found = jisCode.find(text_of(code));
                if (trail != 0x7F && found != jisCode.end())
                    result.emplace(code, found->second);
            }
        return result;
    }();
    return table;
}

// UTF-8 to UTF-8: malformed bytes become the substitute.
struct Utf8Check {
    char substitute;

    bool Next(const uchar* s, int32 n, int32 state, Step& step)
    {
        int32 length = utf8_char(s, n);
        if (length == 0)
            return false;
        if (length < 0) {
            put_byte(step, substitute);
            step.consumed = 1;
        } else {
            put_bytes(step, s, length);
            step.consumed = length;
        }
        return true;
    }
    int32 Closing(int32 state, char* out) { return 0; }
    bool Ok() const { return true; }
};

// A codec that hands single characters to iconv.
struct IconvCodec {
    char substitute;
    Iconv iconv;

    IconvCodec(char substitute, const char* to, const char* from)
        : substitute(substitute), iconv(to, from)
    {
    }
    bool Ok() const { return iconv.Ok(); }
    int32 Closing(int32 state, char* out) { return 0; }

    // Puts the converted character, or the substitute when it has no
    // equivalent (or length is not positive: a bad byte).
    void PutConverted(Step& step, const uchar* bytes, int32 length)
    {
        int32 written = length > 0 ? iconv.One(bytes, length, step.out + step.outLen,
                                                sizeof step.out - step.outLen)
                                   : -1;
        if (written < 0)
            put_byte(step, substitute);
        else
            step.outLen += written;
    }
};

struct SjisToUtf8 : IconvCodec {
    explicit SjisToUtf8(char substitute) : IconvCodec(substitute, "UTF-8", "CP932") {}

    bool Next(const uchar* s, int32 n, int32 state, Step& step)
    {
        uchar b = s[0];
        int32 length = b < 0x80 || is_halfwidth_kana(b) ? 1 : is_sjis_lead(b) ? 2 : 0;
        if (length == 2) {
            if (n < 2)
                return false;
            if (!is_sjis_trail(s[1]))
                length = 0; // the lead alone is bad; the next byte stands for itself
        }
        step.consumed = length ? length : 1;
        if (b < 0x80)
            put_byte(step, b);
        else
            PutConverted(step, s, length);
        return true;
    }
};

struct Utf8ToSjis : IconvCodec {
    explicit Utf8ToSjis(char substitute) : IconvCodec(substitute, "CP932", "UTF-8") {}

    bool Next(const uchar* s, int32 n, int32 state, Step& step)
    {
        int32 length = utf8_char(s, n);
        if (length == 0)
            return false;
        step.consumed = length > 0 ? length : 1;
        if (length == 1)
            put_byte(step, s[0]);
        else
            PutConverted(step, s, length);
        return true;
    }
};

// JIS shift states.
enum {
    kJisAscii = 0,
    kJisRoman = 1,  // JIS X 0201 Roman: ASCII but for the yen sign and overline
    kJisKana = 2,   // JIS X 0201 half-width katakana
    kJis0208 = 3,   // JIS X 0208 with the CP932 rows
    kJis0212 = 4,   // JIS X 0212: recognised, not converted
};

struct JisEscape {
    const char* bytes;
    int32 state;
};

const JisEscape kJisEscapes[] = {
    {"\x1B(B", kJisAscii}, {"\x1B(J", kJisRoman}, {"\x1B(I", kJisKana},
    {"\x1B$@", kJis0208},  {"\x1B$B", kJis0208},  {"\x1B$(B", kJis0208},
    {"\x1B$(D", kJis0212},
};

// The escape that enters each state the encoder uses.
const char* jis_escape_for(int32 state)
{
    return state == kJisKana ? "\x1B(I" : state == kJis0208 ? "\x1B$B" : "\x1B(B";
}

struct JisToUtf8 : IconvCodec {
    explicit JisToUtf8(char substitute) : IconvCodec(substitute, "UTF-8", "CP932") {}

    bool Next(const uchar* s, int32 n, int32 state, Step& step)
    {
        uchar b = s[0];
        step.state = state;
        step.consumed = 1;
        if (b == 0x1B)
            return Escape(s, n, step);
        if (b == 0x0E || b == 0x0F) { // SO / SI: shift into and out of kana
            step.state = b == 0x0E ? kJisKana : kJisAscii;
            return true;
        }
        if (b >= 0x80) {
            put_byte(step, substitute);
            return true;
        }
        if (b <= 0x20 || b == 0x7F) { // controls and the blank pass in every state
            put_byte(step, b);
            return true;
        }
        uchar sjis[2];
        int32 length = 0;
        switch (state) {
        case kJisKana:
            if (b <= 0x5F) {
                sjis[0] = b + 0x80;
                length = 1;
            }
            break;
        case kJis0208:
        case kJis0212:
            if (n < 2)
                return false;
            if (s[1] < 0x21 || s[1] > 0x7E)
                break;
            step.consumed = 2;
            if (state == kJis0208) {
                jis_to_sjis(b, s[1], sjis);
                length = 2;
            }
            break;
        case kJisRoman:
            if (b == 0x5C || b == 0x7E) {
                put_bytes(step, b == 0x5C ? "\xC2\xA5" : "\xE2\x80\xBE", b == 0x5C ? 2 : 3);
                return true;
            }
            [[fallthrough]];
        default:
            put_byte(step, b);
            return true;
        }
        PutConverted(step, sjis, length);
        return true;
    }

    bool Escape(const uchar* s, int32 n, Step& step)
    {
        for (const JisEscape& escape : kJisEscapes) {
            int32 length = (int32)strlen(escape.bytes);
            if (memcmp(s, escape.bytes, length < n ? length : n) != 0)
                continue;
            if (n < length)
                return false; // the escape goes on in the next piece
            step.consumed = length;
            step.state = escape.state;
            return true;
        }
        put_byte(step, substitute);
        return true;
    }
};

struct Utf8ToJis : IconvCodec {
    explicit Utf8ToJis(char substitute) : IconvCodec(substitute, "CP932", "UTF-8") {}

    bool Next(const uchar* s, int32 n, int32 state, Step& step)
    {
        int32 length = utf8_char(s, n);
        if (length == 0)
            return false;
        step.consumed = length > 0 ? length : 1;
        uchar sjis[8];
        int32 sjisLength = length < 0 ? -1
                           : s[0] < 0x80 ? (sjis[0] = s[0], 1)
                                         : iconv.One(s, length, (char*)sjis, sizeof sjis);
        if (sjisLength == 2 && sjis[0] >= 0xFA) {
            const auto& table = ibm_extension_in_jis();
            auto found = table.find(code_of(sjis));
            if (found != table.end()) {
                sjis[0] = (uchar)(found->second >> 8);
                sjis[1] = (uchar)found->second;
            }
        }
        if (sjisLength == 1 && sjis[0] < 0x80)
            Put(state, kJisAscii, sjis, 1, step);
        else if (sjisLength == 1 && is_halfwidth_kana(sjis[0])) {
            uchar kana = sjis[0] - 0x80;
            Put(state, kJisKana, &kana, 1, step);
        } else if (sjisLength == 2 && is_jis_lead(sjis[0])) {
            uchar jis[2];
            sjis_to_jis(sjis[0], sjis[1], jis);
            Put(state, kJis0208, jis, 2, step);
        } else
            Put(state, kJisAscii, &substitute, 1, step);
        return true;
    }

    void Put(int32 state, int32 wanted, const void* bytes, int32 length, Step& step)
    {
        if (state != wanted)
            put_bytes(step, jis_escape_for(wanted), 3);
        put_bytes(step, bytes, length);
        step.state = wanted;
    }

    // Each piece of output is a whole JIS text: it ends back in ASCII.
    int32 Closing(int32 state, char* out)
    {
        if (state == kJisAscii)
            return 0;
        memcpy(out, jis_escape_for(kJisAscii), 3);
        return 3;
    }
};

template <class Codec>
status_t drive(Codec& codec, const char* src, int32* srcLen, char* dst, int32* dstLen,
               int32* state)
{
    if (!src || !srcLen || !dst || !dstLen || !state || *srcLen < 0 || *dstLen < 0)
        return B_BAD_VALUE;
    const uchar* source = (const uchar*)src;
    int32 sourceLength = *srcLen, room = *dstLen;
    int32 read = 0, written = 0, current = *state;
    char closing[8];
    while (read < sourceLength) {
        Step step;
        step.state = current;
        if (!codec.Next(source + read, sourceLength - read, current, step))
            break;
        if (written + step.outLen + codec.Closing(step.state, closing) > room)
            break;
        memcpy(dst + written, step.out, step.outLen);
        written += step.outLen;
        read += step.consumed;
        current = step.state;
    }
    int32 closingLength = codec.Closing(current, closing);
    if (closingLength && written + closingLength <= room) {
        memcpy(dst + written, closing, closingLength);
        written += closingLength;
        current = 0;
    }
    *srcLen = read;
    *dstLen = written;
    *state = current;
    return B_OK;
}

template <class Codec>
status_t run(char substitute, const char* src, int32* srcLen, char* dst, int32* dstLen,
             int32* state)
{
    Codec codec{substitute};
    if (!codec.Ok())
        return B_ERROR;
    return drive(codec, src, srcLen, dst, dstLen, state);
}

} // namespace

status_t convert_to_utf8(uint32 srcEncoding, const char* src, int32* srcLen, char* dst,
                         int32* dstLen, int32* state, char substitute)
{
    switch (srcEncoding) {
    case B_SJIS_CONVERSION:
        return run<SjisToUtf8>(substitute, src, srcLen, dst, dstLen, state);
    case B_JIS_CONVERSION:
        return run<JisToUtf8>(substitute, src, srcLen, dst, dstLen, state);
    case B_UNICODE_CONVERSION:
        return run<Utf8Check>(substitute, src, srcLen, dst, dstLen, state);
    }
    return B_ERROR;
}

status_t convert_from_utf8(uint32 dstEncoding, const char* src, int32* srcLen, char* dst,
                           int32* dstLen, int32* state, char substitute)
{
    switch (dstEncoding) {
    case B_SJIS_CONVERSION:
        return run<Utf8ToSjis>(substitute, src, srcLen, dst, dstLen, state);
    case B_JIS_CONVERSION:
        return run<Utf8ToJis>(substitute, src, srcLen, dst, dstLen, state);
    case B_UNICODE_CONVERSION:
        return run<Utf8Check>(substitute, src, srcLen, dst, dstLen, state);
    }
    return B_ERROR;
}
