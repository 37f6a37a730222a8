// kelvane-peak-memory RESULT_FILE PROGRAM [ARGUMENTS...]
//
// Runs PROGRAM and writes the most memory it ever held in RAM, in KiB, to
// RESULT_FILE; exits with the program's status. Linux counts the memory of the
// process a child was forked from into the child's peak, so the benchmark
// (large) starts this small program, and this one starts the program measured.

#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: kelvane-peak-memory RESULT_FILE PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return 127;
    if (FILE *result = std::fopen(argv[1], "w")) {
        std::fprintf(result, "%ld\n", usage.ru_maxrss);
        std::fclose(result);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}
