// with_file_size_limit <bytes> <program> [argument...]
// Runs the program under a file-size limit with SIGXFSZ ignored, so that a
// write beyond the limit fails (EFBIG) as on a full disk, for root as for
// anyone else: root passes every permission check, but not this limit.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: with_file_size_limit <bytes> <program> [argument...]\n");
        return 127;
    }
    rlim_t bytes = std::strtoull(argv[1], nullptr, 10);
    struct rlimit limit = {bytes, bytes};
    if (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        std::perror("with_file_size_limit");
        return 127;
    }
    execv(argv[2], argv + 2);
    std::perror(argv[2]);
    return 127;
}
