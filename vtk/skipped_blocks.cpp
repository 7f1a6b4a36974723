#include "vtk/skipped_blocks.hpp"

#include <algorithm>
#include <array>

#include "support/strings.hpp"
#include "support/text.hpp"
#include "vtk/ascii_values.hpp"
#include "vtk/words.hpp"

namespace brintom {
namespace {

// Passes over one whole line, however long. Gives -1 at the end of the file, 0 when the line
// holds only blank bytes (as get_line would trim it to nothing), else 1.
int pass_over_whole_line(std::FILE* file) {
  int c = std::getc(file);
  if (c == EOF) return -1;
  bool blank = true;
  for (; c != EOF && c != '\n'; c = std::getc(file)) {
    if (!is_blank_byte(static_cast<char>(c))) blank = false;
  }
  return blank ? 0 : 1;
}

bool is_word(const KeywordLine& line, const char* word) {
  return strcomp(line.word.c_str(), word) != 0;
}

// line holds a METADATA line. Gives the result of reading the line after the block into line.
int pass_over_metadata(std::FILE* file, KeywordLine& line) {
  const int result = read_keyword_line(file, line);
  if (result < 1 || !(is_word(line, kComponentNames) || is_word(line, kInformation))) {
    return result;  // not VTK's form: the METADATA line alone is passed over
  }
  // The sub-blocks' lines hold names and values of any length; a blank line ends the block.
  int whole;
  do {
    whole = pass_over_whole_line(file);
  } while (whole == 1);
  return whole < 0 ? -1 : read_keyword_line(file, line);
}

}  // namespace

long long pass_over_values(std::FILE* file, NumberEncoding encoding, long long count, int width) {
  if (encoding == NumberEncoding::ascii) {
    AsciiValues values(file);
    values.skip(count);
    return values.missing();
  }
  std::array<char, 16384> scratch;
  long long left = count * width;  // bytes
  while (left > 0) {
    const auto want = static_cast<std::size_t>(std::min<long long>(left, scratch.size()));
    const std::size_t got = std::fread(scratch.data(), 1, want, file);
    left -= static_cast<long long>(got);
    if (got < want) return (left + width - 1) / width;  // the end of the file: a part is no value
  }
  // Anything else there is the next keyword line's first byte.
  const int c = std::getc(file);
  if (c != '\n' && c != EOF) std::ungetc(c, file);
  return 0;
}

int read_block_line(std::FILE* file, NumberEncoding, KeywordLine& line) {
  int result = read_keyword_line(file, line);
  while (result >= 1 && is_word(line, kMetadata)) result = pass_over_metadata(file, line);
  return result;
}

}  // namespace brintom
