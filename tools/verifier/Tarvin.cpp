// Tarvin: checks that one APE file is sound with a single call of the codec
// library, rewriting a progress line while it works.
#include "VerifyApp.h"

#include <CodecRun.h>
#include <UsingLibMonkeysAudio.h>

#include <unistd.h>

namespace {

// Only the common options.
void init_option_map(TOptionMap& map)
{
    init_option_map_common(map);
}

int parse_opt(int argc, char* argv[], TVerifyOption* options)
{
    TOptionMap optionMap;
    init_option_map(optionMap);
    for (int i = 1; i < argc; ++i) {
        const BString arg(argv[i]);
        if (is_option(arg)) {
            if (parse_opt_common(find_option_id(optionMap, extract_opt_name(arg)), arg, *options) != 0)
                return -1;
        } else {
            // The last file named is the one verified.
            options->ape_file = arg;
        }
    }
    if (options->ape_file.IsEmpty())
        options->help = true;
    options->Calc();
    return 0;
}

void progress_callback(int done)
{
    exp_progress("@Verify_Progress %Done% %Remain%@", done, codec_run_elapsed());
}

void verify(const TVerifyOption& options)
{
    const bool fromStdin = is_standard_stream(options.ape_file);
    prepare_standard_streams(fromStdin, false, verify_stream != nullptr);
    run_codec_call(
        get_text("Verify file: %FileNameAPE%", {{"%FileNameAPE%", options.ape_file}}),
        [&](int* progress, int* kill) {
            if (!fromStdin)
                return verify_file(options.ape_file.String(), progress, progress_callback, kill);
            const APEStream ape = codec_stream(options.ape_file, STDIN_FILENO);
            return verify_stream(&ape, progress, progress_callback, kill);
        },
        "@Verify_OK@", "@Err_Bad_APE_File@");
}

} // namespace

void exp_usage()
{
    exp_usage_head("@Verify_Overview %AppName%@", "@Verify_Cmd_Format@");
    exp_usage_common_opt();
}

int main(int argc, char* argv[])
{
    TVerifyOption options;
    return run_main(argc, argv, "Tarvin", options, [&] { return parse_opt(argc, argv, &options); },
                    [&] { verify(options); });
}
