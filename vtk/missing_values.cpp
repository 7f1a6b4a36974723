#include "vtk/missing_values.hpp"

#include <string>

#include "support/warning.hpp"

namespace brintom {

void warn_missing_values(const char* path, long long missing, long long count, const char* what,
                         const char* zero) {
  if (missing <= 0) return;
  std::string line = "warning: vtk file ";
  line += path;
  line += ": " + std::to_string(missing) + " of " + std::to_string(count) + ' ';
  if (what != nullptr) line += std::string(what) + ' ';
  line += "values missing";
  if (zero != nullptr) line += std::string(", read as ") + zero;
  line += '\n';
  warn(WarningKind::truncated, line);
}

}  // namespace brintom
