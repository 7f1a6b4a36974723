#include "support/number_scan.hpp"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "support/input_limit.hpp"
#include "support/text.hpp"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace brintom {
namespace {

// Blocks of this size are read at once (fewer for a smaller rest of the file).
constexpr long long kLargestBlock = 1LL << 20;
constexpr long long kSmallestBlock = 4096;

inline bool is_digit(int c) { return c >= '0' && c <= '9'; }
inline bool is_hex_digit(int c) {
  return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
inline int lower(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

// The powers of ten that a float holds exactly (5^10 < 2^24).
constexpr float kExactPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                  1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
constexpr int kLargestExactPower = 10;
constexpr std::uint64_t kLargestExactMantissa = std::uint64_t{1} << 24;

// What the text of a plain decimal number says, gathered while it is read.
struct Decimal {
  std::uint64_t mantissa = 0;
  int digits = 0;       // significant digits, of which the first nine are in the mantissa
  long long scale = 0;  // the power of ten that the mantissa stands under, before the exponent
  long long exponent = 0;
  int exponent_digits = 0;
  bool negative_exponent = false;
};

// When the digits and the power of ten are both exact in a float, one float multiplication or
// division rounds correctly, once. False for anything else, which strtof converts.
bool convert_exactly(const Decimal& d, bool negative, float& value) {
  if (d.digits > 9) return false;
  const long long scale = d.scale + (d.negative_exponent ? -d.exponent : d.exponent);
  float magnitude = 0.0f;
  if (d.mantissa != 0) {
    if (d.mantissa > kLargestExactMantissa || scale < -kLargestExactPower ||
        scale > kLargestExactPower) {
      return false;
    }
    const auto exact = static_cast<float>(d.mantissa);
    magnitude = scale < 0 ? exact / kExactPowers[-scale] : exact * kExactPowers[scale];
  }
  value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace

NumberScanner::NumberScanner(std::FILE* file, long long expected_bytes)
    : file_(file), text_(64, '\0') {
  // A stream that can be put back to a position is read in blocks of our own; any other (a pipe)
  // through its own buffer, one character at a time.
  const long start = std::ftell(file);
  if (start >= 0 && std::fseek(file, start, SEEK_SET) == 0) {
    const long long left = bytes_left(file);
    long long size = left < 0 ? kLargestBlock : std::clamp(left + 2, kSmallestBlock, kLargestBlock);
    if (expected_bytes >= 0) size = std::clamp(expected_bytes + 2, kSmallestBlock, size);
    block_.resize(static_cast<std::size_t>(size));
    block_start_ = start;
    cursor_ = end_ = block_.data() + 1;
  }
}

NumberScanner::~NumberScanner() { give_back(); }

long NumberScanner::position() const {
  if (block_.empty()) return std::ftell(file_);
  return block_start_ + (cursor_ - (block_.data() + 1));
}

void NumberScanner::give_back() {
  if (block_.empty()) return;
  block_start_ = position();
  std::fseek(file_, block_start_, SEEK_SET);
  cursor_ = end_ = block_.data() + 1;
  at_end_ = false;
}

int NumberScanner::refill() {
  if (block_.empty()) return getc_unlocked(file_);
  if (at_end_) return EOF;
  // The byte just read stays in front of the new block, where push_back can return to it.
  char* const first = block_.data() + 1;
  if (end_ != first) block_[0] = end_[-1];
  block_start_ += end_ - first;
  const std::size_t got = std::fread(first, 1, block_.size() - 1, file_);
  cursor_ = first;
  end_ = first + got;
  if (got == 0) {
    at_end_ = true;
    return EOF;
  }
  return static_cast<unsigned char>(*cursor_++);
}

void NumberScanner::grow() { text_.resize(text_.size() * 2); }

namespace {

#ifdef __SSE2__
// One bit a byte of the 16 at p: set where the byte is white space, or a decimal digit.
inline unsigned space_bits(__m128i v) {
  const __m128i from_tab = _mm_sub_epi8(v, _mm_set1_epi8('\t'));  // \t to \r become 0 to 4
  const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(from_tab, _mm_set1_epi8(4)), from_tab);
  const __m128i blank = _mm_cmpeq_epi8(v, _mm_set1_epi8(' '));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(control, blank)));
}
inline unsigned digit_bits(__m128i v) {
  const __m128i from_zero = _mm_sub_epi8(v, _mm_set1_epi8('0'));
  return static_cast<unsigned>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(from_zero, _mm_set1_epi8(9)), from_zero)));
}
inline unsigned trailing_zeros(unsigned bits) { return static_cast<unsigned>(__builtin_ctz(bits)); }

