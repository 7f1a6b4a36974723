#include "vtk/binary_values.hpp"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "vtk/skipped_blocks.hpp"

namespace brintom {
namespace {

// The first block holds one value, so that a reader that stops after it (to allocate what it
// announces) finds the stream just past it; later blocks double up to this many values.
constexpr std::size_t kLargestBlock = std::size_t{1} << 14;

template <typename Word>
Word load_big_endian(const unsigned char* bytes) {
  Word word;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (sizeof(Word) == 2) return __builtin_bswap16(word);
  if constexpr (sizeof(Word) == 4) return __builtin_bswap32(word);
  if constexpr (sizeof(Word) == 8) return __builtin_bswap64(word);
  return word;
}

// count values of Stored (the file's type, read as its unsigned word) into out as T.
template <typename Stored, typename Word, typename T>
void decode(const unsigned char* bytes, std::size_t count, T* out) {
  for (std::size_t i = 0; i < count; ++i) {
    const Word word = load_big_endian<Word>(bytes + i * sizeof(Word));
    Stored value;
    std::memcpy(&value, &word, sizeof value);
    if constexpr (std::is_same_v<Stored, std::uint64_t>) {  // beyond long saturates
      out[i] = value > static_cast<std::uint64_t>(LONG_MAX) ? LONG_MAX : static_cast<T>(value);
    } else {
      out[i] = static_cast<T>(value);  // a double is rounded to the nearest float
    }
  }
}

}  // namespace

BinaryValues::~BinaryValues() {
  if (!at_file_end_) pass_over_values(file_, NumberEncoding::binary, left_, type_.bytes);
}

bool BinaryValues::refill() {
  if (left_ == 0 || at_file_end_) return false;
  const auto width = static_cast<std::size_t>(type_.bytes);
  const std::size_t values =
      std::min(std::max<std::size_t>(1, 2 * end_), std::min<std::size_t>(kLargestBlock, left_));
  bytes_.resize(values * width);
  const std::size_t got = std::fread(bytes_.data(), width, values, file_);
  left_ -= static_cast<long long>(got);
  // A part of a value at the end of the file is no value.
  if (got < values) at_file_end_ = true;
  at_ = 0;
  end_ = got;
  const unsigned char* in = bytes_.data();
  if (type_.kind == ValueKind::real) {
    reals_.resize(got);
    if (width == 4) {
      decode<float, std::uint32_t>(in, got, reals_.data());
    } else {
      decode<double, std::uint64_t>(in, got, reals_.data());
    }
    return got > 0;
  }
  integers_.resize(got);
  long* out = integers_.data();
  const bool is_signed = type_.kind == ValueKind::signed_integer;
  switch (width) {
    case 1:
      is_signed ? decode<std::int8_t, std::uint8_t>(in, got, out)
                : decode<std::uint8_t, std::uint8_t>(in, got, out);
      break;
    case 2:
      is_signed ? decode<std::int16_t, std::uint16_t>(in, got, out)
                : decode<std::uint16_t, std::uint16_t>(in, got, out);
      break;
    case 4:
      is_signed ? decode<std::int32_t, std::uint32_t>(in, got, out)
                : decode<std::uint32_t, std::uint32_t>(in, got, out);
      break;
    default:
      is_signed ? decode<std::int64_t, std::uint64_t>(in, got, out)
                : decode<std::uint64_t, std::uint64_t>(in, got, out);
  }
  return got > 0;
}

}  // namespace brintom
