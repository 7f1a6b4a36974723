// measure: runs commands several times and reports wall time and peak memory.
//
//   measure [--each] [--any-status] <runs> [--remove <path>] <command> [args...]
//           [::: [--remove <path>] <command> ...]
//
// Each round runs every command once, in the order given, so that a change in the load of a
// shared machine falls on all of them alike. Before each run the --remove path is deleted
// (untimed): every run then writes a new file, as a user's first run does.
//
// Prints one line per command: median wall seconds, fastest wall seconds, largest peak RSS in
// MiB and median CPU seconds (user + system), all from wait4. CPU time shows the work done even
// when other processes hold the cores. Then, with --any-status, the exit status (0 when every run
// exited 0, else the first other one; 128 + the signal for a run killed by one), and with --each
// every run's wall seconds followed by every run's CPU seconds, round by round, so that commands
// run side by side can be compared pair by pair. Without --any-status, any run that fails or is
// killed ends measure with status 1.
//
// A command's standard output goes to measure's standard error: measure's own output carries
// its figures alone, even when a command prints a message there.
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
  int status = 0;  // the first exit status other than 0, as a shell reports it
};

struct Options {
  bool each = false;        // print every run's seconds
  bool any_status = false;  // report a failed run instead of stopping
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

void run_once(Command& command, const Options& options) {
  if (!command.remove.empty() && ::unlink(command.remove.c_str()) != 0 && errno != ENOENT) {
    fail("cannot remove " + command.remove + ": " + std::strerror(errno));
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child < 0) fail(std::string("fork: ") + std::strerror(errno));
  if (child == 0) {
    if (::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) ::_exit(127);
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
    if (!options.any_status) {
      fail(std::string(command.argv[0]) + " failed (status " + std::to_string(status) + ")");
    }
    if (command.status == 0) {
      command.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
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
  Options options;
  int first = 1;
  for (; first < argc; ++first) {
    if (std::strcmp(argv[first], "--each") == 0) {
      options.each = true;
    } else if (std::strcmp(argv[first], "--any-status") == 0) {
      options.any_status = true;
    } else {
      break;
    }
  }
  if (argc - first < 2) {
    fail("usage: measure [--each] [--any-status] <runs> [--remove <path>] <command> [args...] "
         "[::: ...]");
  }
  char* end = nullptr;
  const long runs = std::strtol(argv[first], &end, 10);
  if (end == argv[first] || *end != '\0' || runs < 1 || runs > 1000) fail("bad run count");
  std::vector<Command> commands = parse(argc, argv, first + 1);

  for (long round = 0; round < runs; ++round) {
    for (Command& command : commands) run_once(command, options);
  }
  for (const Command& command : commands) {
    std::printf("%.4f %.4f %.1f %.4f", median(command.seconds),
                *std::min_element(command.seconds.begin(), command.seconds.end()),
                static_cast<double>(command.max_rss_kib) / 1024.0, median(command.cpu_seconds));
    if (options.any_status) std::printf(" %d", command.status);
    if (options.each) {
      for (const double seconds : command.seconds) std::printf(" %.4f", seconds);
      for (const double seconds : command.cpu_seconds) std::printf(" %.4f", seconds);
    }
    std::printf("\n");
  }
  return 0;
}
