#include "vtk/preamble.hpp"

#include <array>
#include <iterator>
#include <string>

#include "support/fatal.hpp"
#include "support/file_handle.hpp"
#include "support/text.hpp"
#include "vtk/keyword_line.hpp"
#include "vtk/words.hpp"

namespace brintom {
namespace {

// One field per check, in the order the checks run.
struct PreambleRow {
  const char* open_head;  // written around the path: head + path + tail
  const char* open_tail;
  const char* empty_header;              // line 1 blank
  const char* bad_header;                // line 1 does not begin with '#'
  const char* empty_title;               // line 2 blank
  const char* empty_encoding;            // line 3 blank
  std::array<const char*, 2> encodings;  // the words line 3 may hold; none for the probe
  const char* wrong_encoding;
  const char* empty_dataset;            // line 4 blank
  const char* no_dataset;               // line 4 does not begin with "DATASET"
  std::array<const char*, 2> datasets;  // accepted types, in the order tried
  const char* wrong_dataset;
};

// clang-format off
constexpr PreambleRow kPreamble[] = {
  /* binary_image */ {"file ", "cannot be opened", "empty line\n", "incorrect header\n",
                      "empty identifier line\n", "empty BINARY/ASCII line\n",
                      {kBinary, nullptr}, "vtk file not BINARY\n",
                      "empty DATASET line\n", "no DATASET specified\n",
                      {kRectilinearGrid, kStructuredPoints}, "not image data\n"},
  /* ascii_image  */ {"file ", "cannot be opened", "empty line\n", "incorrect header\n",
                      "empty identifier line\n", "empty BINARY/ASCII line\n",
                      {kAscii, nullptr}, "vtk file not ASCII\n",
                      "empty DATASET line\n", "no DATASET specified\n",
                      {kRectilinearGrid, kStructuredPoints}, "not image data\n"},
  /* mask         */ {"file ", "cannot be opened", "Empty line\n", "Incorrect header\n",
                      "Empty identifier line\n", "empty BINARY/ASCII line\n",
                      {kAscii, kBinary}, "vtk file not ASCII\n",
                      "empty DATASET line\n", "no DATASET specified\n",
                      {kRectilinearGrid, kStructuredPoints}, "not mask data\n"},
  /* mesh         */ {"mesh file ", "cannot be opened.\n", "empty line\n", "incorrect header\n",
                      "empty identifier line\n", "empty BINARY/ASCII line\n",
                      {kAscii, kBinary}, "vtk mesh file not ASCII\n",
                      "empty DATASET line\n", "no DATASET specified\n",
                      {kPolydata, kUnstructuredGrid}, "not mesh data\n"},
};
// The probe reads lines 1 to 3 only and never fails on the encoding word.
constexpr PreambleRow kProbe =
                     {"file ", "cannot be opened", "empty line\n", "incorrect header\n",
                      "empty identifier line\n", "empty BINARY/ASCII line\n",
                      {nullptr, nullptr}, nullptr, nullptr, nullptr, {nullptr, nullptr},
                      nullptr};
// clang-format on
static_assert(std::size(kPreamble) == 4, "one row per VtkReader value");

// Each line is read with its own capacity; a longer line leaves its remainder to the next read.
constexpr int kHeaderCapacity = 128;
constexpr int kTitleCapacity = 256;
constexpr int kEncodingCapacity = 64;
constexpr int kDatasetCapacity = 64;
constexpr int kLineBuffer = 256;

bool one_of(const std::array<const char*, 2>& words, const std::string& word) {
  for (const char* accepted : words) {
    if (accepted != nullptr && word == accepted) return true;
  }
  return false;
}

// The first word of a line, or the empty word when the line has none.
std::string word_at(const char*& cursor) {
  std::string word;
  scan_word(cursor, word);
  return word;
}

// Opens the file and checks lines 1 to 3; encoding receives the first word of line 3.
FileHandle open_to_encoding(const char* path, const PreambleRow& row, std::string& encoding) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) file_error(row.open_head, path, row.open_tail);
  char line[kLineBuffer];

  // At the end of the file a read gives -1 and an empty line: only a result of 0 is "blank", and
  // the next test decides.
  if (get_line(line, kHeaderCapacity, file.get()) == 0) error_message(row.empty_header);
  if (line[0] != '#') error_message(row.bad_header);
  if (get_line(line, kTitleCapacity, file.get()) == 0) error_message(row.empty_title);
  if (get_line(line, kEncodingCapacity, file.get()) == 0) error_message(row.empty_encoding);
  const char* cursor = line;
  encoding = word_at(cursor);
  if (row.encodings[0] != nullptr && !one_of(row.encodings, encoding)) {
    error_message(row.wrong_encoding);
  }
  return file;
}

}  // namespace

std::FILE* read_vtk_preamble(const char* path, VtkReader column) {
  NumberEncoding encoding;
  return read_vtk_preamble(path, column, encoding);
}

std::FILE* read_vtk_preamble(const char* path, VtkReader column, NumberEncoding& numbers,
                             std::string* dataset) {
  const PreambleRow& row = kPreamble[static_cast<int>(column)];
  std::string encoding;
  FileHandle file = open_to_encoding(path, row, encoding);

  char line[kLineBuffer];
  if (get_line(line, kDatasetCapacity, file.get()) == 0) error_message(row.empty_dataset);
  const char* cursor = line;
  const std::string keyword = word_at(cursor);
  const std::string type = word_at(cursor);  // held whole, so an over-long word cannot overrun
  if (keyword != kDataset) error_message(row.no_dataset);
  if (!one_of(row.datasets, type)) error_message(row.wrong_dataset);
  numbers = encoding == kBinary ? NumberEncoding::binary : NumberEncoding::ascii;
  if (dataset != nullptr) *dataset = type;
  return file.release();
}

int file_type_vtk(const char* path) {
  std::string encoding;
  const FileHandle file = open_to_encoding(path, kProbe, encoding);
  return encoding == kAscii ? 1 : 0;
}

}  // namespace brintom
