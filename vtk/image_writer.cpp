#include "vtk/image_writer.hpp"

#include <algorithm>
#include <cstddef>

#include "support/byte_order.hpp"
#include "support/fatal.hpp"
#include "support/number_format.hpp"
#include "support/output_file.hpp"
#include "support/strings.hpp"
#include "volume/frame_prefix.hpp"
#include "vtk/binary_volume.hpp"
#include "vtk/header.hpp"
#include "vtk/writer_messages.hpp"

namespace brintom {
namespace {

constexpr char kCannotStore[] = "Cannot store this image in vtk format";
// One bounded buffer for the payload, whatever the image size.
constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

struct Volume {
  int columns, rows, slices;
  std::size_t voxels;
  const float* first;
};

// The single Frame to write. An Image without frames, with an empty Frame 0 or with a
// placeholder (one voxel whatever it announces) has nothing that can be written.
Volume single_frame(Image* image) {
  if (image == nullptr || image->frame_count < 1 || image->frames == nullptr ||
      image->frames[0] == nullptr) {
    error_message(kCannotStore);
  }
  int frame_count = 0, slices = 0, rows = 0, columns = 0;
  image_size(image, &frame_count, &slices, &rows, &columns);
  if (frame_count > 1) error_message(kCannotStore);
  if (stored_slices(image->frames[0]) < 0.0f) error_message(kCannotStore);  // a placeholder
  return {columns, rows, slices,
          static_cast<std::size_t>(slices) * static_cast<std::size_t>(rows) * columns,
          image->frames[0][0][0]};
}

void open_or_fail(const BufferedOutput& out, const char* path) {
  if (!out.is_open()) error_message(cat2(kImageOutputHead, path, kCannotBeOpened));
}

void write_ascii(const char* path, Image* image, const Flavour& flavour) {
  const Volume volume = single_frame(image);
  BufferedOutput out(path, kImageOutputHead, kWriterAllocationFailure, kBufferBytes);
  open_or_fail(out, path);
  write_image_header(out, flavour, volume.columns, volume.rows, volume.slices);

  // Eight values a line, "%8.2f " each, with room for a whole line asked once a line.
  constexpr std::size_t kLineRoom = 8 * (kFormattedRoom + 1) + 1;
  const float* value = volume.first;
  std::size_t left = volume.voxels;
  for (; left >= 8; left -= 8) {
    char* end = out.room(kLineRoom);
    for (int k = 0; k < 8; ++k) {
      end = format_fixed2_field(end, *value++);
      *end++ = ' ';
    }
    *end++ = '\n';
    out.took(end);
  }
  char* end = out.room(kLineRoom);
  for (; left > 0; --left) {  // the last, short line has no line feed
    end = format_fixed2_field(end, *value++);
    *end++ = ' ';
  }
  out.took(end);
  out.finish();
}

}  // namespace

void save_image_vtk_ascii(const char* path, Image* image) { write_ascii(path, image, kAsciiFloat); }

void save_image_vtk_ascii_structured(const char* path, Image* image) {
  write_ascii(path, image, kAsciiStructuredFloat);
}

void save_image_vtk_binary_float(const char* path, Image* image, int swap) {
  const Volume volume = single_frame(image);
  write_binary_volume(path, kBinaryFloat, volume.columns, volume.rows, volume.slices, volume.first,
                      sizeof(float), swap);
}

void write_binary_volume(const char* path, const Flavour& flavour, int columns, int rows,
                         int slices, const void* voxels, std::size_t width, int swap) {
  // Only a swapped payload passes through the buffer. Otherwise the header and the voxels go
  // straight to the file, and the buffer holds just the closing line feed: put() asks for room().
  BufferedOutput out(path, kImageOutputHead, kWriterAllocationFailure,
                     swap != 0 ? kBufferBytes : BufferedOutput::kRoom);
  open_or_fail(out, path);
  write_image_header(out, flavour, columns, rows, slices);

  const std::size_t count = static_cast<std::size_t>(slices) * static_cast<std::size_t>(rows) *
                            static_cast<std::size_t>(columns);
  if (swap == 0) {
    out.write(voxels, count * width);
  } else {
    // Legacy binary files are big-endian; the build host is little-endian. Swap block by block
    // into the buffer rather than copying the volume, reading each voxel once.
    const auto reverse = width == 2 ? reverse_bytes_16 : reverse_bytes_32;
    const auto* from = static_cast<const unsigned char*>(voxels);
    const std::size_t block = kBufferBytes / width;
    for (std::size_t done = 0; done < count;) {
      const std::size_t values = std::min(block, count - done);
      char* to = out.room(values * width);
      reverse(to, from + done * width, values);
      out.took(to + values * width);
      done += values;
    }
  }
  out.put('\n');
  out.finish();
}

}  // namespace brintom
