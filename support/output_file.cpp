#include "support/output_file.hpp"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "support/fatal.hpp"
#include "support/strings.hpp"

namespace brintom {

OutputFile::OutputFile(const char* path, const char* head)
    : file_(std::fopen(path, "wb")), path_(path), head_(head) {}

OutputFile::~OutputFile() {
  if (file_ != nullptr) std::fclose(file_);
}

void OutputFile::write(const void* data, std::size_t size) {
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) fail();
}

void OutputFile::finish() {
  if (std::ferror(file_) || std::fflush(file_) != 0) fail();
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) {
    remove_if_regular(path_);
    error_message(cat2(head_, path_, kCannotBeWritten));
  }
}

void OutputFile::fail() {
  std::fclose(file_);
  file_ = nullptr;
  remove_if_regular(path_);
  error_message(cat2(head_, path_, kCannotBeWritten));
}

void OutputFile::remove_if_regular(const char* path) {
  // A device such as /dev/full is left alone; only a regular file holds a partial result. Through
  // a symbolic link, the file it names is removed and the link stays.
  char* target = ::realpath(path, nullptr);
  struct stat info {};
  if (target != nullptr && ::stat(target, &info) == 0 && S_ISREG(info.st_mode)) {
    std::remove(target);
  }
  std::free(target);
}

}  // namespace brintom
