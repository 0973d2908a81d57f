// The command-line framework: the option record and its parsing, the
// dictionary texts and the console output, and the common start of every
// program's main. All output goes to standard output, or to standard error
// for a run whose standard output carries its data.
//
// Results are 0 for success and -1 for failure. A failure prints its own
// reason before it returns -1 (or, inside main's work, throws the int -1).
#pragma once

#include <String.h>
#include <SupportDefs.h>

#include "Options.h"

#include <functional>
#include <initializer_list>
#include <ostream>
#include <utility>

class TOption {
public:
    TOption() = default;
    virtual ~TOption() = default;

    // The implied flags: verbose brings the library information, help the
    // banner (in this order, so help alone does not bring the former).
    virtual void Calc();

    bool help = false;       // print the usage text and stop
    bool verbose = false;    // print the banner
    bool lma_info = false;   // print the codec library information
    BString ape_file;
    BString wave_file;
};

// Applies a common option, or reports arg as unknown and returns -1.
int parse_opt_common(int32 id, const BString& arg, TOption& options);

// Where everything is printed: standard output, or standard error once
// print_to_standard_error() was called, for a run whose standard output
// carries its data (a "-" destination).
std::ostream& console();
void print_to_standard_error();

// The dictionary text of key, looked up now.
BString get_text(const char* key);
// The dictionary text of key with each placeholder replaced, in order.
BString get_text(const char* key,
                 std::initializer_list<std::pair<const char*, BString>> replacements);

// "ERROR: " (looked up) + message + line end, flushed.
void exp_err(const BString& message);
void exp_err_load_lib_monkeys_audio();
void exp_err_get_lib_monkeys_audio_entries();
void exp_err_check_lib_monkeys_audio_version();
// The filled "@Err_Bad_Option_Value %Option%@" through exp_err.
void exp_err_bad_option_value(const BString& arg);

// Rewrites the progress line: CR, the filled text of key, a blank, no line
// end. done is in thousandths of a percent; elapsed in microseconds. With
// done 0 or below there is no estimate yet and %Remain% reads "?".
void exp_progress(const char* key, int32 done, int64 elapsed);

void exp_app_info(const TOption& options);
void exp_lma_info(const TOption& options);
void exp_usage_common_opt();

// Defined by each program: its usage text.
void exp_usage();

// Banner, library load, resolve, library information, version check,
// usage text; 0 to go on.
int startup(const TOption& options, float version);

// "-HELP" gives "-Help", "EXTRAHIGH" gives "Extrahigh".
BString capitalize(const BString& text);

// The lowest codec library version the command-line programs accept.
const float kLibMonkeysAudioMinVersion = 1.4f;

// Loads "Halbrook" and then the program's own dictionary from
// Language/Dictionaries beside the executable; nothing when the
// executable's folder is unknown.
void load_dictionaries(const char* ownDictionary);

// The common main of every command-line program: locate the executable,
// load the dictionaries, then inside one handler parse (non-zero ends the
// run), startup, work (ends by returning or by throwing the int -1); unload
// the codec library. Returns the exit status, 0 or 1.
int run_main(int argc, char* argv[], const char* ownDictionary, TOption& options,
             const std::function<int()>& parse, const std::function<void()>& work);
