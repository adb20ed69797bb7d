#include "pgsolve/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// A name of the table or its number; "auto" is the race, which is no row.
const Algorithm* algorithm_named(const std::string& text) {
  const Algorithm* by_name = find_algorithm(text);
  if (by_name != nullptr) return by_name;
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9) return nullptr;
  return find_algorithm(static_cast<unsigned int>(std::stoul(text)));
}

bool parse_count(const std::string& text, int& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 6) return false;
  value = std::stoi(text);
  return value > 0;
}

bool parse_seconds(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && *end == '\0' && std::isfinite(value) && value > 0 &&
         text.find_first_of("xXpP") == std::string::npos;
}

}  // namespace

std::string parse_options(int argc, char** argv, Options& o) {
  o = Options();
  std::vector<std::string> games;
  bool only_games = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (only_games || arg == "-" || arg.empty() || arg[0] != '-') {
      games.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_games = true;
      continue;
    }
    // The option's name and, for those that take one, its value: "--name=value",
    // "--name value", "-xvalue" or "-x value".
    std::string name = arg;
    std::string value;
    bool has_value = false;
    if (arg.compare(0, 2, "--") == 0) {
      const std::size_t equals = arg.find('=');
      if (equals != std::string::npos) {
        name = arg.substr(0, equals);
        value = arg.substr(equals + 1);
        has_value = true;
      }
    } else if (arg.size() > 2) {
      name = arg.substr(0, 2);
      value = arg.substr(2);
      has_value = true;
    }
    const bool takes_value = name == "-a" || name == "--algorithm" || name == "-o" || name == "--solution" ||
                             name == "--check" || name == "-t" || name == "--threads" || name == "--timeout";
    if (takes_value && !has_value) {
      if (i + 1 >= argc) return "option " + name + " needs a value";
      value = argv[++i];
    } else if (!takes_value && has_value) {
      if (arg.compare(0, 2, "--") == 0) return "option " + name + " takes no value";
      return "unknown option " + arg;
    }

    if (name == "-a" || name == "--algorithm") {
      o.algorithm = value == "auto" ? nullptr : algorithm_named(value);
      if (o.algorithm == nullptr && value != "auto") return "unknown algorithm " + value + " (see --list-algorithms)";
    } else if (name == "-o" || name == "--solution") {
      if (value.empty()) return "option " + name + " needs a file name";
      o.solution_file = value;
    } else if (name == "--check") {
      if (value.empty()) return "option " + name + " needs a file name";
      o.check_file = value;
    } else if (name == "-t" || name == "--threads") {
      if (!parse_count(value, o.threads)) return "option " + name + " needs a positive whole number, not " + value;
    } else if (name == "--timeout") {
      if (!parse_seconds(value, o.timeout))
        return "option " + name + " needs a positive number of seconds, not " + value;
    } else if (name == "-p" || name == "--print") {
      o.print = true;
    } else if (name == "--verify") {
      o.verify = true;
    } else if (name == "-q" || name == "--quiet") {
      o.quiet = true;
    } else if (name == "-v" || name == "--verbose") {
      o.verbose = true;
    } else if (name == "-h" || name == "--help") {
      o.action = Options::Action::help;
    } else if (name == "--version") {
      if (o.action != Options::Action::help) o.action = Options::Action::version;
    } else if (name == "--list-algorithms") {
      if (o.action == Options::Action::solve) o.action = Options::Action::list_algorithms;
    } else {
      return "unknown option " + arg;
    }
  }
  if (o.action != Options::Action::solve) return "";
  if (games.size() > 1) return "more than one game given: " + games[0] + " and " + games[1];
  if (!games.empty()) o.game = games[0];
  if (o.quiet && o.verbose) return "options -q and -v exclude each other";
  if (!o.check_file.empty()) {
    if (!o.solution_file.empty() || o.print || o.verify)
      return "option --check only verifies: it takes no -o, -p or --verify";
    o.action = Options::Action::check;
  }
  if (o.game == "-" && o.check_file == "-") return "the game and the solution cannot both come from standard input";
  return "";
}

std::string help_text() {
  return "Usage: pgsolve [OPTIONS] [GAME]\n"
         "Solves the parity game in GAME (PGSolver format; plain, gzip or bzip2;\n"
         "standard input when GAME is - or missing).\n"
         "\n"
         "  -a, --algorithm NAME   solver by name or number (default auto; see --list-algorithms)\n"
         "      --list-algorithms  print the table of algorithms\n"
         "  -o, --solution FILE    write the solution (PGSolver's paritysol format) to FILE\n"
         "  -p, --print            write the solution to standard output\n"
         "      --verify           verify the solution before writing it; fail if it does not hold\n"
         "      --check SOLUTION   only verify the solution in SOLUTION (- standard input) against the game\n"
         "  -t, --threads N        worker threads of the host backend\n"
         "      --timeout SECONDS  stop after SECONDS with status 1\n"
         "  -q, --quiet            no report on standard error\n"
         "  -v, --verbose          phase times on standard error\n"
         "      --version          print the version\n"
         "  -h, --help             print this help\n"
         "\n"
         "Exit status: 0 solved (and verified where asked), 1 bad input, failed solve,\n"
         "failed verification or timeout, 2 wrong command line.\n";
}
