#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "vtk/preamble.hpp"

namespace brintom {

// The keyword lines of a legacy VTK file after its preamble, the line reader of every VTK reader,
// and the tables that act on the lines.

// Keyword lines are read with this capacity; a longer line reaches the scan in pieces.
inline constexpr int kKeywordLineCapacity = 128;

// One keyword line: its first word, and where the rest of the line starts.
struct KeywordLine {
  char text[kKeywordLineCapacity];
  std::string word;  // held whole: a word longer than any keyword matches none
  const char* rest;  // the line after its first word
};

// How the file holds its numbers: as text values, or as binary words that follow their keyword
// line's line feed directly.
enum class NumberEncoding { ascii, binary };

// read_vtk_preamble, also telling how the file holds its numbers and, given a place for it, the
// dataset type it accepted.
std::FILE* read_vtk_preamble(const char* path, VtkReader column, NumberEncoding& encoding,
                             std::string* dataset = nullptr);

// Reads the next line into line and gives get_line's result (-1 at the end of the file).
int read_keyword_line(std::FILE* file, KeywordLine& line);

// Reads the next keyword line as read_keyword_line does, first passing over whole the blocks
// that no reader of ours uses (METADATA and FIELD, see skipped_blocks.hpp), so that none of their
// lines or value bytes is taken for a keyword line.
int read_block_line(std::FILE* file, NumberEncoding encoding, KeywordLine& line);

// A handler gives false when its line is not in the form it acts on ("not mine").
template <typename State>
struct Keyword {
  const char* word;
  bool (*handle)(State& state, const char* rest);
};

// The first keyword equal to the line's first word decides; gives whether its handler took the
// line. Any other line is left to the caller.
template <typename State, std::size_t N>
bool dispatch_keyword(const Keyword<State> (&table)[N], State& state, const KeywordLine& line) {
  for (const Keyword<State>& keyword : table) {
    if (line.word == keyword.word) return keyword.handle(state, line.rest);
  }
  return false;
}

}  // namespace brintom
