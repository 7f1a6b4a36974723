#pragma once

namespace brintom {

// Geometry settings: the converter sets them from the header file; the VTK writers print them.
// Column is VTK x, row y, slice z. Spacings start at 1.0 and origins at 0.0; Label holds no text
// (null) until the converter sets it.
extern float ColumnSpacing, RowSpacing, SliceSpacing;
extern float ColumnOrigin, RowOrigin, SliceOrigin;
extern char* Label;

}  // namespace brintom
