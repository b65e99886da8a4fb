// peak_rss OUTFILE COMMAND [ARGS...]
//
// Runs COMMAND and writes its peak resident set size in KiB to OUTFILE; exits with
// the command's status. The benchmark cannot read this from its own child: a child
// started from a large process (the Python harness) inherits that process's peak in
// its accounting when it calls exec. Started from this small process instead, the
// figure is the command's own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: peak_rss OUTFILE COMMAND [ARGS...]\n");
        return 2;
    }
    const pid_t child = fork();
    if (child < 0) {
        std::perror("peak_rss: fork");
        return 2;
    }
    if (child == 0) {
        execvp(argv[2], argv + 2);
        std::perror("peak_rss: exec");
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (wait4(child, &status, 0, &usage) < 0) {
        std::perror("peak_rss: wait4");
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr || std::fprintf(out, "%ld\n", usage.ru_maxrss) < 0 || std::fclose(out) != 0) {
        std::perror("peak_rss: writing the result");
        return 2;
    }
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}
