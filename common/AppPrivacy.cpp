#include "AppPrivacy.h"

#include <FindDirectory.h>
#include <Path.h>
#include <StringUtils.h>

TAPEAppPrivacy gAppPrivacy;

void TAppPrivacy::AnalyzeExePath(const char* path)
{
    fExeName = BString();
    fExeFolder = BString();
    BPath image;
    if (find_path(B_APP_IMAGE_SYMBOL, B_FIND_PATH_IMAGE_PATH, nullptr, &image) != B_OK) {
        if (path)
            fExeName = extract_file_name(path);
        return;
    }
    const BString text(image.Path());
    fExeName = extract_file_name(text);
    fExeFolder = extract_file_folder_path_kernel(text, 1);
}
