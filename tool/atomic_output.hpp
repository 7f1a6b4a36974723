#pragma once

namespace brintom {

// Makes every file the library writes from here on appear whole or not at all: it is written
// under a hidden temporary name in its directory and renamed over its path once complete, with
// the permission bits of the file it replaces. A failure removes the temporary file and leaves
// what was there; so do SIGINT, SIGTERM and SIGHUP (after SIGKILL only the hidden file remains).
// A path that names something other than a regular file (/dev/stdout, a pipe) is written
// directly.
void make_outputs_atomic();

}  // namespace brintom
