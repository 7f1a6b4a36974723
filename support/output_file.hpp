#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

namespace brintom {

// An output file that a writer fills and then finishes. A failed write, flush or close is a
// failure, never a success: the incomplete file is removed (when it is a regular file) and the
// process ends with head + path + " cannot be written".
class OutputFile {
 public:
  // Opens path with "wb"; the caller reports an open failure with its own message.
  OutputFile(const char* path, const char* head);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool is_open() const { return file_ != nullptr; }
  std::FILE* stream() const { return file_; }

  // Writes size bytes; a short write is fatal at once, so a full disk stops the writer early.
  void write(const void* data, std::size_t size);
  void put(char c) { write(&c, 1); }
  // Flushes and closes; fatal when anything written so far did not reach the file.
  void finish();

 private:
  [[noreturn]] void fail();
  static void remove_if_regular(const char* path);

  std::FILE* file_;
  const char* path_;
  const char* head_;
};

// The heads of the writers' messages, one for each kind of data, written before the path:
// head + path + tail. The image and mask writers' open-failure tail follows the path directly.
// clang-format off
inline constexpr char kImageOutputHead[] = "Image output file ";
inline constexpr char kMaskOutputHead[]  = "Mask output file ";
inline constexpr char kMeshOutputHead[]  = "output file for mesh ";
inline constexpr char kCannotBeOpened[]  = "cannot be opened";
inline constexpr char kCannotBeWritten[] = " cannot be written";
// clang-format on

// Text for an OutputFile, gathered in one bounded buffer: print() appends what printf would
// write, and the buffer goes to the file whenever the next piece does not fit, so a writer's
// memory does not grow with its data.
class TextWriter {
 public:
  explicit TextWriter(OutputFile& out);
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Room for at least kRoom bytes at the end of the gathered text; the caller writes there and
  // hands the end of what it wrote to took(). Numbers go in this way, without a printf call.
  static constexpr std::size_t kRoom = 80;
  char* room() {
    if (kTextBufferBytes - used_ < kRoom) flush();
    return buffer_.get() + used_;
  }
  void took(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }
  void put(char c) {
    *room() = c;
    ++used_;
  }
  // Writes what is gathered and finishes the file.
  void finish();

 private:
  void flush();

  static constexpr std::size_t kTextBufferBytes = std::size_t{1} << 16;
  OutputFile& out_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
};

}  // namespace brintom
