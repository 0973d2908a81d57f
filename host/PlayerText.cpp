#include "PlayerText.h"

#include <Locale.h>

#include <cstdio>

BString player_text(const char* key, std::initializer_list<std::pair<const char*, std::string>> replacements)
{
    BString text = be_locale->GetString(key);
    for (const auto& [placeholder, value] : replacements)
        text.ReplaceAll(placeholder, value.c_str());
    return text;
}

void print_error(const BString& message)
{
    printf("%s%s\n", be_locale->GetString("ERROR: ").String(), message.String());
    fflush(stdout);
}

std::string format_time(double seconds)
{
    if (!(seconds >= 0))
        seconds = 0;
    const long total = long(seconds);
    char text[32];
    if (total >= 3600)
        snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}
