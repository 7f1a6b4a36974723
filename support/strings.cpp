#include "support/strings.hpp"

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/fatal.hpp"
#include "support/zeroed.hpp"

namespace brintom {
namespace {

// Joins the pieces into one new heap string, adding no separator.
char* join(std::initializer_list<const char*> pieces) {
  std::size_t total = 0;
  for (const char* piece : pieces) total += std::strlen(piece);
  if (total > 0x7fffffffu) error_message("allocation error in string");
  char* result = new_string(static_cast<int>(total));
  char* end = result;
  for (const char* piece : pieces) {
    const std::size_t length = std::strlen(piece);
    std::memcpy(end, piece, length);
    end += length;
  }
  return result;
}

}  // namespace

char* new_string(int n) {
  if (n < 0) error_message("allocation error in string");
  return zeroed<char>(static_cast<std::size_t>(n) + 1, "allocation error in string");
}

char* copy(const char* s) { return join({s}); }
char* cat(const char* a, const char* b) { return join({a, b}); }
char* cat2(const char* a, const char* b, const char* c) { return join({a, b, c}); }
char* cat3(const char* a, const char* b, const char* c, const char* d) {
  return join({a, b, c, d});
}

int strcomp(const char* a, const char* b) { return std::strcmp(a, b) == 0 ? 1 : 0; }

int strcp(const char* a, const char* b) {
  if (strcomp(a, b)) return 1;
  char* capitals = upper_string(b);
  const int result = strcomp(capitals, a);
  std::free(capitals);
  return result;
}

char* upper_string(const char* s) {
  // Grows with the input: a name with many capitals must not overrun a fixed work area.
  std::string capitals;
  for (; *s != '\0'; ++s) {
    if (isup(static_cast<unsigned char>(*s))) capitals.push_back(*s);
  }
  return copy(capitals.c_str());
}

int isup(int code) { return code >= 'A' && code <= 'Z' ? 1 : 0; }

int is_all_upper(const char* s) {
  for (; *s != '\0'; ++s) {
    if (!isup(static_cast<unsigned char>(*s))) return 0;
  }
  return 1;
}

int islist(const char* s) {
  const std::size_t length = std::strlen(s);
  return length >= 2 && s[0] == '{' && s[length - 1] == '}' ? 1 : 0;
}

char* list_to_token(const char* s) {
  const std::size_t length = std::strlen(s);
  if (length < 2) return copy("");  // callers test islist first; never read before the start
  char* token = new_string(static_cast<int>(length - 2));
  std::memcpy(token, s + 1, length - 2);
  return token;
}

char* token_to_list(const char* s) { return join({"{", s, "}"}); }

}  // namespace brintom
