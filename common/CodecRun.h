// What Fennick, Dovrell and Tarvin do alike: the head of the usage text,
// "-" for standard input and output, and the run itself (the announcement
// line, one codec library call with the progress line, then its outcome).
#pragma once

#include <AppIdentity.h>
#include <AppPrivacy.h>
#include <Common.h>
#include <KernelTime.h>
#include <MonkeysAudioLib.h>

// Microseconds since the codec library call began, for the progress line.
inline int64 codec_run_elapsed()
{
    return system_time() - gAppPrivacy.start_time;
}

// "-" names standard input as a source and standard output as a
// destination; the programs take it for a file name, not an option.
inline bool is_standard_stream(const BString& name)
{
    return name == "-";
}
inline bool is_option(const BString& arg)
{
    return arg.ByteAt(0) == '-' && !is_standard_stream(arg);
}

// Whether the arguments of Fennick or Dovrell (source, then destination)
// make standard output the destination: the last of two or more file
// arguments is "-", or the only one is (a source read from standard input
// is written to standard output). Decided before anything is printed, so
// that every line goes to standard error then.
bool destination_is_standard_output(int argc, char* argv[]);

// Before a call that reads standard input (source) or writes standard
// output (destination): refuses a terminal there and a codec library
// without the stream entries (available), printing why and throwing the
// int -1; a closed pipe then ends the writing with an error, not a signal.
void prepare_standard_streams(bool source, bool destination, bool available);

// The stream a file argument names: the named file, or the standard
// stream fd for "-".
APEStream codec_stream(const BString& name, int fd);

// call gets the addresses of the progress word and of the kill flag and
// returns the library's result; a non-zero result prints failureKey (or,
// for a closed pipe, says so) and throws the int -1, as main expects of a
// failure.
template <typename Call>
void run_codec_call(const BString& announcement, Call call, const char* successKey, const char* failureKey)
{
    console() << announcement << std::endl;
    int progress = 0;  // the library's to write; never read here
    int kill = 0;      // never set: nothing asks the library to stop
    gAppPrivacy.start_time = system_time();
    const int result = call(&progress, &kill);
    // Closes the progress line, which has no line end of its own.
    console() << '\n';
    if (result != 0) {
        exp_err(get_text(result == APE_ERROR_OUTPUT_CLOSED ? "@Err_Output_Closed@" : failureKey));
        throw -1;
    }
    console() << get_text(successKey) << '\n';
}

// The usage text down to the "Option (Case insensitive):" line.
inline void exp_usage_head(const char* overviewKey, const char* cmdFormatKey)
{
    console() << get_text(overviewKey, {{"%AppName%", gAppName}}) << "\n\n"
              << get_text("=== Usage ===") << '\n'
              << get_text(cmdFormatKey) << "\n\n"
              << get_text("Option (Case insensitive):") << '\n';
}
