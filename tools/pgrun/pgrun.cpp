// pgrun: runs a program and writes its peak resident memory and CPU times to
// a file. A process forked from a large one (the Python harness) starts with
// the parent's pages counted in its peak; started from this small program, a
// solver's peak is its own.
//
//   pgrun REPORT PROGRAM [ARGS...]
//
// REPORT receives one line "maxrss_kib user_s system_s". The exit status is
// the program's, or 128 + the signal that ended it.
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "Usage: pgrun REPORT PROGRAM [ARGS...]\n");
    return 2;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("pgrun: fork");
    return 2;
  }
  if (pid == 0) {
    execv(argv[2], argv + 2);
    std::fprintf(stderr, "pgrun: cannot run %s: %s\n", argv[2], std::strerror(errno));
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      std::perror("pgrun: wait4");
      return 2;
    }
  }
  if (FILE* report = std::fopen(argv[1], "w")) {
    std::fprintf(report, "%ld %.6f %.6f\n", usage.ru_maxrss, usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6,
                 usage.ru_stime.tv_sec + usage.ru_stime.tv_usec * 1e-6);
    std::fclose(report);
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 2;
}
