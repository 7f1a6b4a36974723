#include "converter/geometry_header.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/number_format.hpp"
#include "support/settings.hpp"
#include "support/strings.hpp"
#include "support/text.hpp"

namespace brintom {
namespace {

struct NumberKey {
  const char* key;
  float* target;
  float default_value;
};

// Walked by the reset and by the parser, in this order; the first match decides.
// clang-format off
const NumberKey kNumberKeys[] = {
    {"ColumnSpacing", &ColumnSpacing, 1.0f},
    {"RowSpacing",    &RowSpacing,    1.0f},
    {"SliceSpacing",  &SliceSpacing,  1.0f},
    {"ColumnOrigin",  &ColumnOrigin,  0.0f},
    {"RowOrigin",     &RowOrigin,     0.0f},
    {"SliceOrigin",   &SliceOrigin,   0.0f},
};
// clang-format on
constexpr char kLabelKey[] = "Label";
constexpr char kLabelDefault[] = "Label";

constexpr int kKeyCapacity = 128;
constexpr int kValueCapacity = 256;

// Skips white space; returns the first other character (left unread) or EOF.
int skip_white_space(std::FILE* file) {
  int c = std::fgetc(file);
  while (c != EOF && is_white_space(c)) c = std::fgetc(file);
  if (c != EOF) std::ungetc(c, file);
  return c;
}

// Reads one word the way "%s " does. A word too long for the key area is consumed whole and
// comes back empty, since it can match no key. Returns false when the input ends first.
bool read_key(std::FILE* file, char (&key)[kKeyCapacity]) {
  if (skip_white_space(file) == EOF) return false;
  int length = 0;
  bool too_long = false;
  for (int c = std::fgetc(file); c != EOF && !is_white_space(c); c = std::fgetc(file)) {
    if (length < kKeyCapacity - 1) {
      key[length++] = static_cast<char>(c);
    } else {
      too_long = true;
    }
  }
  key[too_long ? 0 : length] = '\0';
  skip_white_space(file);
  return true;
}

// The settings own their Label text: a replaced one is released.
void replace_label(char* text) {
  std::free(Label);
  Label = text;
}

void apply(const char* key, const char* value) {
  for (const NumberKey& entry : kNumberKeys) {
    if (std::strcmp(key, entry.key) == 0) {
      *entry.target = string_to_float(value);
      return;
    }
  }
  if (std::strcmp(key, kLabelKey) == 0)
    replace_label(islist(value) ? list_to_token(value) : copy(value));
}

}  // namespace

void reset_geometry() {
  for (const NumberKey& entry : kNumberKeys) *entry.target = entry.default_value;
  replace_label(copy(kLabelDefault));
}

std::string geometry_header_text() {
  std::string text = std::string(kLabelKey) + " {" + (Label != nullptr ? Label : "") + "}\n";
  for (const NumberKey& entry : kNumberKeys) {
    text += std::string(entry.key) + ' ' + shortest_float(*entry.target) + '\n';
  }
  return text;
}

void read_geometry_header(std::FILE* file) {
  char key[kKeyCapacity];
  char value[kValueCapacity];
  while (read_key(file, key)) {
    if (get_line(value, kValueCapacity, file) == -1) return;  // a key with no value is dropped
    if (key[0] != '\0') apply(key, value);
  }
}

}  // namespace brintom
