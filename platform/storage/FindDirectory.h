// Storage kit: the well-known folders of the user, and where an image
// (the running program, a library or an add-on) lies.
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

// The file of an image, as Haiku's find_path tells it. codePointer picks
// the image: B_APP_IMAGE_SYMBOL the running program, B_CURRENT_IMAGE_SYMBOL
// the image whose code uses the macro (so a library or an add-on finds its
// own file, whatever other images are loaded), or any address inside an
// image's code.
typedef enum {
    B_FIND_PATH_IMAGE_PATH = 1000,
} path_base_directory;

// One copy in each image that includes this header: its address lies in
// that image's code.
static inline void _find_path_image_symbol() {}

#define B_APP_IMAGE_SYMBOL (static_cast<const void*>(nullptr))
#define B_CURRENT_IMAGE_SYMBOL (reinterpret_cast<const void*>(&_find_path_image_symbol))

// The absolute path of the image file, links resolved. subPath must be
// null (an image is a file). B_OK, B_BAD_VALUE, B_ENTRY_NOT_FOUND (no
// image holds the address), B_UNSUPPORTED (another base), or
// B_NAME_TOO_LONG.
status_t find_path(const void* codePointer, path_base_directory baseDirectory, const char* subPath,
                   char* pathBuffer, size_t bufferSize);
status_t find_path(const void* codePointer, path_base_directory baseDirectory, const char* subPath,
                   BPath* path);
