#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

#include "vtk/words.hpp"

namespace brintom {

// The values of one binary array of a legacy VTK file: count big-endian values of a VTK type
// right after their keyword line's line feed, and the line feed VTK writes after them. Read and
// decoded a block at a time, never past the array, with the same calls as AsciiValues, so that a
// reader takes either encoding alike. A value the file lacks is missing and leaves its target as
// it was.
class BinaryValues {
 public:
  BinaryValues(std::FILE* file, const TypeWord& type, long long count)
      : file_(file), type_(type), left_(count) {}
  // Passes over what is left of the array and its line feed.
  ~BinaryValues();
  BinaryValues(const BinaryValues&) = delete;
  BinaryValues& operator=(const BinaryValues&) = delete;

  // A real value rounded to the nearest float; an integer converted.
  bool next_float(float& value) {
    if (at_ == end_ && !refill()) return missing_one();
    value = type_.kind == ValueKind::real ? reals_[at_++] : static_cast<float>(integers_[at_++]);
    return true;
  }
  // An integer; an unsigned one beyond long saturates. A real value is missing.
  bool next_integer(long& value) {
    if (type_.kind == ValueKind::real || (at_ == end_ && !refill())) return missing_one();
    value = integers_[at_++];
    return true;
  }
  long long missing() const { return missing_; }

 private:
  // Reads and decodes the next block; false when the array or the file has ended.
  bool refill();
  bool missing_one() {
    ++missing_;
    return false;
  }

  std::FILE* file_;
  const TypeWord& type_;
  long long left_;  // values of the array not yet read from the file
  long long missing_ = 0;
  bool at_file_end_ = false;
  std::vector<unsigned char> bytes_;
  std::vector<float> reals_;      // the block decoded, for a real type...
  std::vector<long> integers_;    // ... or an integer type
  std::size_t at_ = 0, end_ = 0;  // the values of the block not yet taken
};

}  // namespace brintom
