#include "vtk/keyword_line.hpp"

#include "support/text.hpp"

namespace brintom {

int read_keyword_line(std::FILE* file, KeywordLine& line) {
  const int result = get_line(line.text, kKeywordLineCapacity, file);
  line.rest = line.text;
  line.word.clear();
  scan_word(line.rest, line.word);
  return result;
}

}  // namespace brintom
