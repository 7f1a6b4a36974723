#include "vtk/ascii_values.hpp"

namespace brintom {

bool AsciiValues::next_float(float& value) { return took(stuck_ ? 0 : scanner_.scan_float(value)); }

void AsciiValues::next_floats(float* values, std::size_t count) {
  while (count > 0) {
    if (stuck_) {  // every later read is missing, and the values stay as they are
      missing_ += static_cast<long long>(count);
      return;
    }
    const std::size_t plain = scanner_.scan_plain_floats(values, count);
    values += plain;
    count -= plain;
    if (count == 0) break;
    next_float(*values++);
    --count;
  }
}

void AsciiValues::skip(long long count) {
  for (float dropped; count > 0 && !stuck_; --count) next_float(dropped);
  missing_ += count;
}

bool AsciiValues::next_integer(long& value) { return took(stuck_ ? 0 : scanner_.scan_long(value)); }

bool AsciiValues::took(int result) {
  if (result == 1) return true;
  ++missing_;
  if (stuck_) return false;
  if (result == EOF) {
    stuck_ = true;  // nothing more can be read
    return false;
  }
  // A failure may take a character or two (a lone sign), so the next try can succeed. Two
  // failures in one place mean every later try fails the same way.
  const long position = scanner_.position();
  if (position == failed_at_) stuck_ = true;
  failed_at_ = position;
  return false;
}

}  // namespace brintom
