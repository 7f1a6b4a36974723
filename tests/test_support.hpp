#pragma once

// Every test file includes this header, and with it the system and standard headers below.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "support/ledger.hpp"
#include "support/settings.hpp"

#ifdef BRINTOM_SANITIZE  // defined by CMake in the sanitizer build
#include <sanitizer/lsan_interface.h>
#define BRINTOM_NO_LEAK_CHECK() __lsan_disable()
#else
#define BRINTOM_NO_LEAK_CHECK() ((void)0)
#endif

// Fatal messages go to stdout, but a death test sees only stderr: the child points stdout at
// stderr. Eq: the exact text, newline included.
#define EXPECT_FATAL(statement, text)         \
  EXPECT_EXIT(                                \
      {                                       \
        BRINTOM_NO_LEAK_CHECK();              \
        std::fflush(stdout);                  \
        ::dup2(STDERR_FILENO, STDOUT_FILENO); \
        statement;                            \
      },                                      \
      ::testing::ExitedWithCode(10), ::testing::Eq(std::string(text)))

namespace brintom::test {

// Tests named Sweep* compare many generated inputs against the C library. Day to day they take a
// sample; with BRINTOM_LONG_TESTS=1 (the ctest entry labelled slow) the full count.
inline bool long_mode() {
  const char* value = std::getenv("BRINTOM_LONG_TESTS");
  return value != nullptr && *value != '\0' && std::string(value) != "0";
}

// The sweeps' random seed: fixed, so a failure repeats, unless BRINTOM_SEED names another.
inline unsigned sweep_seed() {
  const char* value = std::getenv("BRINTOM_SEED");
  const unsigned seed =
      value != nullptr ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : 20261206u;
  ::testing::Test::RecordProperty("seed", static_cast<int>(seed));
  return seed;
}

// A file name unique to the running test, in a folder of the process's own that goes when the
// process exits (a death test's child leaves it alone).
inline std::string temp_path(const std::string& suffix) {
  static const pid_t owner = ::getpid();
  static const std::string& folder = *[] {  // never destroyed: the exit handler comes later
    char name[] = "/tmp/brintom_XXXXXX";
    std::atexit([] {
      if (::getpid() == owner) std::filesystem::remove_all(folder);
    });
    return new std::string(::mkdtemp(name));
  }();
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name() + suffix;
  for (char& c : name) {
    if (c == '/') c = '_';  // parameterised test names carry slashes
  }
  return folder + "/" + name;
}

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool file_exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// A file size limit stands in for a full disk: writes past 16 KiB fail with EFBIG. For the child
// of a death test.
inline void limit_file_size() {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{16384, 16384};
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

// How a program run from a test ended: its status (-1 when a signal ended it) and what it printed.
struct Outcome {
  int status;
  std::string out, err;
};

// Resets the process-wide globals so that each test starts from process start; path_ is a
// scratch output file.
class GlobalsTest : public ::testing::Test {
 protected:
  std::string path_ = temp_path(".vtk");
  void SetUp() override {
    Tmem = Tmemax = Vecnt = Ivecnt = Matcnt = Imatcnt = Imgcnt = Mskcnt = 0;
    ColumnSpacing = RowSpacing = SliceSpacing = 1.0f;
    ColumnOrigin = RowOrigin = SliceOrigin = 0.0f;
    Label = nullptr;
  }
  void TearDown() override {
    std::free(Label);
    Label = nullptr;
  }
};

// Float bits, a library string taken over as a std::string, and printf into a std::string (the
// compiler checks each call's format).
inline std::uint32_t bits_of(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}
inline float float_of(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
inline std::string take(char* s) {
  const std::string text(s);
  std::free(s);
  return text;
}
[[gnu::format(printf, 1, 2)]] inline std::string printed(const char* format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  std::string text(static_cast<std::size_t>(std::vsnprintf(nullptr, 0, format, args)), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, again);  // C++17: data()[size()] is ours
  va_end(again);
  va_end(args);
  return text;
}

// A temporary file holding bytes, removed when the test ends.
inline std::string temp_file(const std::string& bytes, const std::string& suffix = ".vtk") {
  const std::string path = temp_path(suffix);
  write_file(path, bytes);
  return path;
}

// A file, and either what reading it gives (with what went to standard error after it) or the
// fatal message the read ends with; %s stands for the file's path.
struct ReadRow {
  std::string text, gives, refused;
};

// Runs each row through read(path), which describes what it loaded and releases it again:
// nothing may be written to standard output, nor stay accounted.
template <typename Read>
void expect_reads(const std::vector<ReadRow>& rows, Read read) {
  for (const ReadRow& row : rows) {
    const std::string path = temp_file(row.text);
    std::string expected = row.refused.empty() ? row.gives : row.refused;
    if (expected.find("%s") != std::string::npos) expected.replace(expected.find("%s"), 2, path);
    if (!row.refused.empty()) {
      EXPECT_FATAL(read(path.c_str()), expected) << row.text;
      continue;
    }
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    std::string gives = read(path.c_str());
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << row.text;
    EXPECT_EQ(gives + (err.empty() ? "" : " " + err), expected) << row.text;
    EXPECT_EQ(Tmem, 0) << row.text;
  }
}

// The host-order bytes of each value in turn, as the native files hold them: host_bytes(4, 0.5f).
template <typename... T>
std::string host_bytes(const T&... values) {
  std::string bytes;
  (bytes.append(reinterpret_cast<const char*>(&values), sizeof values), ...);
  return bytes;
}

// The same bytes, most significant first, as legacy VTK binary files hold them.
template <typename... T>
std::string big_endian_bytes(const T&... values) {
  std::string bytes;
  const auto append = [&](const auto& value) {
    const std::string host = host_bytes(value);
    bytes.append(host.rbegin(), host.rend());
  };
  (append(values), ...);
  return bytes;
}

}  // namespace brintom::test
