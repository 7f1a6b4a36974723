#include "support/text.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "support/fatal.hpp"
#include "support/strings.hpp"

namespace brintom {
namespace {

bool only_blank_bytes(const char* s) {
  for (; *s != '\0'; ++s) {
    if (!is_blank_byte(*s)) return false;
  }
  return true;
}

}  // namespace

int get_line(char* buffer, int capacity, std::FILE* file) {
  if (capacity < 1) return -1;  // no room even for the terminator
  buffer[0] = '\0';
  if (std::fgets(buffer, capacity, file) == nullptr) {
    buffer[0] = '\0';
    return -1;
  }
  int length = static_cast<int>(std::strlen(buffer));
  while (length > 0 && is_blank_byte(buffer[length - 1])) --length;
  buffer[length] = '\0';
  return length;
}

bool scan_word(const char*& cursor, std::string& word) {
  const char* start = cursor;
  while (is_white_space(static_cast<unsigned char>(*start))) ++start;
  if (*start == '\0') return false;
  const char* end = start;
  while (*end != '\0' && !is_white_space(static_cast<unsigned char>(*end))) ++end;
  word.assign(start, end);
  cursor = end;
  return true;
}

bool scan_integer(const char*& cursor, long long& value) {
  char* end = nullptr;
  const long long parsed = std::strtoll(cursor, &end, 10);
  if (end == cursor) return false;  // no digits: nothing taken
  value = parsed;
  cursor = end;
  return true;
}

char* integer_to_string(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return copy(text);
}

char* float_to_string(float value) {
  char text[64];  // FLT_MAX prints 39 digits before the point
  std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
  return copy(text);
}

int string_to_integer(const char* s) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(s, &end, 10);
  if (!only_blank_bytes(end)) error_message("Not an integer");
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

float string_to_float(const char* s) {
  // The scanner's own rules decide what a number is (hex, inf, nan, partial exponents), so the
  // header file reads exactly as the format describes it.
  float value = 0.0f;
  char next = '\0';
  const int matched = std::sscanf(s, "%f %c", &value, &next);
  if (matched == 2) error_message("not a number");
  if (matched == 1) return value;
  if (matched == EOF) return 0.0f;  // empty or all white space
  error_message("not a number");
}

int isnumber(const char* s) {
  char* end = nullptr;
  std::strtod(s, &end);
  return only_blank_bytes(end) ? 1 : 0;
}

}  // namespace brintom
