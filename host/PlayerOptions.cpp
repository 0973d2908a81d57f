#include "PlayerOptions.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace {

std::string upper(std::string text)
{
    for (char& c : text)
        c = char(toupper(static_cast<unsigned char>(c)));
    return text;
}

bool whole_number(const std::string& text, int64 low, int64* value)
{
    if (text.empty() || !(isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-'))
        return false;
    errno = 0;
    char* end = nullptr;
    long long n = strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || n < low)
        return false;
    *value = n;
    return true;
}

// "A<separator>B" as two whole numbers of at least low.
bool number_pair(const std::string& text, char separator, int64 low, int64* a, int64* b)
{
    const size_t at = text.find(separator);
    return at != std::string::npos && whole_number(text.substr(0, at), 0, a)
        && whole_number(text.substr(at + 1), low, b);
}

}  // namespace

int parse_player_options(int argc, char** argv, TPlayerOptions* options, std::string* bad)
{
    TPlayerOptions::Mode mode = TPlayerOptions::kWindow;
    bool languageGiven = false;
    auto set_mode = [&mode](TPlayerOptions::Mode wanted) {
        if (mode != TPlayerOptions::kWindow && mode != wanted)
            return false;
        mode = wanted;
        return true;
    };
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg.empty() || arg[0] != '-') {
            options->files.push_back(arg);
            continue;
        }
        const size_t split = arg.find_first_of("=:");
        const std::string name = upper(arg.substr(0, split));
        const bool hasValue = split != std::string::npos;
        const std::string value = hasValue ? arg.substr(split + 1) : "";
        bool ok = true;
        if (name == "-HELP" || name == "--HELP" || name == "-?") {
            options->mode = TPlayerOptions::kHelp;
            return 0;
        } else if (name == "-INFO" && !hasValue) {
            ok = set_mode(TPlayerOptions::kInfo);
        } else if (name == "-PLAY" && !hasValue) {
            ok = set_mode(TPlayerOptions::kPlay);
        } else if (name == "-ABOUT" && !hasValue) {
            ok = set_mode(TPlayerOptions::kAbout);
            options->aboutRequests++;
        } else if (name == "-DECODE" && !value.empty()) {
            ok = set_mode(TPlayerOptions::kDecode);
            options->output = value;
        } else if (name == "-OUTPUT" && !value.empty()) {
            options->output = value;
        } else if (name == "-ADDONS" && !value.empty()) {
            options->addOnFolder = value;
        } else if (name == "-LANGUAGE" && !value.empty()) {
            options->language = value;
            languageGiven = true;
        } else if (name == "-SECONDS") {
            char* end = nullptr;
            options->seconds = strtod(value.c_str(), &end);
            ok = !value.empty() && *end == '\0' && options->seconds >= 0;
        } else if (name == "-SEEK" && hasValue) {
            // FRAME or FRAME+COUNT, separated by commas.
            size_t start = 0;
            while (ok && start <= value.size()) {
                size_t end = value.find(',', start);
                if (end == std::string::npos)
                    end = value.size();
                const std::string part = value.substr(start, end - start);
                int64 frame, count = -1;
                ok = part.find('+') != std::string::npos ? number_pair(part, '+', 0, &frame, &count)
                                                          : whole_number(part, 0, &frame);
                options->seeks.emplace_back(frame, count);
                start = end + 1;
            }
        } else if (name == "-PAUSEAT" || name == "-SEEKAT") {
            int64 frame, argument;
            ok = number_pair(value, ':', 0, &frame, &argument);
            options->actions[frame] = TPlayback::Action{
                name == "-PAUSEAT" ? TPlayback::Action::kPause : TPlayback::Action::kJump, argument};
        } else {
            ok = false;
        }
        if (!ok) {
            *bad = arg;
            return -1;
        }
    }
    if (mode == TPlayerOptions::kWindow && languageGiven && options->files.empty())
        mode = TPlayerOptions::kLanguage;
    options->mode = mode;
    return 0;
}
