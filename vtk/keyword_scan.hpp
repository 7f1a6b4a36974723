#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "support/number_scan.hpp"
#include "support/strings.hpp"

namespace brintom {

// What the legacy VTK readers share once the preamble is checked: keyword lines, the dimensions
// and point count of a volume, and ASCII values read one C-scanner conversion at a time.

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
// The same, for the volume readers: a blank line or the end of the file is fatal "empty line\n".
void read_volume_keyword_line(std::FILE* file, KeywordLine& line);

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

// The shapes a reader's volume can take: a Frame may have no columns, a Mask's prefix holds
// each dimension in 16 bits.
struct VolumeLimits {
  long long least_columns;
  long long largest_dimension;
};

// What the DIMENSIONS, POINT_DATA and SCALARS lines of a volume file have set so far.
struct VolumeScan {
  VolumeScan(const char* path_in, std::FILE* file_in, const VolumeLimits& limits_in)
      : path(path_in), file(file_in), limits(limits_in) {}

  const char* path;
  std::FILE* file;
  VolumeLimits limits;
  // Wide, so that numbers beyond int are refused instead of wrapping.
  long long columns = 0, rows = 0, slices = 0;
  bool dimensions_given = false;  // a DIMENSIONS line held all three numbers
  long long point_count = 0;
  std::string data_type;  // held whole: a word longer than any accepted one matches none
};

// "DIMENSIONS columns rows slices"; a number the line lacks leaves its value as it was.
void read_dimensions(VolumeScan& scan, const char* rest);
// A coordinate line, POINT_DATA or LOOKUP_TABLE needs dimensions that describe a volume within
// the limits: fatal "no DIMENSIONS specified\n" or "impossible DIMENSIONS\n" otherwise. Gives
// the voxel count.
int checked_voxel_count(const VolumeScan& scan);
// Before a reader allocates the volume: fatal "DIMENSIONS too large for the file\n" when the
// dimensions ask for far more memory than the rest of the file can back (a cut-short file still
// loads; a few bytes cannot make us allocate gigabytes).
void check_volume_fits(const VolumeScan& scan, int bytes_per_voxel);
// "POINT_DATA count": fatal "inconsistency in number of data points\n" unless it is the voxel
// count.
void check_point_count(VolumeScan& scan, const char* rest);
// "SCALARS name type [components]": only the type is kept, and only when the line holds it.
void read_data_type(VolumeScan& scan, const char* rest);

// Values read one "%g " or "%d " conversion each, exactly as the C scanner reads them, the white
// space after each value included, straight from the stream's buffer. A value that cannot be
// converted is missing; the scan goes on where the scanner stopped, and once it is stuck (the end
// of the file, or two failures in one place) every later read is missing too.
class AsciiValues {
 public:
  explicit AsciiValues(std::FILE* file) : scanner_(file) {}

  bool next_float(float& value);  // "%g "
  // count values, as count next_float calls would read them, in one go.
  void next_floats(float* values, std::size_t count);
  // Reads and drops count values, as count next_float calls would; once stuck, the rest are
  // counted missing at once, so a huge count in a small file costs nothing.
  void skip(long long count);
  // "%d ", read wide: what the C scanner gives for "%d" is this value cut to int.
  bool next_integer(long& value);
  long long missing() const { return missing_; }
  // Puts the stream where the values read so far end, for other reads of it.
  void give_back() { scanner_.give_back(); }

 private:
  bool took(int result);

  NumberScanner scanner_;
  long failed_at_ = -1;  // where the last failed conversion left the stream
  bool stuck_ = false;
  long long missing_ = 0;
};

// One warning line on standard error for data cut short:
// "warning: vtk file PATH: MISSING of COUNT [WHAT ]values missing[, read as ZERO]".
void warn_missing_values(const char* path, long long missing, long long count, const char* what,
                         const char* zero);

}  // namespace brintom
