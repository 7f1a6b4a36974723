// End to end: runs the built converter and checks its exit status, its output and its file.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace brintom {
namespace {

using namespace std::string_literals;
using testing::file_exists;
using testing::read_file;
using testing::temp_path;
using testing::write_file;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string drain(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

Outcome run(const std::vector<std::string>& arguments) {
  const std::string err_path = temp_path(".stderr");
  int out_pipe[2];
  EXPECT_EQ(::pipe(out_pipe), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out_pipe[1], STDOUT_FILENO);
    std::FILE* err = std::fopen(err_path.c_str(), "wb");
    ::dup2(fileno(err), STDERR_FILENO);
    ::close(out_pipe[0]);
    std::vector<char*> argv{const_cast<char*>(BRINTOM2VTK)};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // The converter frees nothing before it exits, by design: no leak report in sanitizer builds.
    ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    ::execv(BRINTOM2VTK, argv.data());
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  Outcome result{};
  result.out = drain(out_pipe[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = read_file(err_path);
  std::remove(err_path.c_str());
  return result;
}

std::string native_image(std::vector<std::int32_t> header, const std::vector<float>& voxels) {
  std::string bytes(reinterpret_cast<const char*>(header.data()), header.size() * 4);
  bytes.append(reinterpret_cast<const char*>(voxels.data()), voxels.size() * 4);
  return bytes;
}

class ConverterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(base_ + ".image", native_image({2, 1, 1, 1}, {1.0f, -0.5f}));
    write_file(base_ + ".txt", "Label {Head scan}\nColumnSpacing 0.5\n");
  }
  void TearDown() override {
    for (const char* suffix : {".image", ".txt"}) std::remove((base_ + suffix).c_str());
    std::remove(out_.c_str());
  }
  std::string base_ = temp_path("");
  std::string out_ = temp_path(".vtk");
};

const std::string kUsage =
    "usage: brintom2vtk <base> <output> [binary | ascii | ascii-structured]\n";
const std::string kHeadLines = "# vtk DataFile Version 3.0\nHead scan\n";
const std::string kGeometry =
    "DIMENSIONS 2 1 1\nSPACING 0.500000 1.000000 1.000000\nORIGIN 0.000000 0.000000 0.000000\n"
    "POINT_DATA 2\n";
const std::string kBinaryFile = kHeadLines + "BINARY\nDATASET STRUCTURED_POINTS\n" + kGeometry +
                                "SCALARS scalars float\nLOOKUP_TABLE default\n" +
                                "\x3F\x80\x00\x00\xBF\x00\x00\x00\n"s;
const std::string kAsciiFile = kHeadLines + "ASCII\nDATASET RECTILINEAR_GRID\n" + kGeometry +
                               "SCALARS voxel_values float 1\nLOOKUP_TABLE default\n" +
                               "    1.00    -0.50 ";

TEST_F(ConverterTest, BinaryIsTheDefault) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{base_, out_}, std::vector<std::string>{base_, out_, "binary"}}) {
    std::remove(out_.c_str());
    const Outcome r = run(arguments);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(out_), kBinaryFile);
  }
}

TEST_F(ConverterTest, AnyOtherModeWordGivesAscii) {
  for (const char* mode : {"ascii", "Binary", "BINARY", ""}) {
    std::remove(out_.c_str());
    const Outcome r = run({base_, out_, mode});
    EXPECT_EQ(r.status, 0) << mode;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_file(out_), kAsciiFile) << mode;
  }
}

