// One library call per process, so that bench/compare can read the CPU
// seconds and peak memory of exactly that call from the child's rusage,
// the same way it reads flac's and wavpack's.
//
//   ape-driver LIBRARY compress LEVEL IN.wav OUT.ape
//   ape-driver LIBRARY decompress IN.ape OUT.wav
//   ape-driver LIBRARY version
//
// Exit status 0 on success; otherwise the library's result is printed.
// After a call it prints "peak_kib N", the peak resident memory of this
// process image (VmHWM): a forked child's ru_maxrss starts from its
// parent's, so only the image's own figure is exact.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "MonkeysAudioLib.h"

namespace {

long peak_kib()
{
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f))
        if (!std::strncmp(line, "VmHWM:", 6))
            kib = std::atol(line + 6);
    std::fclose(f);
    return kib;
}

int usage()
{
    std::fprintf(stderr, "usage: ape-driver LIBRARY compress LEVEL IN OUT | decompress IN OUT | version\n");
    return 2;
}

template <typename Fn>
Fn* entry(void* lib, const char* name)
{
    auto* fn = reinterpret_cast<Fn*>(dlsym(lib, name));
    if (!fn) {
        std::fprintf(stderr, "ape-driver: the library has no %s\n", name);
        std::exit(2);
    }
    return fn;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::fprintf(stderr, "ape-driver: %s\n", dlerror());
        return 2;
    }
    const char* what = argv[2];
    int rc;
    if (!std::strcmp(what, "compress") && argc == 6) {
        rc = entry<CompressFileFn>(lib, "CompressFile")(argv[4], argv[5], std::atoi(argv[3]), nullptr, nullptr,
                                                        nullptr);
    } else if (!std::strcmp(what, "decompress") && argc == 5) {
        rc = entry<DecompressFileFn>(lib, "DecompressFile")(argv[3], argv[4], nullptr, nullptr, nullptr);
    } else if (!std::strcmp(what, "version") && argc == 3) {
        std::printf("%s\n", entry<LibTextFn>(lib, "lib_monkeys_audio_version")());
        return 0;
    } else {
        return usage();
    }
    if (rc != APE_OK) {
        std::fprintf(stderr, "ape-driver: %s %s: library result %d\n", what, argv[argc - 2], rc);
        return 1;
    }
    std::printf("peak_kib %ld\n", peak_kib());
    return 0;
}