// The value of the n (at most 8) decimal digits that end at end: the eight bytes before end
// with all but the last n taken as '0', folded pairwise in one 64-bit word.
inline std::uint64_t digits_value(const char* end, unsigned n) {
  static constexpr std::uint64_t kKeepLast[] = {
      0,
      0xFF00000000000000,
      0xFFFF000000000000,
      0xFFFFFF0000000000,
      0xFFFFFFFF00000000,
      0xFFFFFFFFFF000000,
      0xFFFFFFFFFFFF0000,
      0xFFFFFFFFFFFFFF00,
      0xFFFFFFFFFFFFFFFF,
  };
  std::uint64_t word;
  std::memcpy(&word, end - 8, sizeof word);  // the first byte is the lowest: little-endian
  word = (word & kKeepLast[n]) | (0x3030303030303030 & ~kKeepLast[n]);
  word -= 0x3030303030303030;
  word = word * 10 + (word >> 8);  // pairs of digits
  return (((word & 0x000000FF000000FF) * (100 + (1000000ULL << 32))) +
          (((word >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32)))) >>
         32;
}

// Fixed notation, as the writers of these files print most values: white space, a sign, up to
// eight digits, a point and up to eight more, then white space, found with a few 16-byte
// compares instead of a branch a character. False for anything else.
inline bool fixed_number(const char*& cursor, const char* end, const char* begin, float& value) {
  const char* p = cursor;
  if (end - p < 48) return false;  // room for every load below
  const unsigned lead = space_bits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  if (lead == 0xFFFF) return false;
  p += trailing_zeros(~lead);
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const unsigned spaces = space_bits(v);
  const unsigned digits = digit_bits(v);
  const bool negative = p[0] == '-';
  const unsigned sign = static_cast<unsigned>(negative) | static_cast<unsigned>(p[0] == '+');
  const unsigned whole = trailing_zeros(~(digits >> sign));
  unsigned at = sign + whole;
  const unsigned point = p[at] == '.' ? 1 : 0;
  // Without a point the shift lands on the byte after the digits, which is no digit.
  const unsigned fraction = trailing_zeros(~(digits >> (at + 1))) & (0u - point);
  at += point + fraction;  // the byte after the number
  if (whole + fraction == 0 || whole > 8 || fraction > 8 || at >= 16 || ((spaces >> at) & 1) == 0 ||
      p + sign + whole - begin < 8) {
    return false;
  }
  static constexpr std::uint64_t kScale[] = {1,      10,      100,      1000,     10000,
                                             100000, 1000000, 10000000, 100000000};
  const char* const whole_end = p + sign + whole;
  // With no fraction the second word reads as 0: every digit of it is taken as '0'.
  const std::uint64_t mantissa = digits_value(whole_end, whole) * kScale[fraction] +
                                 digits_value(whole_end + 1 + fraction, fraction);
  if (mantissa > kLargestExactMantissa) return false;
  // The digits and the power of ten are exact in a float: one division rounds correctly.
  const float magnitude = static_cast<float>(mantissa) / kExactPowers[fraction];
  value = negative ? -magnitude : magnitude;
  // The white space after it, as far as these 16 bytes show it; the caller takes any more.
  cursor = p + at + trailing_zeros(~(spaces >> at));
  return true;
}
#endif

