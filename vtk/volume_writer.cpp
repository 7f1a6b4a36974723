#include "vtk/volume_writer.hpp"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>

#include "support/byte_order.hpp"
#include "support/fatal.hpp"
#include "support/number_format.hpp"
#include "support/output_file.hpp"

namespace brintom {
namespace {

// One bounded buffer for the output, whatever the volume's size...
constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
// ... and one for the floats that the ASCII writer formats: a whole number of lines.
constexpr std::size_t kAsciiBlock = std::size_t{1} << 16;
static_assert(kAsciiBlock % 8 == 0, "a block must end with a line");

void check_single_frame(const VoxelSource& source) {
  if (source.shape.frame_count != 1) error_message(kCannotStore);
}

}  // namespace

void write_ascii_volume(const char* path, const Flavour& flavour, VoxelSource& source) {
  check_single_frame(source);
  // Both buffers are taken before the file is opened: running out of memory leaves no file.
  std::unique_ptr<float[]> scratch;
  if (source.reads_into_scratch) {
    scratch.reset(new (std::nothrow) float[kAsciiBlock]);
    if (scratch == nullptr) error_message(kWriterAllocationFailure);
  }
  BufferedOutput out(path, kImageOutputHead, kWriterAllocationFailure, kBufferBytes);
  write_image_header(out, flavour, source.shape.columns, source.shape.rows, source.shape.slices);

  // Eight values a line, "%8.2f " each, with room for a whole line asked once a line.
  constexpr std::size_t kLineRoom = 8 * (kFormattedRoom + 1) + 1;
  for (std::size_t left = source.shape.voxels(); left > 0;) {
    std::size_t count = std::min(kAsciiBlock, left);
    left -= count;
    const auto* value = static_cast<const float*>(source.next(scratch.get(), count));
    if (value == nullptr) out.abandon(source.failure());
    for (; count >= 8; count -= 8) {
      char* end = out.room(kLineRoom);
      for (int k = 0; k < 8; ++k) {
        end = format_fixed2_field(end, *value++);
        *end++ = ' ';
      }
      *end++ = '\n';
      out.took(end);
    }
    char* end = out.room(kLineRoom);
    for (; count > 0; --count) {  // the last, short line has no line feed
      end = format_fixed2_field(end, *value++);
      *end++ = ' ';
    }
    out.took(end);
  }
  out.finish();
}

void write_binary_volume(const char* path, const Flavour& flavour, VoxelSource& source, int swap) {
  check_single_frame(source);
  // Unswapped voxels in memory go straight to the file: the buffer holds the header alone.
  // Otherwise block by block through the buffer: a source that reads into it is swapped in
  // place; voxels in memory are swapped into it.
  const bool buffered = swap != 0 || source.reads_into_scratch;
  BufferedOutput out(path, kImageOutputHead, kWriterAllocationFailure,
                     buffered ? kBufferBytes : BufferedOutput::kRoom);
  write_image_header(out, flavour, source.shape.columns, source.shape.rows, source.shape.slices);

  const std::size_t width = source.shape.width;
  const auto reverse = width == 2 ? reverse_bytes_16 : reverse_bytes_32;
  const std::size_t count = source.shape.voxels();
  const std::size_t block = kBufferBytes / width;
  for (std::size_t done = 0; done < count;) {
    const std::size_t values = std::min(block, count - done), bytes = values * width;
    char* to = buffered ? out.room(bytes) : nullptr;
    const void* from = source.next(to, values);
    if (from == nullptr) out.abandon(source.failure());
    if (buffered) {
      if (swap != 0) reverse(to, from, values);
      out.took(to + bytes);
    } else {
      out.write(from, bytes);
    }
    done += values;
  }
  out.put('\n');
  out.finish();
}

}  // namespace brintom
