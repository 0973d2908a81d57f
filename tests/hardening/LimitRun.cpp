// hardening_limit <file-size bytes> <address-space MiB> <program> [argument...]
// Runs the program under the limits given (0: none). SIGXFSZ is ignored, so
// that a write past the file-size limit fails with EFBIG as on a full disk,
// for root too.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: hardening_limit <bytes> <MiB> <program> [argument...]\n");
        return 127;
    }
    const rlim_t bytes = std::strtoull(argv[1], nullptr, 10);
    const rlim_t mib = std::strtoull(argv[2], nullptr, 10);
    if (signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
        std::perror("hardening_limit");
        return 127;
    }
    if (bytes) {
        struct rlimit limit = {bytes, bytes};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            std::perror("hardening_limit");
            return 127;
        }
    }
    if (mib) {
        struct rlimit limit = {mib << 20, mib << 20};
        if (setrlimit(RLIMIT_AS, &limit) != 0) {
            std::perror("hardening_limit");
            return 127;
        }
    }
    execv(argv[3], argv + 3);
    std::perror(argv[3]);
    return 127;
}
