#include "PlayerOptions.h"

#include <Options.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace {

enum {
    kOptionInfo = kOptionFirstOwn,
    kOptionPlay,
    kOptionAbout,
    kOptionDecode,
    kOptionOutput,
    kOptionAddOns,
    kOptionLanguage,
    kOptionSeconds,
    kOptionSeek,
    kOptionPauseAt,
    kOptionSeekAt,
};

// The framework's help names; the player has no banner, so not its
// -VERBOSE.
void init_option_map(TOptionMap& map)
{
    map["-INFO"] = kOptionInfo;
    map["-PLAY"] = kOptionPlay;
    map["-ABOUT"] = kOptionAbout;
    map["-DECODE"] = kOptionDecode;
    map["-OUTPUT"] = kOptionOutput;
    map["-ADDONS"] = kOptionAddOns;
    map["-LANGUAGE"] = kOptionLanguage;
    map["-SECONDS"] = kOptionSeconds;
    map["-SEEK"] = kOptionSeek;
    map["-PAUSEAT"] = kOptionPauseAt;
    map["-SEEKAT"] = kOptionSeekAt;
    map["-HELP"] = kOptionHelp;
    map["-?"] = kOptionHelp;
    map["--HELP"] = kOptionHelp;
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
    TOptionMap map;
    init_option_map(map);
    TPlayerOptions::Mode mode = TPlayerOptions::kWindow;
    bool languageGiven = false;
    auto set_mode = [&mode](TPlayerOptions::Mode wanted) {
        if (mode != TPlayerOptions::kWindow && mode != wanted)
            return false;
        mode = wanted;
        return true;
    };
    for (int i = 1; i < argc; i++) {
        const BString arg(argv[i]);
        if (arg.IsEmpty() || arg[0] != '-') {
            options->files.push_back(argv[i]);
            continue;
        }
        const BString name = extract_opt_name(arg);
        // -INFO takes no value; -INFO= is another matter.
        const bool hasValue = name.Length() != arg.Length();
        const std::string value = extract_opt_value(arg).String();
        const int32 id = find_option_id(map, name);
        bool ok = true;
        switch (id) {
            case kOptionHelp:
                options->mode = TPlayerOptions::kHelp;
                return 0;
            case kOptionInfo:
                ok = !hasValue && set_mode(TPlayerOptions::kInfo);
                break;
            case kOptionPlay:
                ok = !hasValue && set_mode(TPlayerOptions::kPlay);
                break;
            case kOptionAbout:
                ok = !hasValue && set_mode(TPlayerOptions::kAbout);
                options->aboutRequests++;
                break;
            case kOptionDecode:
                ok = !value.empty() && set_mode(TPlayerOptions::kDecode);
                options->output = value;
                break;
            case kOptionOutput:
                ok = !value.empty();
                options->output = value;
                break;
            case kOptionAddOns:
                ok = !value.empty();
                options->addOnFolder = value;
                break;
            case kOptionLanguage:
                ok = !value.empty();
                options->language = value;
                languageGiven = true;
                break;
            case kOptionSeconds: {
                char* end = nullptr;
                options->seconds = strtod(value.c_str(), &end);
                ok = !value.empty() && *end == '\0' && options->seconds >= 0;
                break;
            }
            case kOptionSeek: {
                // FRAME or FRAME+COUNT, separated by commas.
                ok = hasValue;
                size_t start = 0;
                while (ok && start <= value.size()) {
                    size_t end = value.find(',', start);
                    if (end == std::string::npos)
                        end = value.size();
                    const std::string part = value.substr(start, end - start);
                    int64 frame = 0, count = -1;
                    ok = part.find('+') != std::string::npos
                        ? number_pair(part, '+', 0, &frame, &count)
                        : whole_number(part, 0, &frame);
                    options->seeks.emplace_back(frame, count);
                    start = end + 1;
                }
                break;
            }
            case kOptionPauseAt:
            case kOptionSeekAt: {
                int64 frame = 0, argument = 0;
                ok = number_pair(value, ':', 0, &frame, &argument);
                options->actions[frame] = TPlayback::Action {
                    id == kOptionPauseAt ? TPlayback::Action::kPause : TPlayback::Action::kJump,
                    argument};
                break;
            }
            default:
                ok = false;
        }
        if (!ok) {
            *bad = argv[i];
            return -1;
        }
    }
    if (mode == TPlayerOptions::kWindow && languageGiven && options->files.empty())
        mode = TPlayerOptions::kLanguage;
    options->mode = mode;
    return 0;
}
