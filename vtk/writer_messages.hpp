#pragma once

namespace brintom {

// The VTK writers' message when their output buffer cannot be had.
inline constexpr char kWriterAllocationFailure[] = "allocation error in vtk writer";

}  // namespace brintom
