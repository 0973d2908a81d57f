// Dovrell: decodes one APE file back into its WAVE file with a single call of
// the codec library, rewriting a progress line while it works.
#include "DecodeApp.h"

#include <CodecRun.h>
#include <StringUtils.h>
#include <UsingLibMonkeysAudio.h>

#include <unistd.h>

namespace {

// Only the common options.
void init_option_map(TOptionMap& map)
{
    init_option_map_common(map);
}

int parse_opt(int argc, char* argv[], TDecodeOption* options)
{
    TOptionMap optionMap;
    init_option_map(optionMap);
    for (int i = 1; i < argc; ++i) {
        const BString arg(argv[i]);
        if (is_option(arg)) {
            if (parse_opt_common(find_option_id(optionMap, extract_opt_name(arg)), arg, *options) != 0)
                return -1;
        } else if (options->ape_file.IsEmpty()) {
            options->ape_file = arg;
        } else {
            options->wave_file = arg;
        }
    }
    if (options->ape_file.IsEmpty())
        options->help = true;
    if (options->wave_file.IsEmpty())
        options->wave_file = is_standard_stream(options->ape_file) ? options->ape_file
                                                                   : reext(options->ape_file, "wav");
    options->Calc();
    return 0;
}

void progress_callback(int done)
{
    exp_progress("@Decode_Progress %Done% %Remain%@", done, codec_run_elapsed());
}

void decode(const TDecodeOption& options)
{
    const bool fromStdin = is_standard_stream(options.ape_file);
    const bool toStdout = is_standard_stream(options.wave_file);
    prepare_standard_streams(fromStdin, toStdout, decompress_stream != nullptr);
    run_codec_call(
        get_text("Decode file: %FileNameAPE% -> %FileNameWAVE%",
                 {{"%FileNameAPE%", options.ape_file}, {"%FileNameWAVE%", options.wave_file}}),
        [&](int* progress, int* kill) {
            if (!fromStdin && !toStdout)
                return decompress_file(options.ape_file.String(), options.wave_file.String(), progress,
                                       progress_callback, kill);
            const APEStream ape = codec_stream(options.ape_file, STDIN_FILENO);
            const APEStream wave = codec_stream(options.wave_file, STDOUT_FILENO);
            return decompress_stream(&ape, &wave, progress, progress_callback, kill);
        },
        "@Success@", toStdout ? "@Err_Decode_Failed_Stream@" : "@Err_Decode_Failed@");
}

} // namespace

void exp_usage()
{
    exp_usage_head("@Decode_Overview %AppName%@", "@Decode_Cmd_Format@");
    exp_usage_common_opt();
}

int main(int argc, char* argv[])
{
    if (destination_is_standard_output(argc, argv))
        print_to_standard_error();
    TDecodeOption options;
    return run_main(argc, argv, "Dovrell", options, [&] { return parse_opt(argc, argv, &options); },
                    [&] { decode(options); });
}
