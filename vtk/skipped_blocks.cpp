#include "vtk/skipped_blocks.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <string>

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

// Reads the next line into line, METADATA blocks passed over.
int read_after_metadata(std::FILE* file, KeywordLine& line) {
  int result = read_keyword_line(file, line);
  while (result >= 1 && line.word == kMetadata) result = pass_over_metadata(file, line);
  return result;
}

}  // namespace

int pass_over_metadata(std::FILE* file, KeywordLine& line) {
  const int result = read_keyword_line(file, line);
  if (result < 1 || !(line.word == kComponentNames || line.word == kInformation)) {
    return result;  // not VTK's form: the METADATA line alone is passed over
  }
  // The sub-blocks' lines hold names and values of any length; a blank line ends the block.
  int whole;
  do {
    whole = pass_over_whole_line(file);
  } while (whole == 1);
  return whole < 0 ? -1 : read_keyword_line(file, line);
}

int pass_over_field(std::FILE* file, NumberEncoding encoding, KeywordLine& line) {
  const char* rest = line.rest;
  std::string name, type;
  long long arrays = 0;
  if (!scan_word(rest, name) || !scan_integer(rest, arrays)) arrays = 0;
  for (long long i = 0; i < arrays; ++i) {
    const int result = read_after_metadata(file, line);
    if (result < 1) return result;
    rest = line.rest;
    long long components = -1, tuples = -1;
    // line.word is the array's name.
    const bool array = scan_integer(rest, components) && scan_integer(rest, tuples) &&
                       scan_word(rest, type) && components >= 0 && tuples >= 0 &&
                       components <= INT_MAX && tuples <= INT_MAX && type_width(type) > 0;
    if (!array) return result;  // read as any other line
    pass_over_values(file, encoding, components * tuples, type_width(type));
  }
  return read_keyword_line(file, line);
}

long long pass_over_values(std::FILE* file, NumberEncoding encoding, long long count, int width) {
  if (encoding == NumberEncoding::ascii) {
    // Files may hold many small arrays: each gets a block near its own size (later blocks read
    // what a longer array holds beyond it).
    AsciiValues values(file, count < (1LL << 20) ? 32 * count : -1);
    values.skip(count);
    return values.missing();
  }
  std::array<char, 16384> scratch;
  // Bytes; a count beyond any file is read to the end all the same.
  long long left = count < LLONG_MAX / width ? count * width : LLONG_MAX;
  while (left > 0) {
    const auto want = static_cast<std::size_t>(std::min<long long>(left, scratch.size()));
    const std::size_t got = std::fread(scratch.data(), 1, want, file);
    left -= static_cast<long long>(got);
    // The end of the file: a part of a value is no value.
    if (got < want) return left / width + (left % width != 0 ? 1 : 0);
  }
  // Anything else there is the next keyword line's first byte.
  const int c = std::getc(file);
  if (c != '\n' && c != EOF) std::ungetc(c, file);
  return 0;
}

}  // namespace brintom
