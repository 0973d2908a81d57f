// The option helpers of the command-line framework: the option table and
// the name and value of an argument (-NAME=value or -NAME:value, names in
// any case). Nothing here prints; they stand on the support kit alone, so
// that a program with a command line of its own (the player) reads it the
// same way.
#pragma once

#include <String.h>
#include <SupportDefs.h>

#include <map>

// Upper-case option name (with its "-" or "--") to identifier; 0 is "no
// such option", 1 and 2 are the common options, programs use 3 upwards.
using TOptionMap = std::map<BString, int32>;

enum {
    kOptionNone = 0,
    kOptionHelp = 1,
    kOptionVerbose = 2,
    kOptionFirstOwn = 3,
};

// Adds "-HELP", "-?", "--HELP" (1) and "-VERBOSE", "-V" (2).
void init_option_map_common(TOptionMap& map);
// The identifier of a name, 0 when it is not in the map.
int32 find_option_id(const TOptionMap& map, const BString& name);

// The upper-cased text before the first "=" or ":" of an argument that
// begins with "-"; any other argument unchanged.
BString extract_opt_name(const BString& arg);
// The text after the first "=" or ":", or empty.
BString extract_opt_value(const BString& arg);
