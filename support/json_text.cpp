#include "support/json_text.hpp"

#include <cmath>
#include <cstdio>

#include "support/number_format.hpp"

namespace brintom {

std::string json_string(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + '"';
}

std::string json_number(double value, bool as_float) {
  if (!std::isfinite(value)) return "null";
  if (as_float) return shortest_float(static_cast<float>(value));
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

std::string json_array(const std::vector<std::string>& items) {
  std::string text = "[";
  for (std::size_t i = 0; i < items.size(); ++i) text += (i ? ", " : "") + items[i];
  return text + "]";
}

}  // namespace brintom
