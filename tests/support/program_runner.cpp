#include "program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

void make_pipe(int fds[2]) {
  if (::pipe(fds) != 0) throw std::runtime_error(std::string("pipe failed: ") + std::strerror(errno));
  // Close-on-exec, so programs started by other threads do not hold our ends
  // open and delay the end of file.
  for (int i = 0; i < 2; ++i) ::fcntl(fds[i], F_SETFD, FD_CLOEXEC);
}

}  // namespace

ProgramResult run_program(const std::string& path, const std::vector<std::string>& args,
                          const std::string& input_path) {
  std::vector<std::string> argv_store;
  argv_store.reserve(args.size() + 1);
  argv_store.push_back(path);
  argv_store.insert(argv_store.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_store) argv.push_back(a.data());
  argv.push_back(nullptr);

  int out_pipe[2];
  int err_pipe[2];
  make_pipe(out_pipe);
  try {
    make_pipe(err_pipe);
  } catch (...) {
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    throw;
  }

  const pid_t pid = ::fork();
  if (pid < 0) {
    const int e = errno;
    for (int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) ::close(fd);
    throw std::runtime_error(std::string("fork failed: ") + std::strerror(e));
  }
  if (pid == 0) {
    // Child: only async-signal-safe calls until exec.
    const int null_fd = ::open(input_path.c_str(), O_RDONLY);
    if (null_fd < 0 || ::dup2(null_fd, STDIN_FILENO) < 0 || ::dup2(out_pipe[1], STDOUT_FILENO) < 0 ||
        ::dup2(err_pipe[1], STDERR_FILENO) < 0)
      ::_exit(127);
    ::execv(path.c_str(), argv.data());
    static const char msg[] = "run_program: exec failed\n";
    [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, msg, sizeof msg - 1);
    ::_exit(127);
  }

  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  ProgramResult result;
  // Both streams are drained together; reading one to its end first could
  // block forever on a child that fills the other pipe.
  struct pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  char buf[65536];
  while (open_count > 0) {
    const int r = ::poll(fds, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
      if (got > 0) {
        sinks[i]->append(buf, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;  // poll ignores negative descriptors
        --open_count;
      }
    }
  }
  for (auto& f : fds)
    if (f.fd >= 0) ::close(f.fd);

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error(std::string("waitpid failed: ") + std::strerror(errno));
  }
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A double as a default-formatted C++ stream prints it: 0, 2, -0.5, 0.015,
// 1e-05, 1.23457e+06.
bool is_number(const std::string& s) {
  size_t i = 0;
  const size_t n = s.size();
  if (i < n && s[i] == '-') ++i;
  const size_t int_start = i;
  while (i < n && is_digit(s[i])) ++i;
  if (i == int_start) return false;
  if (i < n && s[i] == '.') {
    const size_t frac_start = ++i;
    while (i < n && is_digit(s[i])) ++i;
    if (i == frac_start) return false;
  }
  if (i < n && s[i] == 'e') {
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    const size_t exp_start = i;
    while (i < n && is_digit(s[i])) ++i;
    if (i == exp_start) return false;
  }
  return i == n;
}

// "time N : " as printed before a figure on its own line.
bool is_counter_label(const std::string& line) {
  static const std::string head = "time ";
  static const std::string tail = " : ";
  if (line.size() <= head.size() + tail.size()) return false;
  if (line.compare(0, head.size(), head) != 0) return false;
  if (line.compare(line.size() - tail.size(), tail.size(), tail) != 0) return false;
  for (size_t i = head.size(); i < line.size() - tail.size(); ++i)
    if (!is_digit(line[i])) return false;
  return true;
}

// Label and figure on one line; only timing labels qualify, so counts such as
// "Nodes: 5" are left alone.
bool mask_labelled(std::string& line) {
  const size_t colon = line.rfind(": ");
  if (colon == std::string::npos) return false;
  const size_t value_start = colon + 2;
  const std::string label = line.substr(0, value_start);
  if (label.find("took") == std::string::npos && label != "Total time: ") return false;
  if (!is_number(line.substr(value_start))) return false;
  line.replace(value_start, std::string::npos, "<t>");
  return true;
}

}  // namespace

std::string mask_times(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  bool after_counter = false;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t nl = text.find('\n', pos);
    const size_t end = nl == std::string::npos ? text.size() : nl;
    std::string line = text.substr(pos, end - pos);
    std::string cr;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
      cr = "\r";
    }

    const bool counter = is_counter_label(line);
    if (after_counter && is_number(line))
      line = "<t>";
    else if (!counter)
      mask_labelled(line);
    after_counter = counter;

    result += line;
    result += cr;
    if (nl == std::string::npos) break;
    result += '\n';
    pos = nl + 1;
  }
  return result;
}
