// What Fennick, Dovrell and Tarvin do alike: the head of the usage text, and
// the run itself (the announcement line, one codec library call with the
// progress line, then its outcome).
#pragma once

#include <AppIdentity.h>
#include <AppPrivacy.h>
#include <Common.h>
#include <KernelTime.h>

#include <iostream>

// Microseconds since the codec library call began, for the progress line.
inline int64 codec_run_elapsed()
{
    return system_time() - gAppPrivacy.start_time;
}

// call gets the addresses of the progress word and of the kill flag and
// returns the library's result; a non-zero result prints failureKey and
// throws the int -1, as main expects of a failure.
template <typename Call>
void run_codec_call(const BString& announcement, Call call, const char* successKey, const char* failureKey)
{
    std::cout << announcement << std::endl;
    int progress = 0;  // the library's to write; never read here
    int kill = 0;      // never set: nothing asks the library to stop
    gAppPrivacy.start_time = system_time();
    const int result = call(&progress, &kill);
    // Closes the progress line, which has no line end of its own.
    std::cout << '\n';
    if (result != 0) {
        exp_err(get_text(failureKey));
        throw -1;
    }
    std::cout << get_text(successKey) << '\n';
}

// The usage text down to the "Option (Case insensitive):" line.
inline void exp_usage_head(const char* overviewKey, const char* cmdFormatKey)
{
    std::cout << get_text(overviewKey, {{"%AppName%", gAppName}}) << "\n\n"
              << get_text("=== Usage ===") << '\n'
              << get_text(cmdFormatKey) << "\n\n"
              << get_text("Option (Case insensitive):") << '\n';
}
