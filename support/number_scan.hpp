#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "support/text.hpp"

namespace brintom {

// Numbers read from a stream as the C library's fscanf reads them with "%g " and "%ld " in the C
// locale, token by token, but from large blocks read at once instead of one fscanf call each.
// What a conversion takes, and where the next one starts, is what fscanf would leave: once the
// scanner gives the stream back, other reads carry on from there.
class NumberScanner {
 public:
  // Reads from the stream's current position on; until give_back() or the scanner's end the
  // stream itself stands further on. The scanner ends before the stream is closed.
  // expected_bytes, where known, caps the first block: a few values need no block of a MiB.
  explicit NumberScanner(std::FILE* file, long long expected_bytes = -1);
  ~NumberScanner();
  NumberScanner(const NumberScanner&) = delete;
  NumberScanner& operator=(const NumberScanner&) = delete;

  // fscanf(file, "%g ", &value): white space, the longest text that can begin a number (signs,
  // digits, one point, an exponent, hexadecimal, inf, infinity, nan), then the white space after
  // it. Gives 1 with the value correctly rounded to float; 0 when that text holds no number, the
  // value untouched and what was taken still taken; EOF when the input ends before any text.
  int scan_float(float& value);
  // fscanf(file, "%ld ", &value): an optional sign and decimal digits; beyond the range of long
  // the value saturates, as strtol does.
  int scan_long(long& value);
  // Reads values while they are plain decimals ("-12.5", "3e2") that scan_float would give
  // with 1, stopping before the first that it cannot read this fast; gives how many it read.
  // scan_float then reads the next value, whatever it is.
  std::size_t scan_plain_floats(float* values, std::size_t count);

  // Where fscanf would have left the stream so far.
  long position() const;
  // Puts the stream at position(), for other reads of it; scanning may go on afterwards.
  void give_back();

 private:
  bool scan_plain_in_block(float& value);
  bool scan_integer_in_block(long& value);
  int refill();
  void grow();

  // One character, or EOF; push_back returns the one just read.
  int next() { return cursor_ != end_ ? static_cast<unsigned char>(*cursor_++) : refill(); }
  void push_back(int c) {
    if (c == EOF) return;
    if (block_.empty()) {
      std::ungetc(c, file_);
    } else {
      --cursor_;
    }
  }
  int skip_white_space() {
    int c;
    do {
      c = next();
    } while (is_white_space(c));
    return c;
  }
  void append(int c) {
    if (length_ + 1 >= text_.size()) grow();  // one more for the NUL
    text_[length_++] = static_cast<char>(c);
  }

  std::FILE* file_;
  // The block read from the stream: block_[0] keeps the byte before it, the rest the bytes from
  // block_start_ on, of which those from cursor_ to end_ are not taken yet. Empty for a stream
  // that cannot seek, which is then read one character at a time.
  std::vector<char> block_;
  long block_start_ = 0;
  char* cursor_ = nullptr;
  char* end_ = nullptr;
  bool at_end_ = false;
  std::string text_;        // the text of one number, for the conversions that need it whole
  std::size_t length_ = 0;  // of the text in text_
};

}  // namespace brintom
