// ApePlayer: plays APE files (and whatever else its add-ons take) through
// the desktop's sound output, loading its decoders as add-ons from the
// user install's add-on folder and from the folder add-ons/ beside itself.
#include <FindDirectory.h>
#include <Installation.h>
#include <Locale.h>
#include <Path.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "AddOnLoader.h"
#include "PlayerApp.h"
#include "PlayerCommands.h"
#include "PlayerOptions.h"
#include "PlayerText.h"

namespace {

// The folder of the running program, with its final "/"; empty when
// unknown.
std::string own_folder()
{
    BPath self;
    if (find_path(B_APP_IMAGE_SYMBOL, B_FIND_PATH_IMAGE_PATH, nullptr, &self) != B_OK)
        return "";
    const std::string text(self.Path());
    return text.substr(0, text.rfind('/') + 1);
}

bool same_folder(const std::string& a, const std::string& b)
{
    struct stat first, second;
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
        first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void print_usage()
{
    static const char* const kLines[] = {
        "@Usage_Title@",
        "@Usage_Window@",
        "@Usage_Play@",
        "@Usage_Play_Options@",
        "@Usage_Info@",
        "@Usage_Decode@",
        "@Usage_About@",
        "@Usage_Language@",
        "@Usage_AddOns@",
    };
    for (const char* line : kLines)
        printf("%s\n", player_text(line).String());
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string folder = own_folder();
    if (!folder.empty())
        be_locale->LoadLanguageFile((folder + "Language/Dictionaries/ApePlayer").c_str());

    TPlayerOptions options;
    std::string bad;
    if (parse_player_options(argc, argv, &options, &bad) != 0) {
        print_error(player_text("@Err_Bad_Option %Option%@", {{"%Option%", bad}}));
        return 1;
    }
    if (!options.language.empty() && options.mode != TPlayerOptions::kLanguage)
        be_locale->SetLanguage(options.language.c_str());
    switch (options.mode) {
        case TPlayerOptions::kHelp:
            print_usage();
            return 0;
        case TPlayerOptions::kLanguage:
            return switch_running_player_language(options.language);
        default:
            break;
    }
    if ((options.mode == TPlayerOptions::kInfo || options.mode == TPlayerOptions::kDecode
            || options.mode == TPlayerOptions::kPlay)
        && options.files.empty()) {
        print_usage();
        return 1;
    }

    // A user's own add-ons first, then the ones beside the player.
    const std::string addOnFolder = options.addOnFolder.empty() ? folder + "add-ons" : options.addOnFolder;
    std::vector<std::string> addOnFolders {addOnFolder};
    if (options.addOnFolder.empty()) {
        const BString user = user_addon_folder();
        if (!user.IsEmpty() && !same_folder(user.String(), addOnFolder))
            addOnFolders.insert(addOnFolders.begin(), user.String());
    }
    TAddOnFolder addOns(addOnFolders);
    for (const std::string& failure : addOns.Failures())
        print_error(player_text("@Err_AddOn %Reason%@", {{"%Reason%", failure}}));
    if (addOns.AddOns().empty()) {
        print_error(player_text("@Err_No_AddOns %Folder%@", {{"%Folder%", addOnFolder}}));
        return 1;
    }

    switch (options.mode) {
        case TPlayerOptions::kInfo:
            return print_file_info(addOns, options);
        case TPlayerOptions::kDecode:
            return decode_to_wave(addOns, options);
        case TPlayerOptions::kPlay:
            return play_without_window(addOns, options);
        default:
            break;
    }
    TPlayerApp* app = new TPlayerApp(addOns, options);
    if (app->InitCheck() != B_OK) {
        print_error(player_text("@Err_App@"));
        delete app;
        return 1;
    }
    app->Run();
    const int status = app->Status();
    delete app;
    return status;
}
