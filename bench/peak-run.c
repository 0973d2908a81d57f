/* Runs a command and reports its peak resident memory on standard error
 * (last line "peak_kib N"). A child's ru_maxrss counts from the memory of
 * the process it was forked from, so the benchmark forks this small one
 * rather than itself.
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
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
