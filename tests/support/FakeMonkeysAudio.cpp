// A stand-in for libMonkeysAudio.so, for tests of the loader and of the
// programs' flow without the real codec. Built in several variants (see
// cmake/SuiteTesting.cmake): another version text, an entry left out, or
// VerifyFile exported as data instead of a function.
//
// At run time, environment variables steer the codec calls:
//   FAKE_APE_RESULT    the result of CompressFile, DecompressFile and
//                      VerifyFile, and the error of CreateIAPEDecompress
//                      (default 0; CreateIAPEDecompress always fails)
//   FAKE_APE_PROGRESS  comma-separated values handed to the progress
//                      callback, in order (default 0,50000,100000)
//   FAKE_APE_VERSION   the version text, instead of the built-in one
//   FAKE_APE_LOG       a file that gets one line per call: the entry's
//                      name and its arguments, separated by TABs
#ifndef FAKE_VERIFY_AS_DATA
#define LIBMONKEYSAUDIO_BUILD
#endif
#include <MonkeysAudioLib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef FAKE_VERSION
#define FAKE_VERSION "Ver 1.50"
#endif

namespace {

int fake_result()
{
    const char* value = getenv("FAKE_APE_RESULT");
    return value ? atoi(value) : 0;
}

void log_call(const std::string& line)
{
    const char* path = getenv("FAKE_APE_LOG");
    if (!path)
        return;
    if (FILE* file = fopen(path, "a")) {
        fprintf(file, "%s\n", line.c_str());
        fclose(file);
    }
}

std::string text(const char* value)
{
    return value ? value : "(null)";
}

void report_progress(ProgressCallback* callback)
{
    if (!callback)
        return;
    const char* list = getenv("FAKE_APE_PROGRESS");
    std::string values = list ? list : "0,50000,100000";
    size_t start = 0;
    while (start < values.size()) {
        size_t end = values.find(',', start);
        if (end == std::string::npos)
            end = values.size();
        callback(atoi(values.substr(start, end - start).c_str()));
        start = end + 1;
    }
}

} // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT const char* lib_monkeys_audio_name() { return "Fake Monkey's Audio"; }
FAKE_EXPORT const char* lib_monkeys_audio_version()
{
    const char* text = getenv("FAKE_APE_VERSION");
    return text ? text : FAKE_VERSION;
}
FAKE_EXPORT const char* lib_monkeys_audio_copyright() { return "Copyright (C) the test suite"; }
FAKE_EXPORT const char* lib_monkeys_audio_components() { return "Components: none (a fake)"; }

FAKE_EXPORT CAPETag* create_capetag_1(const char*) { return nullptr; }
FAKE_EXPORT CAPETag* create_capetag_2(const char*, int* error)
{
    if (error)
        *error = APE_ERROR_SOURCE_NOT_FOUND;
    return nullptr;
}
FAKE_EXPORT void destroy_capetag(CAPETag*) {}

FAKE_EXPORT int CompressFile(const char* wavePath, const char* apePath, int level, int* progress,
                             ProgressCallback* callback, int* kill)
{
    log_call("CompressFile\t" + text(wavePath) + "\t" + text(apePath) + "\t" + std::to_string(level)
             + "\t" + (progress ? "progress" : "null") + "\t" + (kill ? std::to_string(*kill) : "null"));
    report_progress(callback);
    return fake_result();
}

FAKE_EXPORT int DecompressFile(const char* apePath, const char* wavePath, int* progress,
                               ProgressCallback* callback, int* kill)
{
    log_call("DecompressFile\t" + text(apePath) + "\t" + text(wavePath) + "\t"
             + (progress ? "progress" : "null") + "\t" + (kill ? std::to_string(*kill) : "null"));
    report_progress(callback);
    return fake_result();
}

#ifdef FAKE_VERIFY_AS_DATA
extern "C" {
__attribute__((visibility("default"))) int VerifyFile = 0;
}
#elif !defined(FAKE_OMIT_VerifyFile)
FAKE_EXPORT int VerifyFile(const char* apePath, int* progress, ProgressCallback* callback, int* kill)
{
    log_call("VerifyFile\t" + text(apePath) + "\t" + (progress ? "progress" : "null") + "\t"
             + (kill ? std::to_string(*kill) : "null"));
    report_progress(callback);
    return fake_result();
}
#endif

FAKE_EXPORT IAPEDecompress* CreateIAPEDecompress(const char* apePath, int* error)
{
    log_call("CreateIAPEDecompress\t" + text(apePath));
    if (error)
        *error = fake_result() ? fake_result() : APE_ERROR_NOT_APE;
    return nullptr;
}
