#include "support/warning.hpp"

#include <cstdio>

namespace brintom {
namespace {

// Per thread: threads reading different files each keep their own warnings.
thread_local WarningCollector* collector = nullptr;

}  // namespace

void warn(WarningKind kind, const std::string& line) {
  if (collector != nullptr) {
    collector->warnings_.push_back({kind, line});
  } else {
    std::fputs(line.c_str(), stderr);
  }
}

void warn_truncated_voxels(const char* kind, const char* path, long long missing,
                           const char* zero) {
  warn(WarningKind::truncated, std::string("warning: ") + kind + " file " + path +
                                   " is truncated: " + std::to_string(missing) +
                                   " voxels missing, read as " + zero + "\n");
}

WarningCollector::WarningCollector() : outer_(collector) { collector = this; }

WarningCollector::~WarningCollector() { collector = outer_; }

}  // namespace brintom