// Most numbers in a file are plain ("-12.5", "3e2", "42") and lie whole in the block already
// read, followed by white space. Those are read here with plain pointers, nothing taken until
// the number is known: from cursor on, the number and the white space after it, as far as the
// block goes. False, with cursor unmoved, for anything else or a number that reaches the
// block's end: the general scan gives the same result more slowly.
inline bool plain_number(const char*& cursor, const char* end, const char* begin, float& value) {
  const char* p = cursor;
#ifdef __SSE2__
  if (!fixed_number(p, end, begin, value))
#endif
  {
    while (p != end && is_white_space(*p)) ++p;
    if (p == end) return false;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    Decimal decimal;
    bool got_digit = false, got_point = false;
    for (; p != end; ++p) {
      const auto digit = static_cast<unsigned>(static_cast<unsigned char>(*p) - '0');
      if (digit < 10) {
        got_digit = true;
        if (got_point) --decimal.scale;
        if ((digit != 0 || decimal.mantissa != 0) && ++decimal.digits <= 9) {
          decimal.mantissa = decimal.mantissa * 10 + digit;
        }
      } else if (*p == '.' && !got_point) {
        got_point = true;
      } else {
        break;
      }
    }
    if (p == end || !got_digit) return false;
    if (*p == 'e' || *p == 'E') {
      ++p;
      if (p != end && (*p == '-' || *p == '+')) decimal.negative_exponent = *p++ == '-';
      const char* const first = p;
      for (; p != end && is_digit(*p); ++p) {
        if (decimal.exponent < 1000000) decimal.exponent = decimal.exponent * 10 + (*p - '0');
      }
      if (p == first || p == end) return false;
      decimal.exponent_digits = static_cast<int>(p - first);
    }
    if (!is_white_space(*p) || !convert_exactly(decimal, negative, value)) return false;
  }
  while (p != end && is_white_space(*p)) ++p;
  cursor = p;
  return true;
}

}  // namespace

bool NumberScanner::scan_plain_in_block(float& value) {
  const char* p = cursor_;
  if (!plain_number(p, end_, block_.data(), value)) return false;
  cursor_ = const_cast<char*>(p);
  if (p == end_) push_back(skip_white_space());  // the white space may go on past the block
  return true;
}

std::size_t NumberScanner::scan_plain_floats(float* values, std::size_t count) {
  const char* p = cursor_;
  const char* const begin = block_.data();
  std::size_t taken = 0;
  while (taken < count && plain_number(p, end_, begin, values[taken])) {
    ++taken;
    if (p == end_) {  // the white space may go on past the block
      cursor_ = const_cast<char*>(p);
      push_back(skip_white_space());
      return taken;
    }
  }
  cursor_ = const_cast<char*>(p);
  return taken;
}

bool NumberScanner::scan_integer_in_block(long& value) {
  const char* p = cursor_;
  const char* const end = end_;
  while (p != end && is_white_space(*p)) ++p;
  if (p == end) return false;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  const char* const first = p;
  long magnitude = 0;
  for (; p != end && is_digit(*p) && p - first < 18; ++p) magnitude = magnitude * 10 + (*p - '0');
  // Eighteen digits always fit a long; a longer number is the general scan's to saturate.
  if (p == first || p == end || !is_white_space(*p)) return false;
  value = negative ? -magnitude : magnitude;
  while (p != end && is_white_space(*p)) ++p;
  cursor_ = const_cast<char*>(p);
  if (p == end) push_back(skip_white_space());
  return true;
}

