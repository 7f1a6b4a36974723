#pragma once

namespace brintom {

// One warning line on standard error for data cut short, nothing when missing is 0:
// "warning: vtk file PATH: MISSING of COUNT [WHAT ]values missing[, read as ZERO]".
void warn_missing_values(const char* path, long long missing, long long count, const char* what,
                         const char* zero);

}  // namespace brintom
