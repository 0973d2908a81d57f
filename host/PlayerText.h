// The player's texts: dictionary keys looked up when shown, placeholders
// filled afterwards; console output.
#pragma once

#include <String.h>

#include <initializer_list>
#include <string>
#include <utility>

BString player_text(const char* key,
    std::initializer_list<std::pair<const char*, std::string>> replacements = {});

// "ERROR: " (looked up) and the message, on standard output.
void print_error(const BString& message);

// m:ss, or h:mm:ss from an hour on.
std::string format_time(double seconds);
