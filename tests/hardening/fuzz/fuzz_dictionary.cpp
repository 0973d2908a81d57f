// The dictionary reader on any bytes: the input is written as a dictionary
// file, loaded, and looked up by keys taken from its own lines.
#include <Locale.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string folder()
{
    static std::string path = [] {
        char name[] = "/tmp/fuzz-dictionary.XXXXXX";
        const char* made = mkdtemp(name);
        return std::string(made ? made : "/tmp");
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string base = folder() + "/Fuzz";
    const int fd = open((base + ".en").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return 0;
    const bool written = write(fd, data, size) == ssize_t(size);
    close(fd);
    if (!written)
        return 0;
    static BLocale locale;
    locale.SetLanguage("en");
    locale.LoadLanguageFile(base.c_str());
    // Every line's text before its TAB as a key, the empty key and the input.
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    for (int lines = 0; start <= text.size() && lines < 64; lines++) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        locale.GetString(line.substr(0, line.find('\t')).c_str());
        start = end + 1;
    }
    locale.GetString("");
    locale.GetString(text.c_str());
    locale.UnloadAll();
    return 0;
}
