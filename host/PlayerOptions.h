// The player's command line, in the suite's style: options -NAME=value or
// -NAME:value with case-insensitive names, anything else a file (a file
// whose name begins with "-" is given as ./-name).
#pragma once

#include <SupportDefs.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Playback.h"

struct TPlayerOptions {
    enum Mode {
        kWindow,     // play the files in the window, one after another
        kPlay,       // play them without a window (-Play)
        kInfo,       // print what the add-on says about each (-Info)
        kDecode,     // decode one through the add-on to a WAVE file (-Decode=OUT)
        kAbout,      // show the add-ons' about boxes (-About)
        kLanguage,   // switch the running player's language (-Language=LANG alone)
        kHelp,
    };

    Mode mode = kWindow;
    std::vector<std::string> files;
    std::string addOnFolder;                      // empty: add-ons/ beside the program
    std::string output;                           // -Decode=OUT, -Output=OUT with -Play
    std::vector<std::pair<int64, int64>> seeks;   // -Seek=FRAME[+COUNT],...; COUNT -1: to the end
    double seconds = -1;                          // -Seconds=S, for -Play
    std::map<int64, TPlayback::Action> actions;   // -PauseAt=FRAME:MS, -SeekAt=FRAME:TO
    int32 aboutRequests = 0;                      // each -About asks once
    std::string language;                         // -Language=LANG
};

// 0, or -1 with the offending argument in *bad.
int parse_player_options(int argc, char** argv, TPlayerOptions* options, std::string* bad);
