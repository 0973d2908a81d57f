#include "Common.h"
#include "AppIdentity.h"
#include "AppPrivacy.h"

#include <Locale.h>
#include <UsingLibMonkeysAudio.h>
#include <image.h>

#include <exception>
#include <iostream>

namespace {

const char kDictionaryFolder[] = "Language/Dictionaries";
const char kSharedDictionary[] = "Halbrook";

std::ostream* gConsole = &std::cout;

// Library texts may be null from a careless library; print them as empty.
const char* lib_text(LibTextFn* entry)
{
    const char* text = entry ? entry() : nullptr;
    return text ? text : "";
}

void exp_err_lib(const char* key)
{
    exp_err(get_text(key, {{"%FileName%", kLibMonkeysAudioFileName}}));
}


} // namespace

std::ostream& console()
{
    return *gConsole;
}

void print_to_standard_error()
{
    std::cout << std::flush;
    gConsole = &std::cerr;
}

void TOption::Calc()
{
    if (verbose)
        lma_info = true;
    if (help)
        verbose = true;
}

int parse_opt_common(int32 id, const BString& arg, TOption& options)
{
    switch (id) {
    case kOptionHelp:
        options.help = true;
        return 0;
    case kOptionVerbose:
        options.verbose = true;
        return 0;
    default:
        exp_err(get_text("@Err_Unknown_Option %Option%@", {{"%Option%", arg}}));
        return -1;
    }
}

BString get_text(const char* key)
{
    return be_locale->GetString(key);
}

BString get_text(const char* key, std::initializer_list<std::pair<const char*, BString>> replacements)
{
    BString text = get_text(key);
    for (const auto& [placeholder, value] : replacements)
        text.ReplaceAll(placeholder, value.String());
    return text;
}

void exp_err(const BString& message)
{
    console() << get_text("ERROR: ") << message << std::endl;
}

void exp_err_load_lib_monkeys_audio()
{
    exp_err_lib("@Err_Load_Lib_Monkeys_Audio %FileName%@");
}

void exp_err_get_lib_monkeys_audio_entries()
{
    exp_err_lib("@Err_Get_Lib_Monkeys_Audio_Entries %FileName%@");
}

void exp_err_check_lib_monkeys_audio_version()
{
    exp_err_lib("@Err_Check_Lib_Monkeys_Audio_Version %FileName%@");
}

void exp_err_bad_option_value(const BString& arg)
{
    exp_err(get_text("@Err_Bad_Option_Value %Option%@", {{"%Option%", arg}}));
}

void exp_progress(const char* key, int32 done, int64 elapsed)
{
    BString percent;
    percent << done / 1000;
    BString remain;
    if (done > 0) {
        int64 seconds = (elapsed / done) / 10 - elapsed / 1000000;
        // Only a library reporting more than complete can make it negative.
        if (seconds < 0)
            seconds = 0;
        remain << seconds;
    } else {
        // Nothing done yet, so no estimate: "?" rather than a gap.
        remain = "?";
    }
    console() << '\r' << get_text(key, {{"%Done%", percent}, {"%Remain%", remain}}) << ' '
              << std::flush;
}

void exp_app_info(const TOption& options)
{
    if (!options.verbose)
        return;
    BString copyright(gCright);
    copyright.ReplaceAll("%AppAuthor%", get_text(gAppAuthorE).String());
    console() << '\n' << gAppName << "    " << gAppVer << '\n' << copyright << "\n\n" << std::flush;
}

void exp_lma_info(const TOption& options)
{
    if (!options.lma_info)
        return;
    console() << lib_text(lib_monkeys_audio_name) << "    " << lib_text(lib_monkeys_audio_version)
              << '\n'
              << lib_text(lib_monkeys_audio_copyright) << '\n'
              << lib_text(lib_monkeys_audio_components) << '\n';
    // Which of the places the library was taken from.
    image_info library;
    if (get_image_info(gAppPrivacy.lib_image, &library) == B_OK)
        console() << get_text("@Lib_Monkeys_Audio_File %Path%@", {{"%Path%", library.name}})
                  << '\n';
    console() << '\n' << std::flush;
}

void exp_usage_common_opt()
{
    console() << "  "
              << get_text("@Usage_Help %Option1% %Option2%@",
                          {{"%Option1%", capitalize("-HELP")}, {"%Option2%", "-?"}})
              << '\n'
              << "  "
              << get_text("@Usage_Verbose %Option1% %Option2%@",
                          {{"%Option1%", capitalize("-VERBOSE")}, {"%Option2%", "-V"}})
              << '\n';
}

int startup(const TOption& options, float version)
{
    try {
        exp_app_info(options);
        if (load_lib_monkeys_audio(&gAppPrivacy.lib_image) != 0) {
            exp_err_load_lib_monkeys_audio();
            throw -1;
        }
        if (get_lib_monkeys_audio_entries(gAppPrivacy.lib_image) != 0) {
            exp_err_get_lib_monkeys_audio_entries();
            throw -1;
        }
        exp_lma_info(options);
        if (check_lib_monkeys_audio_version(version) != 0) {
            exp_err_check_lib_monkeys_audio_version();
            throw -1;
        }
        if (options.help) {
            exp_usage();
            console() << std::flush;
            throw -1;
        }
    } catch (int) {
        return -1;
    }
    return 0;
}

BString capitalize(const BString& text)
{
    const int32 keep = text.ByteAt(0) == '-' ? 2 : 1;
    BString head;
    BString tail;
    text.CopyInto(head, 0, keep);
    text.CopyInto(tail, keep, text.Length() - keep);
    return head + tail.ToLower();
}

void load_dictionaries(const char* ownDictionary)
{
    const BString folder = gAppPrivacy.ExePath();
    if (folder.IsEmpty())
        return;
    const BString dictionaries = folder + kDictionaryFolder + "/";
    be_locale->LoadLanguageFile((dictionaries + kSharedDictionary).String());
    if (ownDictionary && *ownDictionary)
        be_locale->LoadLanguageFile((dictionaries + ownDictionary).String());
}

int run_main(int argc, char* argv[], const char* ownDictionary, TOption& options,
             const std::function<int()>& parse, const std::function<void()>& work)
{
    gAppPrivacy.AnalyzeExePath(argc > 0 && argv ? argv[0] : nullptr);
    load_dictionaries(ownDictionary);
    int status = 0;
    try {
        if (parse() != 0)
            throw -1;
        if (startup(options, kLibMonkeysAudioMinVersion) != 0)
            throw -1;
        work();
    } catch (int) {
        // The failure has printed its reason already.
        status = 1;
    } catch (const std::exception& e) {
        // Not one of ours (out of memory and the like): say so, never
        // end silently.
        exp_err(e.what());
        status = 1;
    } catch (...) {
        status = 1;
    }
    console() << std::flush;
    unload_lib_monkeys_audio(&gAppPrivacy.lib_image);
    return status;
}
