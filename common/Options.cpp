#include "Options.h"

void init_option_map_common(TOptionMap& map)
{
    map["-HELP"] = kOptionHelp;
    map["-?"] = kOptionHelp;
    map["--HELP"] = kOptionHelp;
    map["-VERBOSE"] = kOptionVerbose;
    map["-V"] = kOptionVerbose;
}

int32 find_option_id(const TOptionMap& map, const BString& name)
{
    auto it = map.find(name);
    return it == map.end() ? kOptionNone : it->second;
}

BString extract_opt_name(const BString& arg)
{
    if (arg.IsEmpty() || arg[0] != '-')
        return arg;
    int32 end = 0;
    while (end < arg.Length() && arg[end] != '=' && arg[end] != ':')
        ++end;
    BString name;
    arg.CopyInto(name, 0, end);
    // Only ASCII letters, as toupper does in the "C" locale.
    return name.ToUpper();
}

BString extract_opt_value(const BString& arg)
{
    for (int32 i = 0; i < arg.Length(); ++i) {
        if (arg[i] == '=' || arg[i] == ':') {
            BString value;
            arg.CopyInto(value, i + 1, arg.Length() - i - 1);
            return value;
        }
    }
    return BString();
}
