#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

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
#define EXPECT_FATAL(statement, text)                                        \
  EXPECT_EXIT(                                                               \
      {                                                                      \
        BRINTOM_NO_LEAK_CHECK();                                             \
        std::fflush(stdout);                                                 \
        ::dup2(STDERR_FILENO, STDOUT_FILENO);                                \
        statement;                                                           \
      },                                                                     \
      ::testing::ExitedWithCode(10), ::testing::Eq(std::string(text)))

namespace brintom::testing {

// A file name unique to the running test (ctest runs tests in parallel).
inline std::string temp_path(const std::string& suffix) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name() + suffix;
  for (char& c : name) {
    if (c == '/') c = '_';  // parameterised test names carry slashes
  }
  return "/tmp/brintom_" + std::to_string(::getpid()) + "_" + name;
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

// Resets the process-wide globals so that each test starts from process start.
class GlobalsTest : public ::testing::Test {
 protected:
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

}  // namespace brintom::testing
