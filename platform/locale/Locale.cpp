#include "Locale.h"

#include <FileIO.h>
#include <Message.h>
#include <UTF8.h>
#include <WindowList.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constinit BLocale gLocale;

// Decodes the escapes of one field; false when the field is malformed.
bool unescape(const std::string& field, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size())
            return false;
        switch (field[i]) {
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case '\\': out += '\\'; break;
        default: return false;
        }
    }
    return true;
}

bool valid_utf8(const std::string& text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char c = *p++;
        if (c == 0)
            return false;
        if (c < 0x80)
            continue;
        int extra;
        uint32 min;
        uint32 cp;
        if ((c & 0xE0) == 0xC0) { extra = 1; min = 0x80; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; min = 0x800; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; min = 0x10000; cp = c & 0x07; }
        else return false;
        if (end - p < extra)
            return false;
        for (int k = 0; k < extra; ++k) {
            if (!is_utf8_continuation(char(p[k])))
                return false;
            cp = (cp << 6) | (p[k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra;
    }
    return true;
}

void parse_line(std::string line, std::map<std::string, std::string>& entries)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty() || line[0] == '#')
        return;
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || !valid_utf8(line))
        return;
    std::string key, text;
    if (!unescape(line.substr(0, tab), key) || !unescape(line.substr(tab + 1), text) || key.empty())
        return;
    entries[key] = text;
}

} // namespace

BLocale* be_locale = &gLocale;

BString BLocale::LanguageFromEnvironment()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv(name);
        if (!value || !*value)
            continue;
        std::string language(value, strcspn(value, "_.@"));
        // Only a plain code may become part of a file name.
        const bool letters = std::all_of(language.begin(), language.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        });
        if (language.empty() || !letters || language == "C" || language == "POSIX")
            return "en";
        std::transform(language.begin(), language.end(), language.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        return BString(language);
    }
    return "en";
}

bool BLocale::ReadDictionary(const std::string& path, std::map<std::string, std::string>& entries)
{
    // Only a regular file, checked on the open descriptor: a FIFO or a
    // device must neither block nor flood the reader.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
        close(fd);
        return false;
    }
    // What the file held when it was opened; a file that grows meanwhile
    // is cut there.
    std::string content(static_cast<size_t>(st.st_size), '\0');
    const ssize_t n = read_fully(fd, content.data(), content.size());
    close(fd);
    if (n < 0)
        return false;
    content.resize(static_cast<size_t>(n));
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0)
        content.erase(0, 3);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        parse_line(content.substr(start, end - start), entries);
        start = end + 1;
    }
    return true;
}

const std::string& BLocale::CurrentLanguage()
{
    if (fLanguage.empty())
        fLanguage = LanguageFromEnvironment().Std();
    return fLanguage;
}

bool BLocale::ReadBase(Dictionary& dictionary)
{
    // English lies beneath the chosen language, so that a text missing
    // from a translation still reads as English, not as its key.
    dictionary.entries.clear();
    const std::string& language = CurrentLanguage();
    const bool english = ReadDictionary(dictionary.base + ".en", dictionary.entries);
    return (language != "en" && ReadDictionary(dictionary.base + "." + language, dictionary.entries))
        || english;
}

status_t BLocale::LoadLanguageFile(const char* base)
{
    if (!base || !*base)
        return B_BAD_VALUE;
    std::lock_guard<std::mutex> lock(fLock);
    Dictionary dictionary;
    dictionary.base = base;
    const bool found = ReadBase(dictionary);
    fDictionaries.erase(std::remove_if(fDictionaries.begin(), fDictionaries.end(),
                                       [&](const Dictionary& d) { return d.base == dictionary.base; }),
                        fDictionaries.end());
    fDictionaries.push_back(std::move(dictionary));
    if (!found)
        return B_ENTRY_NOT_FOUND;
    return B_OK;
}

BString BLocale::GetString(const char* key) const
{
    if (!key)
        return BString();
    std::lock_guard<std::mutex> lock(fLock);
    const std::string wanted(key);
    for (auto it = fDictionaries.rbegin(); it != fDictionaries.rend(); ++it) {
        auto found = it->entries.find(wanted);
        if (found != it->entries.end())
            return BString(found->second);
    }
    return BString(wanted);
}

BString BLocale::Language() const
{
    std::lock_guard<std::mutex> lock(fLock);
    return BString(const_cast<BLocale*>(this)->CurrentLanguage());
}

void BLocale::SetLanguage(const char* language)
{
    std::string chosen = language && *language ? language : "en";
    bool changed;
    {
        std::lock_guard<std::mutex> lock(fLock);
        changed = CurrentLanguage() != chosen;
        fLanguage = chosen;
        for (Dictionary& dictionary : fDictionaries)
            ReadBase(dictionary);
    }
    if (!changed)
        return;
    // Every window hears of it once, after the texts are in place; its
    // views re-read theirs from there.
    BMessage message(kLanguageChanged);
    message.AddString("language", chosen.c_str());
    for (const BMessenger& window : app_private::window_messengers())
        window.SendMessage(&message);
}

void BLocale::UnloadAll()
{
    std::lock_guard<std::mutex> lock(fLock);
    fDictionaries.clear();
}
