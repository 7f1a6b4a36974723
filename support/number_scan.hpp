#pragma once

#include <cstdio>
#include <string>

namespace brintom {

// Numbers read from a stream as the C library's fscanf reads them with "%g " and "%ld " in the C
// locale, token by token, but straight from the stream's own buffer instead of one fscanf call
// each. What a conversion takes, and where the next one starts, is what fscanf would leave:
// reads of the same stream before and after carry on from the right place.
class NumberScanner {
 public:
  explicit NumberScanner(std::FILE* file) : file_(file) {}

  // fscanf(file, "%g ", &value): white space, the longest text that can begin a number (signs,
  // digits, one point, an exponent, hexadecimal, inf, infinity, nan), then the white space after
  // it. Gives 1 with the value correctly rounded to float; 0 when that text holds no number, the
  // value untouched and what was taken still taken; EOF when the input ends before any text.
  int scan_float(float& value);
  // fscanf(file, "%ld ", &value): an optional sign and decimal digits; beyond the range of long
  // the value saturates, as strtol does.
  int scan_long(long& value);

 private:
  int skip_white_space();
  void push_back(int c);

  std::FILE* file_;
  std::string token_;  // the text of one number, for the conversions that need it whole
};

}  // namespace brintom
