#include "test_game.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <utility>

uint32_t TestGame::add_node(uint32_t c, uint8_t o, std::vector<uint32_t> s) {
  const uint32_t index = size();
  id.push_back(index);
  color.push_back(c);
  owner.push_back(o);
  succ.push_back(std::move(s));
  return index;
}

std::string to_pgsolver(const TestGame& game, bool with_header) {
  std::string text;
  const uint32_t n = game.size();
  if (with_header) text += "parity " + std::to_string(n == 0 ? 0 : n - 1) + ";\n";
  for (uint32_t v = 0; v < n; ++v) {
    text += std::to_string(game.id[v]);
    text += ' ';
    text += std::to_string(game.color[v]);
    text += ' ';
    text += std::to_string(static_cast<unsigned>(game.owner[v]));
    text += ' ';
    for (size_t i = 0; i < game.succ[v].size(); ++i) {
      if (i > 0) text += ',';
      const uint32_t s = game.succ[v][i];
      if (s >= n) throw std::out_of_range("to_pgsolver: successor index out of range");
      text += std::to_string(game.id[s]);
    }
    text += ";\n";
  }
  return text;
}

namespace {

// All files of one test process live in one directory, made on first use and
// removed at exit so that repeated test runs do not litter the temp area.
struct TempArea {
  std::mutex lock;
  std::string dir;
  std::vector<std::string> files;
  unsigned long counter = 0;

  ~TempArea() {
    for (const auto& f : files) ::unlink(f.c_str());
    if (!dir.empty()) ::rmdir(dir.c_str());
  }

  const std::string& directory() {
    if (dir.empty()) {
      const char* base = std::getenv("TMPDIR");
      std::string pattern = (base && *base) ? base : "/tmp";
      pattern += "/pg-tests-XXXXXX";
      std::vector<char> buf(pattern.begin(), pattern.end());
      buf.push_back('\0');
      if (::mkdtemp(buf.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed for " + pattern + ": " + std::strerror(errno));
      dir = buf.data();
    }
    return dir;
  }
};

TempArea& temp_area() {
  static TempArea area;
  return area;
}

}  // namespace

std::string write_temp_file(const std::string& text, const std::string& stem) {
  TempArea& area = temp_area();
  std::lock_guard<std::mutex> guard(area.lock);
  const std::string& dir = area.directory();

  // Keep an extension the caller asked for ("game.gm" -> "game-3.gm").
  const std::string number = std::to_string(area.counter++);
  const size_t dot = stem.find_last_of('.');
  std::string name = (dot == std::string::npos || dot == 0)
                         ? stem + "-" + number
                         : stem.substr(0, dot) + "-" + number + stem.substr(dot);
  const std::string path = dir + "/" + name;

  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
  area.files.push_back(path);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t w = ::write(fd, text.data() + done, text.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      const int e = errno;
      ::close(fd);
      throw std::runtime_error("cannot write " + path + ": " + std::strerror(e));
    }
    done += static_cast<size_t>(w);
  }
  if (::close(fd) != 0) throw std::runtime_error("cannot close " + path);
  return path;
}
