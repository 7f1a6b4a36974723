#include "medical/text_header.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "support/json_text.hpp"
#include "support/number_format.hpp"
#include "support/text.hpp"

namespace brintom {

LineRead read_header_line(std::FILE* file, std::string& line, long long& consumed,
                          long long limit) {
  line.clear();
  int c = std::getc(file);
  if (c == EOF) return LineRead::end;
  for (; c != EOF; c = std::getc(file)) {
    if (++consumed > limit) return LineRead::too_long;
    if (c == '\n') break;
    line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return LineRead::line;
}

std::string trim_blanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> split_words(const std::string& text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && is_white_space(static_cast<unsigned char>(text[i]))) ++i;
    const std::size_t start = i;
    while (i < text.size() && !is_white_space(static_cast<unsigned char>(text[i]))) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

bool equal_ignoring_case(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return i == a.size() && b[i] == '\0';
}

bool parse_integer(const std::string& text, long long& value) {
  if (text.empty() || is_white_space(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text.c_str(), &end, 10);
  // A NUL byte inside text stops the scan short of its end, and so is refused too.
  return errno == 0 && end == text.c_str() + text.size();
}

bool parse_number(const std::string& text, double& value) {
  if (text.empty() || is_white_space(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size();
}

bool parse_numbers(const std::string& text, std::vector<double>& values) {
  values.clear();
  for (const std::string& word : split_words(text)) {
    double value;
    if (!parse_number(word, value)) return false;
    values.push_back(value);
  }
  return true;
}

std::string excerpt_line(const std::string& text) {
  std::string shown = text.substr(0, 64);
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return shown + "\n";
}

std::string data_file_beside(const char* header_path, const std::string& name) {
  const std::string path(header_path);
  const std::size_t slash = path.rfind('/');
  if (name[0] == '/' || slash == std::string::npos) return name;
  return path.substr(0, slash + 1) + name;
}

bool volume_bytes_fit(const long long (&dimensions)[4], int width) {
  long long room = (1LL << 62) / width;
  for (long long size : dimensions) {
    if (size < 1 || size > room) return false;
    room /= size;
  }
  return true;
}

void complete_third_axis(double (&axes)[3][3]) {
  const double(&u)[3] = axes[0];
  const double(&v)[3] = axes[1];
  double normal[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                      u[0] * v[1] - u[1] * v[0]};
  const double length =
      std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
  for (int c = 0; c < 3; ++c) {
    axes[2][c] = length > 0 && std::isfinite(length) ? normal[c] / length : (c == 2 ? 1 : 0);
  }
}

std::string one_line(const std::string& text) {
  std::string line = text;
  for (char& c : line) {
    if (c == '\n' || c == '\r' || c == '\0') c = ' ';
  }
  return line;
}

std::string number_text(double value) { return shortest_float(static_cast<float>(value)); }

std::string json_numbers(const std::vector<double>& values) {
  std::vector<std::string> items;
  for (double value : values) items.push_back(json_number(value, false));
  return json_array(items);
}

}  // namespace brintom
