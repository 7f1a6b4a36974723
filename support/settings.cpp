#include "support/settings.hpp"

namespace brintom {

float ColumnSpacing = 1.0f, RowSpacing = 1.0f, SliceSpacing = 1.0f;
float ColumnOrigin = 0.0f, RowOrigin = 0.0f, SliceOrigin = 0.0f;
char* Label = nullptr;

}  // namespace brintom
