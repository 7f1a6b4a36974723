// End to end: runs the built converter and checks its exit status, its output and its file.
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "test_support.hpp"

namespace brintom {
namespace {

using namespace std::string_literals;
using namespace testing;  // the helpers of test_support.hpp

struct Outcome {
  int status;  // -1 when a signal ended the converter
  std::string out, err;
};

// Runs the converter with its standard streams on files, or standard output on a pipe whose
// reader is gone.
Outcome run(const std::vector<std::string>& arguments, bool closed_pipe = false) {
  const std::string out_path = temp_path(".stdout"), err_path = temp_path(".stderr");
  int gone[2] = {-1, -1};
  if (closed_pipe) {
    EXPECT_EQ(::pipe(gone), 0);
    ::close(gone[0]);  // the reader is gone before the converter starts
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::freopen(out_path.c_str(), "wb", stdout);
    std::freopen(err_path.c_str(), "wb", stderr);
    if (closed_pipe) ::dup2(gone[1], STDOUT_FILENO);
    std::vector<char*> argv{const_cast<char*>(BRINTOM2VTK)};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // The converter frees nothing before it exits, by design: no leak report in sanitizer builds.
    ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    ::execv(BRINTOM2VTK, argv.data());
    ::_exit(127);
  }
  if (closed_pipe) ::close(gone[1]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out_path), read_file(err_path)};
}

const std::string kNoFile = "(no file)";
const std::string kUsage =
    "usage: brintom2vtk <base> <output> [binary | ascii | ascii-structured]\n";
const std::string kHead = "# vtk DataFile Version 3.0\nHead scan\n";
const std::string kGeometry =
    "DIMENSIONS 2 1 1\nSPACING 0.500000 1.000000 1.000000\nORIGIN 0.000000 0.000000 0.000000\n"
    "POINT_DATA 2\n";
const std::string kBinaryFile = kHead + "BINARY\nDATASET STRUCTURED_POINTS\n" + kGeometry +
                                "SCALARS scalars float\nLOOKUP_TABLE default\n" +
                                "\x3F\x80\x00\x00\xBF\x00\x00\x00\n"s;
const std::string kAsciiTail =
    "SCALARS voxel_values float 1\nLOOKUP_TABLE default\n    1.00    -0.50 ";
const std::string kAsciiFile = kHead + "ASCII\nDATASET RECTILINEAR_GRID\n" + kGeometry + kAsciiTail;
const std::string kStructured =
    kHead + "ASCII\nDATASET STRUCTURED_POINTS\n" + kGeometry + kAsciiTail;

class ConverterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(base_ + ".image", host_bytes(2, 1, 1, 1, 1.0f, -0.5f));
    write_file(base_ + ".txt", "Label {Head scan}\nColumnSpacing 0.5\n");
  }
  // Runs the converter, checks its status and both streams; returns what it wrote to out_.
  std::string check_run(const std::vector<std::string>& arguments, int status,
                        const std::string& out, const std::string& err = "") {
    std::remove(out_.c_str());
    const Outcome r = run(arguments);
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, err);
    return file_exists(out_) ? read_file(out_) : kNoFile;
  }
  std::string base_ = temp_path(""), out_ = temp_path(".vtk");
};

TEST_F(ConverterTest, ModeWordChoosesTheFile) {
  // Binary is the default; only the exact "ascii-structured" selects that file, and any other
  // word, near misses included, the plain ASCII file.
  // clang-format off
  const std::pair<std::vector<std::string>, const std::string*> cases[] = {
      {{}, &kBinaryFile}, {{"binary"}, &kBinaryFile}, {{"ascii-structured"}, &kStructured},
      {{"ascii"}, &kAsciiFile}, {{"Binary"}, &kAsciiFile}, {{"BINARY"}, &kAsciiFile},
      {{""}, &kAsciiFile}, {{"ASCII-STRUCTURED"}, &kAsciiFile},
      {{"ascii-structured "}, &kAsciiFile}, {{"ascii_structured"}, &kAsciiFile}};
  // clang-format on
  for (const auto& [mode, file] : cases) {
    std::vector<std::string> arguments{base_, out_};
    arguments.insert(arguments.end(), mode.begin(), mode.end());
    EXPECT_EQ(check_run(arguments, 0, ""), *file) << (mode.empty() ? "no word" : mode[0]);
  }
}

TEST_F(ConverterTest, UsageHelpVersionAndWrongArgumentCounts) {
  EXPECT_EQ(check_run({}, 10, kUsage), kNoFile);
  EXPECT_EQ(check_run({"-h"}, 0, kUsage), kNoFile);
  EXPECT_EQ(check_run({"--help"}, 0, kUsage), kNoFile);
  EXPECT_EQ(check_run({"--version"}, 0, "brintom2vtk " BRINTOM_VERSION_TEXT "\n"), kNoFile);
  // The base name alone, or a fourth word: the inputs are read, nothing is written.
  EXPECT_EQ(check_run({base_}, 0, ""), kNoFile);
  EXPECT_EQ(check_run({base_, out_, "binary", "extra"}, 0, ""), kNoFile);
  const std::string missing = " file " + base_ + "-missing.image cannot be opened";
  EXPECT_EQ(check_run({base_ + "-missing"}, 10, missing), kNoFile);
  std::remove((base_ + ".txt").c_str());  // no header file: nothing is written, silently
  EXPECT_EQ(check_run({base_, out_}, 0, ""), kNoFile);
}

TEST_F(ConverterTest, FatalMessagesOnStandardOutput) {
  write_file(base_ + ".txt", "ColumnSpacing 0.5 mm\n");
  EXPECT_EQ(check_run({base_, out_}, 10, "not a number"), kNoFile);
  write_file(base_ + ".txt", "");
  write_file(base_ + ".image", host_bytes(1, 1, 1, 2, 1.0f, 2.0f));
  EXPECT_EQ(check_run({base_, out_, "ascii"}, 10, "Cannot store this image in vtk format"),
            kNoFile);
  write_file(base_ + ".image", host_bytes(1, 1, 0, 1));
  const std::string impossible = " file " + base_ + ".image has an impossible image header";
  EXPECT_EQ(check_run({base_, out_}, 10, impossible), kNoFile);
  write_file(base_ + ".image", host_bytes(1, 1, 1, 1, 1.0f));
  check_run({base_, "/nonexistent/out.vtk"}, 10,
            "Image output file /nonexistent/out.vtkcannot be opened");
  check_run({base_, "/dev/full", "ascii"}, 10, "Image output file /dev/full cannot be written");
  // Standard output as the file, a pipe whose reader is gone: EPIPE, not death by a signal.
  EXPECT_EQ(run({base_, "/dev/stdout", "ascii"}, true).status, 10);
}

TEST_F(ConverterTest, TruncatedImageIsConvertedWithAWarning) {
  write_file(base_ + ".image", host_bytes(2, 1, 1, 1, 1.0f));
  const std::string warning =
      "warning: image file " + base_ + ".image is truncated: 1 voxels missing, read as 0.0\n";
  EXPECT_EQ(check_run({base_, out_}, 0, "", warning),
            kBinaryFile.substr(0, kBinaryFile.size() - 5) + "\0\0\0\0\n"s);
}

}  // namespace
}  // namespace brintom
