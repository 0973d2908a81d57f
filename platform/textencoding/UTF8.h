// Conversions between UTF-8 and other text encodings, with the BeOS
// contract:
//   - *srcLen in: bytes available; out: bytes consumed.
//   - *dstLen in: room in dst;      out: bytes written (no terminator).
//   - *state carries the shift state of a stateful encoding (JIS) from
//     one call to the next; start a new text with 0.
//   - a character without an equivalent, and every malformed byte, becomes
//     `substitute`.
//   - output stops early, always between two characters, when the next
//     character does not fit; a character cut off at the end of the source
//     is left unconsumed for the next call.
// Both return B_OK, B_BAD_VALUE for null pointers or negative lengths, and
// B_ERROR for an encoding this platform does not convert.
#pragma once

#include <SupportDefs.h>

// Conversion ids, with their BeOS values. Only the three below are
// converted here.
enum {
    B_SJIS_CONVERSION = 11,    // Shift-JIS, the Windows code page 932 repertoire
    B_JIS_CONVERSION = 13,     // JIS (ISO-2022-JP, half-width kana as ESC ( I)
    B_UNICODE_CONVERSION = 15, // UTF-8: checked and copied
};

#define B_SUBSTITUTE 0x1A

// A UTF-8 continuation byte (10xxxxxx): never the first byte of a
// character, so a text may not be cut before it.
inline bool is_utf8_continuation(char byte)
{
    return (static_cast<uint8>(byte) & 0xC0) == 0x80;
}

status_t convert_to_utf8(uint32 srcEncoding, const char* src, int32* srcLen, char* dst,
                         int32* dstLen, int32* state, char substitute = B_SUBSTITUTE);

status_t convert_from_utf8(uint32 dstEncoding, const char* src, int32* srcLen, char* dst,
                           int32* dstLen, int32* state, char substitute = B_SUBSTITUTE);
