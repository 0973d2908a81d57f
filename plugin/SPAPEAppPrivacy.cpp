#include "SPAPEAppPrivacy.h"

#include <AppIdentity.h>
#include <FindDirectory.h>
#include <IAPs.h>
#include <Locale.h>
#include <OS.h>
#include <Path.h>
#include <StringUtils.h>
#include <UsingLibMonkeysAudio.h>

TSPAPEAppPrivacy gAppPrivacy;
TInterAppPrefs gIAPs;

int32 init_if_needed()
{
    std::lock_guard<std::mutex> lock(gAppPrivacy.StartupLock());
    if (gAppPrivacy.InitCheck() == 0)
        return 0;
    load_language();
    gIAPs.SetAppSignatureRef(gAppSignature);
    image_id* image = gAppPrivacy.CodecImage();
    if (load_lib_monkeys_audio(image) != 0)
        return -1;
    if (get_lib_monkeys_audio_entries(*image) != 0 || check_lib_monkeys_audio_version(1.4f) != 0) {
        unload_lib_monkeys_audio(image);
        return -1;
    }
    gAppPrivacy.SetInitCheck(0);
    return 0;
}

BString file_name_orvane()
{
    // The image this code is in, whatever its file is called and whatever
    // else the player has loaded.
    BPath self;
    if (find_path(B_CURRENT_IMAGE_SYMBOL, B_FIND_PATH_IMAGE_PATH, nullptr, &self) != B_OK)
        return BString();
    return BString(self.Path());
}

void load_language()
{
    gAppPrivacy.BeginLoadingLanguage();
    BString path = extract_file_folder_path_kernel(file_name_orvane(), 1);
    path << "Language/Dictionaries" << "/" << "Orvane";
    be_locale->LoadLanguageFile(path.String());
    gAppPrivacy.EndLoadingLanguage();
}

void wait_for_loading_language()
{
    do {
        snooze(20000);
    } while (gAppPrivacy.IsLoadingLanguage());
}
