// Storage kit: the well-known folders of the user.
//
//   B_USER_DIRECTORY           $HOME
//   B_USER_LIB_DIRECTORY       $HOME/.local/lib
//   B_USER_SETTINGS_DIRECTORY  $XDG_CONFIG_HOME, or else $HOME/.config
//
// $HOME falls back to the password database when it is unset or empty;
// a relative $XDG_CONFIG_HOME is ignored, as the XDG rules say.
#pragma once

#include <StorageDefs.h>

class BPath;
class BVolume;

typedef enum {
    B_USER_DIRECTORY = 3000,
    B_USER_CONFIG_DIRECTORY,
    B_USER_ADDONS_DIRECTORY,
    B_USER_BOOT_DIRECTORY,
    B_USER_FONTS_DIRECTORY,
    B_USER_LIB_DIRECTORY,
    B_USER_SETTINGS_DIRECTORY,
} directory_which;

// Writes the folder's path into path (pathLength bytes with the NUL).
// With createIt the folder is made, with any missing parents; without it,
// the path is given whether or not the folder exists. B_OK, B_BAD_VALUE
// (unknown folder), B_NAME_TOO_LONG, B_ENTRY_NOT_FOUND (no home folder),
// or the reason the folder could not be made (B_NOT_A_DIRECTORY when
// something else is in the way). The volume is ignored: there is one tree.
status_t find_directory(directory_which which, dev_t volume, bool createIt, char* path,
                        int32 pathLength);
status_t find_directory(directory_which which, BPath* path, bool createIt = false,
                        BVolume* volume = nullptr);

// Makes a folder and any missing parents with the given mode; an existing
// folder is fine. B_OK or the reason.
status_t create_directory(const char* path, mode_t mode);
