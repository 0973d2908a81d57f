// The player's command-line modes, for scripts and tests. Each returns
// the exit status: 0 when everything worked, 1 otherwise (each failure
// printed as an error line). A file whose audio stops short of its length
// (damaged, or cut while it played) is a failure: a WAVE file that would
// hold it is not kept.
#pragma once

#include "AddOnLoader.h"
#include "PlayerOptions.h"

// -Info: what the add-on says about each file.
int print_file_info(const TAddOnFolder& addOns, const TPlayerOptions& options);
// -Decode=OUT: one file through the add-on into a WAVE file, whole or only
// the parts -Seek names, one after the other.
int decode_to_wave(const TAddOnFolder& addOns, const TPlayerOptions& options);
// -Play: the files one after another on the sound output, or into the
// WAVE file of -Output, with -Seconds, -PauseAt and -SeekAt.
int play_without_window(const TAddOnFolder& addOns, const TPlayerOptions& options);

// The decoder for a file, or null after an error line.
std::unique_ptr<TAddOnDecoder> open_file(const TAddOnFolder& addOns, const std::string& file);
// The error line for a file whose audio stops short of its length.
void print_damaged(const std::string& file);
// The title to show: the add-on's display title, else the file's name.
std::string display_title(const TAudioFileInfo& info, const std::string& file);
