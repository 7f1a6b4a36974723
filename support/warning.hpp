#pragma once

#include <string>
#include <vector>

namespace brintom {

// What a warning is about, so that whoever collects warnings can tell them apart.
enum class WarningKind {
  truncated,  // a file cut short: what it lacked was read as zero
  other,      // anything else done anyway: a rotation dropped, polygons written as fans ...
};

struct Warning {
  WarningKind kind;
  std::string line;  // as printed, line feed included
};

// Prints one warning line on standard error, or hands it to the calling thread's innermost
// WarningCollector when it has one. Standard error carries only warnings about data that was
// still read or written.
void warn(WarningKind kind, const std::string& line);

// "warning: KIND file PATH is truncated: MISSING voxels missing, read as ZERO", as every reader
// of voxels says it.
void warn_truncated_voxels(const char* kind, const char* path, long long missing, const char* zero);

// While it lives, the warnings of the thread that made it are collected here instead of being
// printed: a caller that is not a command (the Python module) passes them on its own way.
class WarningCollector {
 public:
  WarningCollector();
  ~WarningCollector();
  WarningCollector(const WarningCollector&) = delete;
  WarningCollector& operator=(const WarningCollector&) = delete;

  const std::vector<Warning>& warnings() const { return warnings_; }

 private:
  friend void warn(WarningKind kind, const std::string& line);
  std::vector<Warning> warnings_;
  WarningCollector* outer_;
};

}  // namespace brintom
