// The option parsing on any command line: the input, split at NUL bytes,
// is the argument vector of Lumbrel's parse_opt, and each argument goes
// through the common name and value extraction and the option map.
#include <Common.h>
#include <TagApp.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> args{"Lumbrel"};
    std::string current;
    for (size_t i = 0; i < size && args.size() < 64; i++) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current += char(data[i]);
        }
    }
    args.push_back(current);

    static TOptionMap map = [] {
        TOptionMap m;
        init_option_map_common(m);
        init_option_map(m);
        return m;
    }();
    TOption common;
    for (const std::string& arg : args) {
        const BString name = extract_opt_name(BString(arg.c_str()));
        extract_opt_value(BString(arg.c_str()));
        capitalize(name);
        const int32 id = find_option_id(map, name);
        if (id == kOptionHelp || id == kOptionVerbose)
            parse_opt_common(id, BString(arg.c_str()), common);
    }

    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    TTagOption option;
    parse_opt(int(argv.size() - 1), argv.data(), &option);
    option.Calc();
    std::fflush(stdout);
    return 0;
}
