#include "vtk/header.hpp"

#include <cstdlib>
#include <string>

#include "support/settings.hpp"
#include "support/text.hpp"
#include "vtk/words.hpp"

namespace brintom {
namespace {

// Three settings as "%f" texts, x first: the SPACING and ORIGIN lines.
std::string three_floats(const char* keyword, float x, float y, float z) {
  std::string line = keyword;
  for (float value : {x, y, z}) {
    char* text = float_to_string(value);
    line += ' ';
    line += text;
    std::free(text);
  }
  line += '\n';
  return line;
}

}  // namespace

void write_image_header(BufferedOutput& out, const Flavour& flavour, int columns, int rows,
                        int slices) {
  // A Mask's dimensions may multiply beyond int: the count is written as it is.
  const long long voxels = 1LL * columns * rows * slices;
  std::string header;
  header.reserve(512);
  header += kVersionLine;
  header += '\n';
  header += Label != nullptr ? Label : "Label";  // a caller that never set it gets the default
  header += '\n';
  header += flavour.encoding;
  header += '\n';
  header += std::string(kDataset) + ' ' + flavour.dataset + '\n';
  header += std::string(kDimensions) + ' ' + std::to_string(columns) + ' ' + std::to_string(rows) +
            ' ' + std::to_string(slices) + '\n';
  header += three_floats(kSpacing, ColumnSpacing, RowSpacing, SliceSpacing);
  header += three_floats(kOrigin, ColumnOrigin, RowOrigin, SliceOrigin);
  header += std::string(kPointData) + ' ' + std::to_string(voxels) + '\n';
  header += flavour.scalars;
  header += '\n';
  header += std::string(kLookupTable) + ' ' + kDefaultTable + '\n';
  out.write(header.data(), header.size());
}

}  // namespace brintom