// The C scanner decides what text makes up a number by looking one character ahead, never
// back: a text such as "1e+" or "0x." is taken whole and converted as far as strtof can, and a
// character that breaks "nan" or "infinity" in the middle is taken with it.
int NumberScanner::scan_float(float& value) {
  if (scan_plain_in_block(value)) return 1;
  int c = skip_white_space();
  if (c == EOF) return EOF;
  length_ = 0;
  bool negative = false;
  std::size_t sign = 0;
  if (c == '-' || c == '+') {
    negative = c == '-';
    sign = 1;
    append(c);
    c = next();
    if (c == EOF) return 0;
  }

  int after = EOF;  // the character after the text: read, but not taken
  Decimal decimal;
  bool plain = false;  // a decimal number with digits and a complete exponent, if any
  if (lower(c) == 'n' || lower(c) == 'i') {
    const char* spelling = lower(c) == 'n' ? "nan" : "inf";
    for (const char* want = spelling; *want != '\0'; ++want) {
      if (want != spelling) c = next();
      if (c == EOF || lower(c) != *want) return 0;
      append(c);
    }
    after = next();
    if (*spelling == 'i' && lower(after) == 'i') {  // then it must be "infinity" in full
      append(after);
      for (const char* want = "nity"; *want != '\0'; ++want) {
        c = next();
        if (c == EOF || lower(c) != *want) return 0;
        append(c);
      }
      after = next();
    }
  } else {
    bool hex = false, got_digit = false, got_point = false, got_exponent = false;
    char exponent_char = 'e';
    if (c == '0') {
      append('0');
      c = next();
      if (lower(c) == 'x') {
        append(c);
        hex = true;
        exponent_char = 'p';
        c = next();
      } else {
        got_digit = true;
      }
    }
    while (true) {
      if (is_digit(c)) {
        got_digit = true;
        if (got_exponent) {
          ++decimal.exponent_digits;
          if (decimal.exponent < 1000000) decimal.exponent = decimal.exponent * 10 + (c - '0');
        } else {
          if (got_point) --decimal.scale;
          if ((c != '0' || decimal.mantissa != 0) && ++decimal.digits <= 9) {
            decimal.mantissa = decimal.mantissa * 10 + static_cast<unsigned>(c - '0');
          }
        }
      } else if (hex && !got_exponent && is_hex_digit(c)) {
        got_digit = true;
      } else if (got_exponent && text_[length_ - 1] == exponent_char && (c == '-' || c == '+')) {
        decimal.negative_exponent = c == '-';
      } else if (got_digit && !got_exponent && lower(c) == exponent_char) {
        c = exponent_char;
        got_exponent = got_point = true;
      } else if (!got_point && c == '.') {
        got_point = true;
      } else {
        after = c;
        break;
      }
      append(c);
      c = next();
      if (c == EOF) break;
    }
    // A sign alone, or "0x" without a digit, is no number.
    if (length_ == sign || (hex && length_ == 2 + sign)) {
      push_back(after);
      return 0;
    }
    plain = !hex && got_digit && (!got_exponent || decimal.exponent_digits > 0);
  }

  if (!plain || !convert_exactly(decimal, negative, value)) {
    text_[length_] = '\0';
    char* end = nullptr;
    const float converted = std::strtof(text_.data(), &end);
    if (end == text_.data()) {  // such as "." or "-.": taken, but no number
      push_back(after);
      return 0;
    }
    value = converted;
  }
  // The white space after the number, from the character already read.
  for (c = after; is_white_space(c);) c = next();
  push_back(c);
  return 1;
}

int NumberScanner::scan_long(long& value) {
  if (scan_integer_in_block(value)) return 1;
  int c = skip_white_space();
  if (c == EOF) return EOF;
  bool negative = false, got_digit = false;
  if (c == '-' || c == '+') {
    negative = c == '-';
    c = next();
  }
  // The magnitude, held one past the largest long so that the sign can still be applied.
  constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
  std::uint64_t magnitude = 0;
  for (; is_digit(c); c = next()) {
    got_digit = true;
    const auto digit = static_cast<unsigned>(c - '0');
    magnitude = magnitude > (kLimit - digit) / 10 ? kLimit : magnitude * 10 + digit;
  }
  if (!got_digit) {  // nothing, or a sign alone
    push_back(c);
    return 0;
  }
  if (negative) {
    value = magnitude >= kLimit ? LONG_MIN : -static_cast<long>(magnitude);
  } else {
    value = magnitude >= kLimit ? LONG_MAX : static_cast<long>(magnitude);
  }
  while (is_white_space(c)) c = next();  // the white space after the number
  push_back(c);
  return 1;
}

}  // namespace brintom
