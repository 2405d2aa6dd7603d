// Runs a command and prints its exit status, its peak resident memory in kilobytes and the CPU time
// it used (user and system) in milliseconds. The peak
// comes from wait4 in this small process: a child's peak starts at its parent's resident size,
// so a large test or benchmark process would count its own memory too.
#include <cstdio>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: peak_child PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return 1;
    const long cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000L
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000L;
    std::printf("%d %ld %ld\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss, cpuMs);
    return 0;
}
