#pragma once

#include <string>
#include <vector>

namespace brintom {

// A JSON string literal of text: quotes, backslashes and control bytes escaped; other bytes as
// they are.
std::string json_string(const std::string& text);
// A JSON number: a float with the fewest digits that read back as the same float, a double with
// ten significant digits; null for NaN and the
// infinities, which JSON cannot hold.
std::string json_number(double value, bool as_float = true);
// A JSON array of items, each already JSON text: "[a, b, c]".
std::string json_array(const std::vector<std::string>& items);

}  // namespace brintom
