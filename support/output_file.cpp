#include "support/output_file.hpp"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "support/fatal.hpp"

namespace brintom {

namespace {

const OutputStaging* staging = nullptr;

}  // namespace

void set_output_staging(const OutputStaging* to) { staging = to; }

OutputFile::OutputFile(const char* path, const char* head, OpenFailure cannot_open)
    : file_(nullptr),
      path_(path),
      head_(head),
      written_(staging != nullptr ? staging->stage(path) : path) {
  if (written_ != nullptr) file_ = std::fopen(written_, "wb");
  if (file_ == nullptr) {
    if (written_ != nullptr && written_ != path_) staging->drop(written_);
    file_error(cannot_open.head != nullptr ? cannot_open.head : head, path, cannot_open.tail);
  }
}

OutputFile::~OutputFile() {
  if (file_ != nullptr) std::fclose(file_);
}

void OutputFile::write(const void* data, std::size_t size) {
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) fail();
  size_ += static_cast<long long>(size);
}

void OutputFile::write_at(long offset, const void* data, std::size_t size) {
  if (std::fseek(file_, offset, SEEK_SET) != 0 || std::fwrite(data, 1, size, file_) != size ||
      std::fseek(file_, 0, SEEK_END) != 0) {
    fail();
  }
}

void OutputFile::finish() {
  if (std::ferror(file_) || std::fflush(file_) != 0) fail();
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) fail();
  if (written_ != path_ && !staging->commit(written_, path_)) fail();
}

void OutputFile::fail() {
  give_up();
  file_error(head_, path_, kCannotBeWritten);
}

void OutputFile::abandon(const char* message) {
  give_up();
  error_message(message);
}

void OutputFile::give_up() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (written_ != path_) {
    if (written_ != nullptr) staging->drop(written_);
    return;
  }
  // A device such as /dev/full is left alone; only a regular file holds a partial result. Through
  // a symbolic link, the file it names is removed and the link stays.
  char* target = ::realpath(path_, nullptr);
  struct stat info {};
  if (target != nullptr && ::stat(target, &info) == 0 && S_ISREG(info.st_mode)) {
    std::remove(target);
  }
  std::free(target);
}

namespace {

char* take_buffer(std::size_t capacity, const char* no_memory) {
  char* buffer = new (std::nothrow) char[capacity];
  if (buffer == nullptr) error_message(no_memory);
  return buffer;
}

}  // namespace

BufferedOutput::BufferedOutput(const char* path, const char* head, const char* no_memory,
                               std::size_t capacity, OpenFailure cannot_open)
    : capacity_(capacity),
      buffer_(take_buffer(capacity, no_memory)),
      out_(path, head, cannot_open) {}

void BufferedOutput::print(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::va_list again;
  va_copy(again, arguments);
  const std::size_t room = capacity_ - used_;
  const int length = std::vsnprintf(buffer_.get() + used_, room, format, arguments);
  va_end(arguments);
  if (length >= 0 && static_cast<std::size_t>(length) < room) {
    used_ += static_cast<std::size_t>(length);
  } else if (length >= 0) {
    // It did not fit: send what came before it, then the piece itself, which may be longer than
    // the whole buffer (a caller's title).
    flush();
    std::string piece(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(piece.data(), piece.size(), format, again);
    if (static_cast<std::size_t>(length) < capacity_) {
      std::memcpy(buffer_.get(), piece.data(), static_cast<std::size_t>(length));
      used_ = static_cast<std::size_t>(length);
    } else {
      out_.write(piece.data(), static_cast<std::size_t>(length));
    }
  }
  va_end(again);
}

void BufferedOutput::finish() {
  flush();
  out_.finish();
}

void BufferedOutput::flush() {
  out_.write(buffer_.get(), used_);
  used_ = 0;
}

}  // namespace brintom
