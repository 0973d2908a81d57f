// The toolkit's text helpers, which need no window system: labels and
// their shortcut keys, colours, and guesses about a text's line ends and
// Japanese encoding. They keep no state. Part of toolkit_text, which the
// tag tool links; the window helpers are in MiscWindowUtils.h.
#pragma once

#include <string>

#include <GraphicsDefs.h>
#include <SupportDefs.h>

// Results of detect_charset: the platform's conversion ids.
enum {
    kCharsetUnknown = 0, // plain ASCII or valid UTF-8
    kCharsetShiftJis = 11,
    kCharsetJis = 13,
};

// Results of detect_cr_type.
enum {
    kCrTypeLf = 0,   // LF line ends, or none at all
    kCrTypeCrLf = 1,
    kCrTypeCr = 2,
};

// format: a mode byte (0x01 = the accelerator goes in front of the label)
// and a pattern whose first "a" stands for the key; empty = no accelerator.
std::string merge_accelerator_key(const std::string& format, const std::string& key,
                                  const std::string& label);
// The shortcut letter of a label in the forms merge_accelerator_key makes
// ("Open(O)...", "O) Open", "O Open", "O・Open"), in lower case; 0 if none.
char short_cut_from_label(const char* label);
bool is_same_rgb_color(const rgb_color& a, const rgb_color& b);
int32 detect_cr_type(const char* text);
// kCharsetJis when the text holds an escape byte, kCharsetShiftJis when it
// is not well-formed UTF-8, otherwise kCharsetUnknown.
int32 detect_charset(const char* text);
// A tag's text for display: Shift-JIS or JIS (as the tag tool may store
// it) converted to UTF-8, anything else as it is.
std::string text_as_utf8(const char* text);
