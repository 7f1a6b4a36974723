#include "vtk/binary_values.hpp"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "vtk/skipped_blocks.hpp"

namespace brintom {
namespace {

// The first block holds one value, so that a reader that stops after it (to allocate what it
// announces) finds the stream just past it; later blocks double up to this size.
constexpr std::size_t kLargestBlock = std::size_t{1} << 16;

std::uint64_t big_endian(const unsigned char* bytes, int width) {
  std::uint64_t value = 0;
  for (int i = 0; i < width; ++i) value = value << 8 | bytes[i];
  return value;
}

}  // namespace

BinaryValues::~BinaryValues() {
  if (!at_file_end_) pass_over_values(file_, NumberEncoding::binary, left_, type_.bytes);
}

const unsigned char* BinaryValues::next() {
  const auto width = static_cast<std::size_t>(type_.bytes);
  if (at_ == end_) {
    if (left_ == 0 || at_file_end_) return nullptr;
    const auto most = static_cast<std::size_t>(
        std::min<long long>(left_, static_cast<long long>(kLargestBlock / width)));
    const std::size_t values = std::min(std::max<std::size_t>(1, 2 * block_.size() / width), most);
    block_.resize(values * width);
    const std::size_t got = std::fread(block_.data(), width, values, file_);
    left_ -= static_cast<long long>(got);
    // A part of a value at the end of the file is no value.
    if (got < values) at_file_end_ = true;
    at_ = 0;
    end_ = got * width;
    if (got == 0) return nullptr;
  }
  const unsigned char* bytes = block_.data() + at_;
  at_ += width;
  return bytes;
}

bool BinaryValues::next_float(float& value) {
  const unsigned char* bytes = next();
  if (bytes == nullptr) {
    ++missing_;
    return false;
  }
  const std::uint64_t raw = big_endian(bytes, type_.bytes);
  const int bits = 8 * type_.bytes;
  if (type_.kind == ValueKind::real && type_.bytes == 4) {
    const auto word = static_cast<std::uint32_t>(raw);
    std::memcpy(&value, &word, sizeof value);
  } else if (type_.kind == ValueKind::real) {
    double wide;
    std::memcpy(&wide, &raw, sizeof wide);
    value = static_cast<float>(wide);
  } else if (type_.kind == ValueKind::unsigned_integer) {
    value = static_cast<float>(raw);
  } else {  // sign-extended from its width
    value = static_cast<float>(static_cast<std::int64_t>(raw << (64 - bits)) >> (64 - bits));
  }
  return true;
}

bool BinaryValues::next_integer(long& value) {
  const unsigned char* bytes = next();
  if (bytes == nullptr || type_.kind == ValueKind::real) {
    ++missing_;
    return false;
  }
  const std::uint64_t raw = big_endian(bytes, type_.bytes);
  const int bits = 8 * type_.bytes;
  if (type_.kind == ValueKind::unsigned_integer) {
    value = raw > static_cast<std::uint64_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(raw);
  } else {
    value = static_cast<long>(static_cast<std::int64_t>(raw << (64 - bits)) >> (64 - bits));
  }
  return true;
}

}  // namespace brintom
