#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "support/strings.hpp"

namespace brintom {

// The keyword lines of a legacy VTK file after its preamble, and the tables that act on them.

// Keyword lines are read with this capacity; a longer line reaches the scan in pieces.
inline constexpr int kKeywordLineCapacity = 128;

// One keyword line: its first word, and where the rest of the line starts.
struct KeywordLine {
  char text[kKeywordLineCapacity];
  std::string word;  // held whole: a word longer than any keyword matches none
  const char* rest;  // the line after its first word
};

// Reads the next line into line and gives get_line's result (-1 at the end of the file).
int read_keyword_line(std::FILE* file, KeywordLine& line);

template <typename State>
struct Keyword {
  const char* word;
  void (*handle)(State& state, const char* rest);
};

// The first keyword equal to the line's first word decides; any other line is passed over.
template <typename State, std::size_t N>
void dispatch_keyword(const Keyword<State> (&table)[N], State& state, const KeywordLine& line) {
  for (const Keyword<State>& keyword : table) {
    if (strcomp(line.word.c_str(), keyword.word)) {
      keyword.handle(state, line.rest);
      return;
    }
  }
}

}  // namespace brintom
