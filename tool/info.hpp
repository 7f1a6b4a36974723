#pragma once

#include <string>
#include <vector>

namespace brintom {

// Describes each file, in order, as one human-readable block or, with json, as one object of a
// JSON array on standard output. A file that cannot be read is reported in its place with its
// message. Gives the exit status: 0, or 10 when any file could not be read.
int describe_files(const std::vector<std::string>& paths, bool json);

}  // namespace brintom
