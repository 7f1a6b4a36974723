#pragma once

#include <string>
#include <vector>

namespace brintom {

// Describes each file, in order, as one human-readable block or, with json, as one object of a
// JSON array on standard output. A file that cannot be read is reported in its place with its
// message. Gives the exit status: 0, or 10 when any file could not be read.
int describe_files(const std::vector<std::string>& paths, bool json);

// One file's description: the human-readable block, or with json the one-line JSON object that
// describe_files shows for it. Every failure is fatal with its message (and so ends the process,
// unless error_message throws).
std::string describe_file(const std::string& path, bool json);

}  // namespace brintom
