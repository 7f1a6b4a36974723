#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

namespace brintom {

// The heads of the writers' messages, one for each kind of data, written before the path:
// head + path + tail. The image and mask writers' open-failure tail follows the path directly,
// as does the native mask reader's.
// clang-format off
inline constexpr char kImageOutputHead[] = "Image output file ";
inline constexpr char kMaskOutputHead[]  = "Mask output file ";
inline constexpr char kMeshOutputHead[]  = "output file for mesh ";
inline constexpr char kCannotBeOpened[]  = "cannot be opened";
inline constexpr char kCannotBeWritten[] = " cannot be written";
// The VTK writers' message when their output buffer cannot be had.
inline constexpr char kWriterAllocationFailure[] = "allocation error in vtk writer";
// clang-format on

// How a writer says that its file cannot be opened: head + path + tail. Without a head, the
// writer's own head and kCannotBeOpened.
struct OpenFailure {
  const char* head = nullptr;
  const char* tail = kCannotBeOpened;
};

// Internal: how a command makes its outputs appear whole. stage gives the file to write in place
// of path (path itself to write it directly; null when no file can be made there, which is the
// open failure); commit puts a complete staged file in place of path and says whether it could;
// drop removes a staged file after a failure. Without it, as the library's own default, writers
// write to path itself.
struct OutputStaging {
  const char* (*stage)(const char* path);
  bool (*commit)(const char* staged, const char* path);
  void (*drop)(const char* staged);
};
// Null restores the default. The staging must outlive every OutputFile opened under it.
void set_output_staging(const OutputStaging* staging);

// An output file that a writer fills and then finishes. Opening it is fatal with its open-failure
// message when the file cannot be made. A failed write, flush or close is a failure, never a
// success: the incomplete file is removed (when it is a regular file) and the process ends with
// head + path + " cannot be written" (or, given up by abandon, its message).
class OutputFile {
 public:
  OutputFile(const char* path, const char* head, OpenFailure cannot_open = {});
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Writes size bytes; a short write is fatal at once, so a full disk stops the writer early.
  void write(const void* data, std::size_t size);
  // Writes size bytes over those written from offset on (a header that the data's size decides,
  // written again once the data are), then goes on at the end. Fatal as write is; so is a file
  // that cannot be rewritten (a pipe).
  void write_at(long offset, const void* data, std::size_t size);
  // The bytes written so far.
  long long size() const { return size_; }
  // Flushes and closes; fatal when anything written so far did not reach the file.
  void finish();
  // Gives the file up: closes it, removes it (when it is a regular file) and ends with message.
  [[noreturn]] void abandon(const char* message);

 private:
  [[noreturn]] void fail();
  void give_up();  // closes the file and removes it when it is a regular file

  std::FILE* file_;
  const char* path_;
  const char* head_;
  const char* written_;  // path_, or the staged file that takes its place when complete
  long long size_ = 0;
};

// An OutputFile with one bounded buffer, taken before the file is opened so that running out of
// memory leaves no file behind. Text gathers in the buffer and goes to the file whenever the
// next piece does not fit, so a writer's memory does not grow with its data.
class BufferedOutput {
 public:
  // The buffer of the mask and mesh writers; a bulk writer asks for more.
  static constexpr std::size_t kDefaultCapacity = std::size_t{1} << 16;

  // Takes capacity bytes (fatal no_memory without them), then opens path as OutputFile does.
  BufferedOutput(const char* path, const char* head, const char* no_memory,
                 std::size_t capacity = kDefaultCapacity, OpenFailure cannot_open = {});
  BufferedOutput(const BufferedOutput&) = delete;
  BufferedOutput& operator=(const BufferedOutput&) = delete;

  // Appends what printf would write.
  void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Room for at least `bytes` (at most the capacity) at the end of what is gathered; the caller
  // writes there and hands the end of what it wrote to took(). Numbers go in this way, without a
  // printf call, and swapped binary values.
  static constexpr std::size_t kRoom = 80;
  char* room(std::size_t bytes = kRoom) {
    if (capacity_ - used_ < bytes) flush();
    return buffer_.get() + used_;
  }
  void took(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }
  void put(char c) {
    *room() = c;
    ++used_;
  }
  // Sends what is gathered, then size bytes straight from data.
  void write(const void* data, std::size_t size) {
    flush();
    out_.write(data, size);
  }
  // Writes what is gathered and finishes the file.
  void finish();
  [[noreturn]] void abandon(const char* message) { out_.abandon(message); }

 private:
  void flush();

  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;  // before out_: taken before the file is opened
  std::size_t used_ = 0;
  OutputFile out_;
};

}  // namespace brintom
