#include "vtk/keyword_line.hpp"

#include "support/text.hpp"
#include "vtk/skipped_blocks.hpp"
#include "vtk/words.hpp"

namespace brintom {
namespace {

// What read_block_line's table acts on: the line, and the result of reading the line after a
// block passed over.
struct BlockLines {
  std::FILE* file;
  NumberEncoding encoding;
  KeywordLine& line;
  int result;
};

// clang-format off
constexpr Keyword<BlockLines> kBlocks[] = {
  {kMetadata, [](BlockLines& b, const char*) {
     b.result = pass_over_metadata(b.file, b.line);
     return true;
   }},
  {kField,    [](BlockLines& b, const char*) {
     b.result = pass_over_field(b.file, b.encoding, b.line);
     return true;
   }},
};
// clang-format on

}  // namespace

int read_keyword_line(std::FILE* file, KeywordLine& line) {
  const int result = get_line(line.text, kKeywordLineCapacity, file);
  line.rest = line.text;
  line.word.clear();
  scan_word(line.rest, line.word);
  return result;
}

int read_block_line(std::FILE* file, NumberEncoding encoding, KeywordLine& line) {
  BlockLines lines{file, encoding, line, read_keyword_line(file, line)};
  while (lines.result >= 1 && dispatch_keyword(kBlocks, lines, line)) {
  }
  return lines.result;
}

}  // namespace brintom
