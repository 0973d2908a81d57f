// Where the suite's files lie for the image that runs this code (a
// program, the add-on or the GStreamer plug-in): first the user's own
// install under ~/.local, then the installation that the image belongs
// to, found from the image's own file wherever that installation lies.
// Nothing here needs a home folder: without one, only the installation
// is left.
#pragma once

#include <String.h>

#include <vector>

// The prefix (with its final "/") of the installation that holds the
// image file at imagePath, recognised by the folder the installation
// puts such an image in: a program's, the player's add-ons or the
// GStreamer plug-ins. Empty when the file lies anywhere else (a build
// tree, a loose copy).
BString installation_prefix(const BString& imagePath);

// The same for the image this code is linked into.
BString own_installation_prefix();

// The codec library files to try, in order: the user library folder's,
// then the own installation's; each once.
std::vector<BString> codec_library_candidates();

// The user install's folder of the player's add-ons, or empty without a
// home folder.
BString user_addon_folder();

// The player's add-on folders to try, in order: the user install's, then
// the own installation's; each once.
std::vector<BString> addon_folder_candidates();
