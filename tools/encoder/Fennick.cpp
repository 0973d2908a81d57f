// Fennick: encodes one WAVE file into one APE file with a single call of the
// codec library, rewriting a progress line while it works.
#include <CodecRun.h>
#include "EncodeApp.h"

#include <StringUtils.h>
#include <UsingLibMonkeysAudio.h>

#include <map>

#include <unistd.h>

namespace {

enum { kOptionLevel = kOptionFirstOwn };

// Upper-case level name -> compression level; 0 is "no such level".
using TLevelMap = std::map<BString, int32>;

struct TLevelName {
    const char* name;
    const char* shortName;
    int32 level;
};

const TLevelName kLevelNames[] = {
    {"FAST", "F", kLevelFast},
    {"NORMAL", "N", kLevelNormal},
    {"HIGH", "H", kLevelHigh},
    {"EXTRAHIGH", "EH", kLevelExtraHigh},
};

void init_option_map(TOptionMap& map)
{
    map["-LEVEL"] = kOptionLevel;
    map["-L"] = kOptionLevel;
    init_option_map_common(map);
}

void init_level_map(TLevelMap& map)
{
    for (const TLevelName& level : kLevelNames) {
        map[level.name] = level.level;
        map[level.shortName] = level.level;
    }
}

int parse_opt(int argc, char* argv[], TEncodeOption* options)
{
    TOptionMap optionMap;
    TLevelMap levelMap;
    init_option_map(optionMap);
    init_level_map(levelMap);
    for (int i = 1; i < argc; ++i) {
        const BString arg(argv[i]);
        const int32 id = find_option_id(optionMap, extract_opt_name(arg));
        if (id == kOptionLevel) {
            BString value = extract_opt_value(arg);
            auto level = levelMap.find(value.ToUpper());
            options->compression_level = level == levelMap.end() ? 0 : level->second;
            if (options->compression_level == 0) {
                exp_err_bad_option_value(arg);
                return -1;
            }
        } else if (is_option(arg)) {
            if (parse_opt_common(id, arg, *options) != 0)
                return -1;
        } else if (options->wave_file.IsEmpty()) {
            options->wave_file = arg;
        } else {
            options->ape_file = arg;
        }
    }
    if (options->wave_file.IsEmpty())
        options->help = true;
    if (options->ape_file.IsEmpty())
        options->ape_file = is_standard_stream(options->wave_file) ? options->wave_file
                                                                   : reext(options->wave_file, "ape");
    options->Calc();
    return 0;
}

void progress_callback(int done)
{
    exp_progress("@Encode_Progress %Done% %Remain%@", done, codec_run_elapsed());
}

void encode(const TEncodeOption& options)
{
    const bool fromStdin = is_standard_stream(options.wave_file);
    const bool toStdout = is_standard_stream(options.ape_file);
    prepare_standard_streams(fromStdin, toStdout, compress_stream != nullptr);
    run_codec_call(
        get_text("Encode file: %FileNameWAVE% -> %FileNameAPE%",
                 {{"%FileNameWAVE%", options.wave_file}, {"%FileNameAPE%", options.ape_file}}),
        [&](int* progress, int* kill) {
            if (!fromStdin && !toStdout)
                return compress_file(options.wave_file.String(), options.ape_file.String(),
                                     options.compression_level, progress, progress_callback, kill);
            const APEStream wave = codec_stream(options.wave_file, STDIN_FILENO);
            const APEStream ape = codec_stream(options.ape_file, STDOUT_FILENO);
            return compress_stream(&wave, &ape, options.compression_level, nullptr, progress, progress_callback,
                                   kill);
        },
        "@Success@", toStdout ? "@Err_Encode_Failed_Stream@" : "@Err_Encode_Failed@");
}

} // namespace

void exp_usage()
{
    exp_usage_head("@Encode_Overview %AppName%@", "@Encode_Cmd_Format@");
    console() << "  "
              << get_text("@Usage_Level %Option1% %Option2%@",
                          {{"%Option1%", capitalize("-LEVEL")}, {"%Option2%", "-L"}})
              << '\n'
              << "    "
              << get_text("@Usage_Level_Detail %OptionA1% %OptionA2% %OptionB1% %OptionB2% "
                          "%OptionC1% %OptionC2% %OptionD1% %OptionD2%@",
                          {{"%OptionA1%", capitalize("FAST")}, {"%OptionA2%", "F"},
                           {"%OptionB1%", capitalize("NORMAL")}, {"%OptionB2%", "N"},
                           {"%OptionC1%", capitalize("HIGH")}, {"%OptionC2%", "H"},
                           {"%OptionD1%", capitalize("EXTRAHIGH")}, {"%OptionD2%", "EH"}})
              << '\n';
    exp_usage_common_opt();
    console() << '\n'
              << get_text("Example:") << '\n'
              << "  Fennick Src.wav Dest.ape " << capitalize("-LEVEL") << "=" << capitalize("HIGH") << "\n\n";
}

int main(int argc, char* argv[])
{
    if (destination_is_standard_output(argc, argv))
        print_to_standard_error();
    TEncodeOption options;
    return run_main(argc, argv, "Fennick", options, [&] { return parse_opt(argc, argv, &options); },
                    [&] { encode(options); });
}
