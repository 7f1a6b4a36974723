// measure: runs commands several times and reports wall time and peak memory.
//
//   measure <runs> [--remove <path>] <command> [args...] [::: [--remove <path>] <command> ...]
//
// Each round runs every command once, in the order given, so that a change in the load of a
// shared machine falls on all of them alike. Before each run the --remove path is deleted
// (untimed): every run then writes a new file, as a user's first run does.
//
// Prints one line per command: median wall seconds, fastest wall seconds, largest peak RSS in
// MiB and median CPU seconds (user + system), all from wait4. CPU time shows the work done even
// when other processes hold the cores. Any run that fails or is killed ends with status 1.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Command {
  std::string remove;  // empty: nothing to delete before a run
  std::vector<char*> argv;
  std::vector<double> seconds;
  std::vector<double> cpu_seconds;
  long max_rss_kib = 0;
};

[[noreturn]] void fail(const std::string& text) {
  std::fprintf(stderr, "measure: %s\n", text.c_str());
  std::exit(1);
}

std::vector<Command> parse(int argc, char** argv, int first) {
  std::vector<Command> commands(1);
  for (int i = first; i < argc; ++i) {
    Command& current = commands.back();
    if (std::strcmp(argv[i], ":::") == 0) {
      commands.emplace_back();
    } else if (current.argv.empty() && std::strcmp(argv[i], "--remove") == 0 && i + 1 < argc) {
      current.remove = argv[++i];
    } else {
      current.argv.push_back(argv[i]);
    }
  }
  for (Command& command : commands) {
    if (command.argv.empty()) fail("a command is missing");
    command.argv.push_back(nullptr);
  }
  return commands;
}

double cpu(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

void run_once(Command& command) {
  if (!command.remove.empty() && ::unlink(command.remove.c_str()) != 0 && errno != ENOENT) {
    fail("cannot remove " + command.remove + ": " + std::strerror(errno));
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child < 0) fail(std::string("fork: ") + std::strerror(errno));
  if (child == 0) {
    ::execvp(command.argv[0], command.argv.data());
    std::fprintf(stderr, "measure: cannot run %s: %s\n", command.argv[0], std::strerror(errno));
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  while (::wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) fail(std::string("wait4: ") + std::strerror(errno));
  }
  const auto stop = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fail(std::string(command.argv[0]) + " failed (status " + std::to_string(status) + ")");
  }
  command.seconds.push_back(std::chrono::duration<double>(stop - start).count());
  command.cpu_seconds.push_back(cpu(usage.ru_utime) + cpu(usage.ru_stime));
  command.max_rss_kib = std::max(command.max_rss_kib, usage.ru_maxrss);  // KiB on Linux
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) fail("usage: measure <runs> [--remove <path>] <command> [args...] [::: ...]");
  char* end = nullptr;
  const long runs = std::strtol(argv[1], &end, 10);
  if (end == argv[1] || *end != '\0' || runs < 1 || runs > 1000) fail("bad run count");
  std::vector<Command> commands = parse(argc, argv, 2);

  for (long round = 0; round < runs; ++round) {
    for (Command& command : commands) run_once(command);
  }
  for (const Command& command : commands) {
    std::printf("%.4f %.4f %.1f %.4f\n", median(command.seconds),
                *std::min_element(command.seconds.begin(), command.seconds.end()),
                static_cast<double>(command.max_rss_kib) / 1024.0, median(command.cpu_seconds));
  }
  return 0;
}
