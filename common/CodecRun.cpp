#include "CodecRun.h"

#include <UsingLibMonkeysAudio.h>

#include <csignal>
#include <unistd.h>

bool destination_is_standard_output(int argc, char* argv[])
{
    int files = 0;
    BString last;
    for (int i = 1; i < argc; ++i) {
        const BString arg(argv[i]);
        if (is_option(arg))
            continue;
        ++files;
        last = arg;
    }
    return files >= 1 && is_standard_stream(last);
}

void prepare_standard_streams(bool source, bool destination, bool available)
{
    if (!source && !destination)
        return;
    const char* fault = nullptr;
    if (source && isatty(STDIN_FILENO))
        fault = "@Err_Standard_Input_Terminal@";
    else if (destination && isatty(STDOUT_FILENO))
        fault = "@Err_Standard_Output_Terminal@";
    if (fault) {
        exp_err(get_text(fault));
        throw -1;
    }
    if (!available) {
        exp_err(get_text("@Err_Lib_Monkeys_Audio_No_Streams %FileName%@",
                         {{"%FileName%", kLibMonkeysAudioFileName}}));
        throw -1;
    }
    if (destination)
        signal(SIGPIPE, SIG_IGN);
}

APEStream codec_stream(const BString& name, int fd)
{
    APEStream stream{};
    stream.fd = -1;
    if (is_standard_stream(name))
        stream.fd = fd;
    else
        stream.path = name.String();
    return stream;
}
