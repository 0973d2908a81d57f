#include "Installation.h"

#include "UsingLibMonkeysAudio.h"

#include <FindDirectory.h>
#include <Path.h>

#include <algorithm>

// The installation's layout, relative to its prefix (cmake/Suite.cmake).
#ifndef SUITE_INSTALL_APP_DIR
#error "the layout (SUITE_LAYOUT_DEFINITIONS) comes from the build"
#endif

namespace {

const char kPlayerAddOns[] = SUITE_PLAYER "/add-ons";
// The user install's add-on folder, below the user library folder.
const char kUserAddOns[] = "velmor/" SUITE_PLAYER "/add-ons";

// The folder minus "/" + tail, with its final "/"; empty when the folder
// does not end so.
BString strip_tail(const BString& folder, const BString& tail)
{
    const BString suffix = BString("/") + tail;
    const int32 at = folder.Length() - suffix.Length();
    if (at < 0 || folder.FindLast(suffix.String()) != at)
        return BString();
    BString prefix;
    folder.CopyInto(prefix, 0, at + 1);
    return prefix;
}

void add_once(std::vector<BString>& list, const BString& path)
{
    if (!path.IsEmpty() && std::find(list.begin(), list.end(), path) == list.end())
        list.push_back(path);
}

BString user_library_folder()
{
    BPath folder;
    if (find_directory(B_USER_LIB_DIRECTORY, &folder, false) != B_OK)
        return BString();
    return BString(folder.Path()) + "/";
}

} // namespace

BString installation_prefix(const BString& imagePath)
{
    const int32 slash = imagePath.FindLast('/');
    if (imagePath.IsEmpty() || imagePath[0] != '/' || slash < 0)
        return BString();
    BString folder;
    imagePath.CopyInto(folder, 0, slash);
    const BString appDir(SUITE_INSTALL_APP_DIR);
    for (const BString& tail :
         {BString(SUITE_INSTALL_GST_PLUGIN_DIR), appDir + "/" + kPlayerAddOns}) {
        const BString prefix = strip_tail(folder, tail);
        if (!prefix.IsEmpty())
            return prefix;
    }
    // A program: <app dir>/<Name>/<Name>.
    const int32 nameSlash = folder.FindLast('/');
    if (nameSlash <= 0)
        return BString();
    BString programs;
    folder.CopyInto(programs, 0, nameSlash);
    return strip_tail(programs, appDir);
}

BString own_installation_prefix()
{
    BPath self;
    if (find_path(B_CURRENT_IMAGE_SYMBOL, B_FIND_PATH_IMAGE_PATH, nullptr, &self) != B_OK)
        return BString();
    return installation_prefix(self.Path());
}

std::vector<BString> codec_library_candidates()
{
    std::vector<BString> candidates;
    const BString user = user_library_folder();
    if (!user.IsEmpty())
        add_once(candidates, user + kLibMonkeysAudioFileName);
    const BString prefix = own_installation_prefix();
    if (!prefix.IsEmpty())
        add_once(candidates, prefix + SUITE_INSTALL_CODEC_DIR + "/" + kLibMonkeysAudioFileName);
    return candidates;
}

BString user_addon_folder()
{
    const BString user = user_library_folder();
    return user.IsEmpty() ? user : user + kUserAddOns;
}

std::vector<BString> addon_folder_candidates()
{
    std::vector<BString> candidates;
    add_once(candidates, user_addon_folder());
    const BString prefix = own_installation_prefix();
    if (!prefix.IsEmpty())
        add_once(candidates, prefix + SUITE_INSTALL_APP_DIR + "/" + kPlayerAddOns);
    return candidates;
}
