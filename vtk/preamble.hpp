#pragma once

#include <cstdio>

namespace brintom {

// The readers whose preamble checks apply: each has its own encoding word, dataset types and
// messages.
enum class VtkReader { binary_image, ascii_image, mask, mesh };

// Opens path and checks the four preamble lines (header, title, encoding, DATASET) for the given
// reader; any failed check is fatal with that reader's message. Returns the open stream just
// after what the read of the DATASET line took; the caller closes it.
std::FILE* read_vtk_preamble(const char* path, VtkReader column);

// 1 when the file's encoding word is exactly "ASCII", else 0. Checks lines 1 to 3 only.
int file_type_vtk(const char* path);

}  // namespace brintom