TEST_F(ConverterTest, AsciiStructuredModeWritesStructuredPoints) {
  std::string expected = kAsciiFile;
  expected.replace(expected.find("RECTILINEAR_GRID"), 16, "STRUCTURED_POINTS");
  Outcome r = run({base_, out_, "ascii-structured"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(read_file(out_), expected);
  // Only the exact word selects it; near misses are any other word: the plain ASCII file.
  for (const char* mode : {"ASCII-STRUCTURED", "ascii-structured ", "ascii_structured"}) {
    std::remove(out_.c_str());
    r = run({base_, out_, mode});
    EXPECT_EQ(r.status, 0) << mode;
    EXPECT_EQ(read_file(out_), kAsciiFile) << mode;
  }
}

TEST_F(ConverterTest, WrongArgumentCountsWriteNothing) {
  Outcome r = run({});
  EXPECT_EQ(r.status, 10);
  EXPECT_EQ(r.out, kUsage);
  r = run({base_});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  r = run({base_, out_, "binary", "extra"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(file_exists(out_));
  // The inputs are still read: a missing image is fatal even then.
  r = run({base_ + "-missing"});
  EXPECT_EQ(r.status, 10);
  EXPECT_EQ(r.out, " file " + base_ + "-missing.image cannot be opened");
}

TEST_F(ConverterTest, HelpAndVersion) {
  for (const char* flag : {"-h", "--help"}) {
    const Outcome r = run({flag});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kUsage);
  }
  const Outcome r = run({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "brintom2vtk " BRINTOM_VERSION_TEXT "\n");
}

TEST_F(ConverterTest, MissingHeaderFileWritesNothingSilently) {
  std::remove((base_ + ".txt").c_str());
  const Outcome r = run({base_, out_});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(file_exists(out_));
}

TEST_F(ConverterTest, FatalMessagesOnStandardOutput) {
  write_file(base_ + ".txt", "ColumnSpacing 0.5 mm\n");
  Outcome r = run({base_, out_});
  EXPECT_EQ(r.status, 10);
  EXPECT_EQ(r.out, "not a number");
  EXPECT_FALSE(file_exists(out_));

  write_file(base_ + ".txt", "");
  write_file(base_ + ".image", native_image({1, 1, 1, 2}, {1.0f, 2.0f}));
  r = run({base_, out_, "ascii"});
  EXPECT_EQ(r.status, 10);
  EXPECT_EQ(r.out, "Cannot store this image in vtk format");
  EXPECT_FALSE(file_exists(out_));

  write_file(base_ + ".image", native_image({1, 1, 0, 1}, {}));
  r = run({base_, out_});
  EXPECT_EQ(r.status, 10);
  EXPECT_EQ(r.out, " file " + base_ + ".image has an impossible image header");

  write_file(base_ + ".image", native_image({1, 1, 1, 1}, {1.0f}));
  r = run({base_, "/nonexistent/out.vtk"});
  EXPECT_EQ(r.status, 10);
  EXPECT_EQ(r.out, "Image output file /nonexistent/out.vtkcannot be opened");
  r = run({base_, "/dev/full", "ascii"});
  EXPECT_EQ(r.status, 10);
  EXPECT_EQ(r.out, "Image output file /dev/full cannot be written");
}

TEST_F(ConverterTest, ClosedPipeIsAWriteFailureNotASignal) {
  // The output is standard output, a pipe whose reader is gone: EPIPE, exit status 10.
  int out_pipe[2];
  ASSERT_EQ(::pipe(out_pipe), 0);
  ::close(out_pipe[0]);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out_pipe[1], STDOUT_FILENO);
    ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    ::execl(BRINTOM2VTK, BRINTOM2VTK, base_.c_str(), "/dev/stdout", "ascii", nullptr);
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 10);
}

TEST_F(ConverterTest, TruncatedImageIsConvertedWithAWarning) {
  write_file(base_ + ".image", native_image({2, 1, 1, 1}, {1.0f}));
  const Outcome r = run({base_, out_});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "warning: image file " + base_ + ".image is truncated: 1 voxels missing, read as 0.0\n");
  const std::string file = read_file(out_);
  EXPECT_EQ(file.substr(file.size() - 9), "\x3F\x80\x00\x00\x00\x00\x00\x00\n"s);
}

}  // namespace
}  // namespace brintom
