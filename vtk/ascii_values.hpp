#pragma once

#include <cstddef>
#include <cstdio>

#include "support/number_scan.hpp"

namespace brintom {

// Values read one "%g " or "%d " conversion each, exactly as the C scanner reads them, the white
// space after each value included, straight from the stream's buffer. A value that cannot be
// converted is missing; the scan goes on where the scanner stopped, and once it is stuck (the end
// of the file, or two failures in one place) every later read is missing too.
class AsciiValues {
 public:
  explicit AsciiValues(std::FILE* file, long long expected_bytes = -1)
      : scanner_(file, expected_bytes) {}

  bool next_float(float& value);  // "%g "
  // count values, as count next_float calls would read them, in one go.
  void next_floats(float* values, std::size_t count);
  // Reads and drops count values, as count next_float calls would; once stuck, the rest are
  // counted missing at once, so a huge count in a small file costs nothing.
  void skip(long long count);
  // "%d ", read wide: what the C scanner gives for "%d" is this value cut to int.
  bool next_integer(long& value);
  long long missing() const { return missing_; }
  // Puts the stream where the values read so far end, for other reads of it.
  void give_back() { scanner_.give_back(); }

 private:
  bool took(int result);

  NumberScanner scanner_;
  long failed_at_ = -1;  // where the last failed conversion left the stream
  bool stuck_ = false;
  long long missing_ = 0;
};

}  // namespace brintom
