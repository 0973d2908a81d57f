/* Runs a command and reports its peak resident memory and its CPU seconds
 * (user+sys) on standard error (last lines "peak_kib N", "cpu_s S"). A
 * child's ru_maxrss counts from the memory of the process it was forked
 * from, so the benchmark forks this small one rather than itself; the CPU
 * seconds are the program's own, without this one's start, as a peer
 * run directly is measured.
 * usage: peak-run PROGRAM [ARG...] */
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: peak-run PROGRAM [ARG...]\n");
        return 2;
    }
    pid_t pid = fork();
    if (pid < 0) {
        perror("peak-run: fork");
        return 2;
    }
    if (pid == 0) {
        execvp(argv[1], argv + 1);
        perror("peak-run: exec");
        _exit(127);
    }
    int status;
    struct rusage usage;
    if (wait4(pid, &status, 0, &usage) < 0) {
        perror("peak-run: wait");
        return 2;
    }
    fprintf(stderr, "peak_kib %ld\n", usage.ru_maxrss);
    fprintf(stderr, "cpu_s %.6f\n", (double)(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                                         (double)(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6);
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
