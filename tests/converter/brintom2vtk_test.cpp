// End to end: runs the built converter and checks its exit status, its output and its file.
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <tuple>

#include "test_support.hpp"

namespace brintom {
namespace {

using namespace std::string_literals;
using namespace test;  // the helpers of test_support.hpp

// Runs the converter with its standard streams on files, or standard output on out_fd (a pipe),
// and with at most address_space bytes of address space when that is not 0.
Outcome run(const std::vector<std::string>& arguments, int out_fd = -1, rlim_t address_space = 0) {
  const std::string out_path = temp_path(".stdout"), err_path = temp_path(".stderr");
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::freopen(out_path.c_str(), "wb", stdout);
    std::freopen(err_path.c_str(), "wb", stderr);
    if (out_fd >= 0) ::dup2(out_fd, STDOUT_FILENO);
    const rlimit limit{address_space, address_space};
    if (address_space != 0) ::setrlimit(RLIMIT_AS, &limit);
    std::vector<char*> argv{const_cast<char*>(BRINTOM2VTK)};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // The converter frees nothing before it exits, by design: no leak report in sanitizer builds.
    ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    ::execv(BRINTOM2VTK, argv.data());
    ::_exit(127);
  }
  if (out_fd >= 0) ::close(out_fd);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out_path), read_file(err_path)};
}

// A pipe: [0] to read, [1] to write.
std::array<int, 2> new_pipe() {
  std::array<int, 2> ends{-1, -1};
  EXPECT_EQ(::pipe(ends.data()), 0);
  return ends;
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
    temp_path(".image");  // the inputs' names, so that they are removed when the test ends
    temp_path(".txt");
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
  const std::pair<std::vector<std::string>, const std::string*> cases[] = {
      {{}, &kBinaryFile},       {{"binary"}, &kBinaryFile}, {{"ascii-structured"}, &kStructured},
      {{"ascii"}, &kAsciiFile}, {{"Binary"}, &kAsciiFile},  {{"ascii-structured "}, &kAsciiFile}};
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
  for (const std::string& frames : {host_bytes(1, 1, 1, 2, 1.0f, 2.0f), host_bytes(1, 1, 1, 0)}) {
    write_file(base_ + ".image", frames);
    EXPECT_EQ(check_run({base_, out_, "ascii"}, 10, "Cannot store this image in vtk format"),
              kNoFile);
  }
  write_file(base_ + ".image", host_bytes(1, 1, 0, 1));
  const std::string impossible = " file " + base_ + ".image has an impossible image header";
  EXPECT_EQ(check_run({base_, out_}, 10, impossible), kNoFile);
  write_file(base_ + ".image", host_bytes(1, 1, 1, 1, 1.0f));
  check_run({base_, "/nonexistent/out.vtk"}, 10,
            "Image output file /nonexistent/out.vtkcannot be opened");
  check_run({base_, "/dev/full", "ascii"}, 10, "Image output file /dev/full cannot be written");
  // Standard output as the file, a pipe whose reader is gone: EPIPE, not death by a signal.
  const std::array<int, 2> gone = new_pipe();
  ::close(gone[0]);
  EXPECT_EQ(run({base_, "/dev/stdout", "ascii"}, gone[1]).status, 10);
}

TEST_F(ConverterTest, TruncatedImageIsConvertedWithAWarning) {
  write_file(base_ + ".image", host_bytes(2, 1, 1, 1, 1.0f) + "\x01\x02");  // half a voxel
  const std::string warning =
      "warning: image file " + base_ + ".image is truncated: 1 voxels missing, read as 0.0\n";
  EXPECT_EQ(check_run({base_, out_}, 0, "", warning),
            kBinaryFile.substr(0, kBinaryFile.size() - 5) + "\0\0\0\0\n"s);
}

