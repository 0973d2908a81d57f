#include "FindDirectory.h"
#include "Path.h"

#include <image.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool home_folder(std::string& home)
{
    const char* env = getenv("HOME");
    if (env && *env) {
        home = env;
        return true;
    }
    const passwd* entry = getpwuid(getuid());
    if (entry && entry->pw_dir && *entry->pw_dir) {
        home = entry->pw_dir;
        return true;
    }
    return false;
}

status_t folder_of(directory_which which, std::string& folder)
{
    if (which == B_USER_SETTINGS_DIRECTORY || which == B_USER_CONFIG_DIRECTORY) {
        const char* config = getenv("XDG_CONFIG_HOME");
        if (config && config[0] == '/') {
            folder = config;
            return B_OK;
        }
    }
    std::string home;
    if (!home_folder(home))
        return B_ENTRY_NOT_FOUND;
    switch (which) {
    case B_USER_DIRECTORY: folder = home; break;
    case B_USER_CONFIG_DIRECTORY:
    case B_USER_SETTINGS_DIRECTORY: folder = home + "/.config"; break;
    case B_USER_LIB_DIRECTORY: folder = home + "/.local/lib"; break;
    case B_USER_ADDONS_DIRECTORY: folder = home + "/.local/lib/add-ons"; break;
    case B_USER_BOOT_DIRECTORY: folder = home + "/.local"; break;
    case B_USER_FONTS_DIRECTORY: folder = home + "/.local/share/fonts"; break;
    default: return B_BAD_VALUE;
    }
    return B_OK;
}

} // namespace

status_t create_directory(const char* path, mode_t mode)
{
    if (!path || !*path)
        return B_BAD_VALUE;
    std::string text(path);
    for (size_t pos = 1; pos <= text.size(); ++pos) {
        if (pos != text.size() && text[pos] != '/')
            continue;
        const std::string prefix = text.substr(0, pos);
        if (mkdir(prefix.c_str(), mode) == 0 || errno == EEXIST)
            continue;
        return status_from_errno(errno);
    }
    struct stat st;
    if (stat(path, &st) != 0)
        return status_from_errno(errno);
    if (!S_ISDIR(st.st_mode))
        return B_NOT_A_DIRECTORY;
    return B_OK;
}

status_t find_directory(directory_which which, dev_t, bool createIt, char* path, int32 pathLength)
{
    if (!path || pathLength <= 0)
        return B_BAD_VALUE;
    std::string folder;
    status_t status = folder_of(which, folder);
    if (status != B_OK)
        return status;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.size() >= static_cast<size_t>(pathLength))
        return B_NAME_TOO_LONG;
    // Settings are private to the user; libraries need not be.
    const bool settings = which == B_USER_SETTINGS_DIRECTORY || which == B_USER_CONFIG_DIRECTORY;
    if (createIt && (status = create_directory(folder.c_str(), settings ? 0700 : 0755)) != B_OK)
        return status;
    memcpy(path, folder.c_str(), folder.size() + 1);
    return B_OK;
}

status_t find_directory(directory_which which, BPath* path, bool createIt, BVolume*)
{
    if (!path)
        return B_BAD_VALUE;
    char buffer[B_PATH_NAME_LENGTH];
    const status_t status = find_directory(which, -1, createIt, buffer, sizeof buffer);
    if (status != B_OK) {
        path->Unset();
        return status;
    }
    return path->SetTo(buffer);
}

status_t find_path(const void* codePointer, path_base_directory baseDirectory, const char* subPath,
                   char* pathBuffer, size_t bufferSize)
{
    if (!pathBuffer || bufferSize == 0 || subPath)
        return B_BAD_VALUE;
    if (baseDirectory != B_FIND_PATH_IMAGE_PATH)
        return B_UNSUPPORTED;
    const uintptr_t address = reinterpret_cast<uintptr_t>(codePointer);
    int32 cookie = 0;
    image_info info;
    while (get_next_image_info(0, &cookie, &info) == B_OK) {
        const uintptr_t text = reinterpret_cast<uintptr_t>(info.text);
        const bool wanted = codePointer == B_APP_IMAGE_SYMBOL
            ? info.type == B_APP_IMAGE
            : address >= text && address - text < static_cast<uintptr_t>(info.text_size);
        if (!wanted)
            continue;
        if (info.name[0] != '/')
            return B_ENTRY_NOT_FOUND;
        const size_t length = strlen(info.name);
        if (length >= bufferSize)
            return B_NAME_TOO_LONG;
        memcpy(pathBuffer, info.name, length + 1);
        return B_OK;
    }
    return B_ENTRY_NOT_FOUND;
}

status_t find_path(const void* codePointer, path_base_directory baseDirectory, const char* subPath,
                   BPath* path)
{
    if (!path)
        return B_BAD_VALUE;
    char buffer[B_PATH_NAME_LENGTH];
    const status_t status = find_path(codePointer, baseDirectory, subPath, buffer, sizeof buffer);
    if (status != B_OK) {
        path->Unset();
        return status;
    }
    return path->SetTo(buffer);
}
