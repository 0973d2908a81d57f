// A library that asks where its own file lies, as an add-on does.
#include <FindDirectory.h>

extern "C" __attribute__((visibility("default"))) const char* image_path_probe()
{
    static char path[B_PATH_NAME_LENGTH];
    if (find_path(B_CURRENT_IMAGE_SYMBOL, B_FIND_PATH_IMAGE_PATH, nullptr, path, sizeof path) !=
        B_OK)
        return "";
    return path;
}
