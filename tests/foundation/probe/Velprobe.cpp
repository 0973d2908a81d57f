// A small command-line program on the common framework, for the tests of
// the start sequence: its own option, a usage text, and a run that calls
// VerifyFile with a progress line, like the real tools.
#include <AppIdentity.h>
#include <AppPrivacy.h>
#include <Common.h>
#include <KernelTime.h>
#include <UsingLibMonkeysAudio.h>

#include <iostream>

const char gAppName[] = "Velprobe";
const char gAppVer[] = "Ver 0.90";
const char gCright[] = "Copyright (C) 2026 %AppAuthor%";
const char gAppAuthorE[] = "VELMOR";
const char gAppAuthorJ[] = "ＶＥＬＭＯＲ";
const char gAppSignature[] = "application/x-vnd.VELMOR-Velprobe";

namespace {

enum { kOptionMode = kOptionFirstOwn };

BString gMode = "print";

void init_option_map(TOptionMap& map)
{
    map["-MODE"] = kOptionMode;
    map["-M"] = kOptionMode;
    init_option_map_common(map);
}

int parse_opt(int argc, char* argv[], TOption& options)
{
    TOptionMap map;
    init_option_map(map);
    for (int i = 1; i < argc; ++i) {
        const BString arg(argv[i]);
        const int32 id = find_option_id(map, extract_opt_name(arg));
        if (arg.ByteAt(0) == '-') {
            if (id == kOptionMode) {
                gMode = extract_opt_value(arg).ToLower();
                if (gMode != "print" && gMode != "fail" && gMode != "verify" && gMode != "where") {
                    exp_err_bad_option_value(arg);
                    return -1;
                }
            } else if (parse_opt_common(id, arg, options) != 0) {
                return -1;
            }
        } else {
            options.ape_file = arg;
        }
    }
    if (options.ape_file.IsEmpty())
        options.help = true;
    options.Calc();
    return 0;
}

void progress_callback(int done)
{
    exp_progress("@Verify_Progress %Done% %Remain%@", done, system_time() - gAppPrivacy.start_time);
}

} // namespace

void exp_usage()
{
    std::cout << get_text("@Probe_Overview %AppName%@", {{"%AppName%", gAppName}}) << '\n'
              << '\n'
              << get_text("=== Usage ===") << '\n'
              << get_text("@Probe_Cmd_Format@") << '\n'
              << '\n'
              << get_text("Option (Case insensitive):") << '\n'
              << "  " << get_text("@Probe_Usage_Mode %Option1% %Option2%@",
                                  {{"%Option1%", capitalize("-MODE")}, {"%Option2%", "-M"}})
              << '\n';
    exp_usage_common_opt();
    std::cout << '\n' << get_text("Example:") << '\n' << "  Velprobe File.ape " << capitalize("-MODE") << "=Verify\n\n";
}

int main(int argc, char* argv[])
{
    TOption options;
    return run_main(argc, argv, "Velprobe", options,
                    [&] { return parse_opt(argc, argv, options); },
                    [&] {
                        if (gMode == "where") {
                            std::cout << "ExePath: " << gAppPrivacy.ExePath() << '\n'
                                      << "ExeName: " << gAppPrivacy.ExeName() << '\n';
                            return;
                        }
                        std::cout << get_text("Probe file: %FileName%", {{"%FileName%", options.ape_file}})
                                  << '\n';
                        if (gMode == "fail") {
                            exp_err(get_text("@Probe_Failed@"));
                            throw -1;
                        }
                        if (gMode == "verify") {
                            int progress = 0;
                            int kill = 0;
                            gAppPrivacy.start_time = system_time();
                            const int result =
                                verify_file(options.ape_file.String(), &progress, progress_callback, &kill);
                            std::cout << '\n';
                            if (result != 0) {
                                exp_err(get_text("@Probe_Failed@"));
                                throw -1;
                            }
                        }
                        std::cout << get_text("@Probe_Done@") << '\n';
                    });
}
