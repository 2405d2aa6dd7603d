// Runs a command and prints its exit status and its peak resident memory in kilobytes. The peak
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
    std::printf("%d %ld\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss);
    return 0;
}
