// Locale kit: BLocale and the process-wide be_locale.
//
// Dictionary files are UTF-8 text, one entry a line: the key, a TAB, the
// text. Both may use the escapes \t, \n and \\; a line that begins with
// "#" is a comment. Lines that break these rules (no TAB, an empty key, an
// unknown or unfinished escape, a NUL byte, invalid UTF-8) are skipped.
// A CR before the line end and a UTF-8 byte order mark are tolerated.
//
// LoadLanguageFile(base) reads "<base>.<lang>" over "<base>.en": the
// English texts stand in for those a translation lacks. Loaded dictionaries stack: a key found in a later
// one overrides the same key in an earlier one; loading a base again
// refreshes it and puts it on top. The current language is kept here, in
// one place: SetLanguage reloads every base in the new language.
#pragma once

#include <String.h>
#include <SupportDefs.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

class BLocale {
public:
    // Constant-initialised, so that code running before main may use it;
    // the language is read from the environment at first use.
    constexpr BLocale() = default;

    // B_OK when a file was read; B_ENTRY_NOT_FOUND when neither file
    // exists (the base is still remembered for a later language switch).
    status_t LoadLanguageFile(const char* base);

    // The text of the key from the topmost dictionary that holds it, or
    // the key itself.
    BString GetString(const char* key) const;

    // The language code in use, e.g. "en" or "ja".
    BString Language() const;
    // Switches to another language and reloads every loaded base; when
    // the language differs from the one in use, every window of the
    // process then gets kLanguageChanged ("language": the new code).
    void SetLanguage(const char* language);
    static constexpr uint32 kLanguageChanged = 0x5F424C43;   // '_BLC'

    // Forgets every dictionary; the language stays.
    void UnloadAll();

    // The language named by LC_ALL, LC_MESSAGES or LANG (the first that is
    // set and not empty): "ja_JP.UTF-8" gives "ja"; "C", "POSIX" or
    // nothing give "en".
    static BString LanguageFromEnvironment();

    // Dictionaries larger than this are not read.
    static constexpr off_t kMaxFileSize = 16 * 1024 * 1024;

private:
    struct Dictionary {
        std::string base;
        std::map<std::string, std::string> entries;
    };

    static bool ReadDictionary(const std::string& path, std::map<std::string, std::string>& entries);
    bool ReadBase(Dictionary& dictionary);
    const std::string& CurrentLanguage();

    mutable std::mutex fLock;
    std::string fLanguage;
    std::vector<Dictionary> fDictionaries;
};

extern BLocale* be_locale;
