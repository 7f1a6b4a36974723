#include "support/number_scan.hpp"

#include <climits>
#include <cstdint>
#include <cstdlib>

namespace brintom {
namespace {

// getc_unlocked reads the stream's buffer inline; the reader owns its stream alone.
inline int next(std::FILE* file) { return getc_unlocked(file); }

inline bool is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
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

// The common plain decimal ("-12.5", "3e2") whose digits and power of ten are both exact in a
// float: then one float multiplication or division rounds correctly, once. False for anything
// else, which strtof converts.
bool convert_plain(const std::string& token, float& value) {
  const char* p = token.data();
  const char* const end = p + token.size();
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  std::uint64_t mantissa = 0;
  int digits = 0;  // significant digits taken into the mantissa
  int scale = 0;   // the power of ten that the mantissa stands under
  bool seen_point = false, seen_digit = false;
  for (; p != end && (is_digit(*p) || (*p == '.' && !seen_point)); ++p) {
    if (*p == '.') {
      seen_point = true;
      continue;
    }
    seen_digit = true;
    if (mantissa == 0 && *p == '0') {
      if (seen_point) --scale;  // a leading zero after the point
      continue;
    }
    if (++digits > 9) return false;
    mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    if (seen_point) --scale;
  }
  if (!seen_digit) return false;
  if (p != end) {
    // An exponent with its digits, or nothing: "1e" and "1e+" are strtof's to cut short.
    if (*p != 'e') return false;
    ++p;
    const bool negative_exponent = *p == '-';
    if (p != end && (*p == '-' || *p == '+')) ++p;
    if (p == end) return false;
    int exponent = 0;
    for (; p != end; ++p) {
      if (!is_digit(*p) || exponent > 1000) return false;
      exponent = exponent * 10 + (*p - '0');
    }
    scale += negative_exponent ? -exponent : exponent;
  }
  if (mantissa == 0) {
    value = negative ? -0.0f : 0.0f;
    return true;
  }
  if (mantissa > kLargestExactMantissa || scale < -kLargestExactPower ||
      scale > kLargestExactPower) {
    return false;
  }
  const auto exact = static_cast<float>(mantissa);
  const float magnitude = scale < 0 ? exact / kExactPowers[-scale] : exact * kExactPowers[scale];
  value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace

int NumberScanner::skip_white_space() {
  int c;
  do {
    c = next(file_);
  } while (is_space(c));
  return c;
}

void NumberScanner::push_back(int c) {
  if (c != EOF) std::ungetc(c, file_);
}

// The C scanner decides what text makes up a number by looking one character ahead, never
// back: a text such as "1e+" or "0x." is taken whole and converted as far as strtof can, and a
// character that breaks "nan" or "infinity" in the middle is taken with it.
int NumberScanner::scan_float(float& value) {
  int c = skip_white_space();
  if (c == EOF) return EOF;
  token_.clear();
  bool signed_text = false;
  if (c == '-' || c == '+') {
    signed_text = true;
    token_ += static_cast<char>(c);
    c = next(file_);
    if (c == EOF) return 0;
  }

  if (lower(c) == 'n' || lower(c) == 'i') {
    const char* rest = lower(c) == 'n' ? "nan" : "inf";
    token_ += static_cast<char>(c);
    for (const char* want = rest + 1; *want != '\0'; ++want) {
      c = next(file_);
      if (c == EOF || lower(c) != *want) return 0;
      token_ += static_cast<char>(c);
    }
    if (*rest == 'i') {
      c = next(file_);
      if (lower(c) == 'i') {  // then it must be "infinity" in full
        token_ += static_cast<char>(c);
        for (const char* want = "nity"; *want != '\0'; ++want) {
          c = next(file_);
          if (c == EOF || lower(c) != *want) return 0;
          token_ += static_cast<char>(c);
        }
      } else {
        push_back(c);
      }
    }
  } else {
    bool hex = false, got_digit = false, got_point = false, got_exponent = false;
    char exponent_char = 'e';
    if (c == '0') {
      token_ += '0';
      c = next(file_);
      if (lower(c) == 'x') {
        token_ += static_cast<char>(c);
        hex = true;
        exponent_char = 'p';
        c = next(file_);
      } else {
        got_digit = true;
      }
    }
    while (true) {
      if (is_digit(c) || (hex && !got_exponent && is_hex_digit(c))) {
        got_digit = true;
      } else if (got_exponent && token_.back() == exponent_char && (c == '-' || c == '+')) {
        // the exponent's sign
      } else if (got_digit && !got_exponent && lower(c) == exponent_char) {
        c = exponent_char;
        got_exponent = got_point = true;
      } else if (!got_point && c == '.') {
        got_point = true;
      } else {
        push_back(c);
        break;
      }
      token_ += static_cast<char>(c);
      c = next(file_);
      if (c == EOF) break;
    }
    // A sign alone, or "0x" without a digit, is no number.
    const std::size_t sign = signed_text ? 1 : 0;
    if (token_.size() == sign || (hex && token_.size() == 2 + sign)) return 0;
  }

  if (!convert_plain(token_, value)) {
    char* end = nullptr;
    const float converted = std::strtof(token_.c_str(), &end);
    if (end == token_.c_str()) return 0;  // such as "." or "-.": taken, but no number
    value = converted;
  }
  push_back(skip_white_space());
  return 1;
}

int NumberScanner::scan_long(long& value) {
  int c = skip_white_space();
  if (c == EOF) return EOF;
  bool negative = false, got_digit = false;
  if (c == '-' || c == '+') {
    negative = c == '-';
    c = next(file_);
  }
  // The magnitude, held one past the largest long so that the sign can still be applied.
  constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
  std::uint64_t magnitude = 0;
  for (; is_digit(c); c = next(file_)) {
    got_digit = true;
    const auto digit = static_cast<unsigned>(c - '0');
    magnitude = magnitude > (kLimit - digit) / 10 ? kLimit : magnitude * 10 + digit;
  }
  push_back(c);
  if (!got_digit) return 0;  // nothing, or a sign alone
  if (negative) {
    value = magnitude >= kLimit ? LONG_MIN : -static_cast<long>(magnitude);
  } else {
    value = magnitude >= kLimit ? LONG_MAX : static_cast<long>(magnitude);
  }
  push_back(skip_white_space());
  return 1;
}

}  // namespace brintom
