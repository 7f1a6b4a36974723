#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string_view>

namespace brintom {

// A file read a large block at a time, from wherever its stream stands, for the mesh readers:
// they take bytes or whole lines from one place instead of a call per value. The block grows
// only for a line or a request longer than itself, so it never holds more than the file.
class BlockInput {
 public:
  explicit BlockInput(std::FILE* file);
  BlockInput(const BlockInput&) = delete;
  BlockInput& operator=(const BlockInput&) = delete;

  // The next n bytes, in one piece; null when the file ends before n more bytes.
  const unsigned char* take(std::size_t n) {
    if (static_cast<std::size_t>(end_ - at_) < n && !fill(n)) return nullptr;
    const unsigned char* bytes = at_;
    at_ += n;
    return bytes;
  }
  // The next n bytes without taking them; null when the file ends before n more bytes.
  const unsigned char* peek(std::size_t n) {
    if (static_cast<std::size_t>(end_ - at_) < n && !fill(n)) return nullptr;
    return at_;
  }
  // Passes over n bytes; false when the file ends first.
  bool skip(long long n);
  // The next line without its line feed and a carriage return before it; false at the end of
  // the file. The text stays until the next call, and a line feed, carriage return or NUL
  // follows it, so a number read from its words stops there.
  bool line(std::string_view& text);

 private:
  // Moves what is left to the front and reads until at least n bytes are there or the file
  // ends; gives whether n bytes are there.
  bool fill(std::size_t n);

  std::FILE* file_;
  std::unique_ptr<unsigned char[]> block_;  // capacity_ bytes and one more, for the NUL
  std::size_t capacity_;
  unsigned char* at_;
  unsigned char* end_;
  bool at_file_end_ = false;
};

// The next word of a line, after white space; false when none is left. The line is what is left
// after the word.
bool next_word(std::string_view& line, std::string_view& word);
// The whole word as one number by the C library's rules (strtof, strtol: signs, hexadecimal,
// inf, nan; a long saturates); false when it is not exactly one number. The word must lie in a
// BlockInput line, whose next byte ends any number.
bool word_float(std::string_view word, float& value);
bool word_long(std::string_view word, long long& value);

}  // namespace brintom