TEST_F(ConverterTest, OutputThatIsTheInputAndPipedInputAreLoadedFirst) {
  // The output names the image itself, through a link: loaded whole before it is overwritten.
  const std::string image = base_ + ".image", link = temp_path(".link");
  ASSERT_EQ(::symlink(image.c_str(), link.c_str()), 0);
  EXPECT_EQ(run({base_, link}).status, 0);
  EXPECT_EQ(read_file(image), kBinaryFile);

  // A pipe tells no size, so it is read whole before the (absent) truncation warning is due.
  std::remove(image.c_str());
  ASSERT_EQ(::mkfifo(image.c_str(), 0600), 0);
  const pid_t writer = ::fork();
  if (writer == 0) {
    write_file(image, host_bytes(2, 1, 1, 1, 1.0f, -0.5f));
    ::_exit(0);
  }
  EXPECT_EQ(check_run({base_, out_}, 0, ""), kBinaryFile);
  ::kill(writer, SIGKILL);  // still waiting for a reader if the converter never opened the pipe
  ::waitpid(writer, nullptr, 0);
}

TEST_F(ConverterTest, VolumesBeyondAFrameAreConverted) {
  // 2048 x 1024 x 1025 voxels, above 2^31, in a sparse file of 8 GiB: the header goes down a pipe
  // whose reader leaves after it.
  const std::string image = base_ + ".image";
  write_file(image, host_bytes(2048, 1024, 1025, 1));
  ASSERT_EQ(::truncate(image.c_str(), 16 + 4LL * 2048 * 1024 * 1025), 0);
  const std::array<int, 2> pipe = new_pipe();
  const pid_t reader = ::fork();
  if (reader == 0) {
    ::close(pipe[1]);
    std::string text(4096, '\0');
    std::size_t size = 0;
    for (ssize_t got = 1; got > 0 && size < text.size(); size += static_cast<std::size_t>(got)) {
      got = std::max<ssize_t>(::read(pipe[0], &text[size], text.size() - size), 0);
    }
    text.resize(size);
    ::_exit(text.find("\nPOINT_DATA 2149580800\n") != std::string::npos ? 0 : 1);
  }
  ::close(pipe[0]);
  EXPECT_EQ(run({base_, "/dev/stdout"}, pipe[1]).status, 10);  // the reader left: EPIPE
  int status = -1;
  ::waitpid(reader, &status, 0);
  EXPECT_EQ(status, 0) << "no full point count in the header";
}

TEST_F(ConverterTest, ConvertsAVolumeLargerThanItsAddressSpace) {
#ifdef BRINTOM_SANITIZE
  GTEST_SKIP() << "the sanitizers reserve far more address space than the limit";
#endif
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload != nullptr && std::strstr(preload, "vgpreload") != nullptr) {
    GTEST_SKIP() << "valgrind needs far more address space than the limit";
  }
  // 64 MiB of voxels (a sparse file: only memory matters here) under a 32 MiB limit.
  const std::string image = base_ + ".image";
  write_file(image, host_bytes(256, 256, 256, 1));
  ASSERT_EQ(::truncate(image.c_str(), 16 + (64 << 20)), 0);
  const std::string geometry =
      "DIMENSIONS 256 256 256\nSPACING 0.500000 1.000000 1.000000\n"
      "ORIGIN 0.000000 0.000000 0.000000\nPOINT_DATA 16777216\n";
  // Each mode's header, and the bytes of the values after it.
  const std::tuple<const char*, std::string, long long> modes[] = {
      {"binary", "BINARY\nDATASET STRUCTURED_POINTS\n" + geometry + "SCALARS scalars float\n",
       (64 << 20) + 1},
      {"ascii", "ASCII\nDATASET RECTILINEAR_GRID\n" + geometry + "SCALARS voxel_values float 1\n",
       16777216LL * 9 + 16777216 / 8}};  // "    0.00 ", eight a line
  for (const auto& [mode, header, value_bytes] : modes) {
    const Outcome r = run({base_, out_, mode}, -1, 32 << 20);
    EXPECT_EQ(r.status, 0) << mode << ": " << r.out << r.err;
    const std::string head = kHead + header + "LOOKUP_TABLE default\n";
    std::string start(head.size(), '\0');
    std::ifstream(out_, std::ios::binary).read(start.data(), static_cast<long>(start.size()));
    EXPECT_EQ(start, head);
    struct stat info {};
    EXPECT_EQ(::stat(out_.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, static_cast<long long>(head.size()) + value_bytes) << mode;
  }
}

}  // namespace
}  // namespace brintom
