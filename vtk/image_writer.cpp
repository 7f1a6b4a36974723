#include "vtk/image_writer.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "support/byte_order.hpp"
#include "support/fatal.hpp"
#include "support/number_format.hpp"
#include "support/output_file.hpp"
#include "support/strings.hpp"
#include "vtk/header.hpp"

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
  if (is_placeholder(image->frames[0])) error_message(kCannotStore);
  return {columns, rows, slices,
          static_cast<std::size_t>(slices) * static_cast<std::size_t>(rows) * columns,
          image->frames[0][0][0]};
}

// Taken before the output is opened, so that running out of memory leaves no file behind.
template <typename T>
T* payload_buffer(std::size_t count) {
  T* buffer = new (std::nothrow) T[count];
  if (buffer == nullptr) error_message("allocation error in vtk writer");
  return buffer;
}

void open_or_fail(const BufferedOutput& out, const char* path) {
  if (!out.is_open()) error_message(cat2(kImageOutputHead, path, kCannotBeOpened));
}

void write_ascii(const char* path, Image* image, const Flavour& flavour) {
  const Volume volume = single_frame(image);
  BufferedOutput out(path, kImageOutputHead, kBufferBytes);
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
  constexpr std::size_t kWords = kBufferBytes / sizeof(std::uint32_t);
  const std::unique_ptr<std::uint32_t[]> buffer(swap != 0 ? payload_buffer<std::uint32_t>(kWords)
                                                          : nullptr);
  BufferedOutput out(path, kImageOutputHead);
  open_or_fail(out, path);
  write_image_header(out, kBinaryFloat, volume.columns, volume.rows, volume.slices);

  if (swap == 0) {
    out.write(volume.first, volume.voxels * sizeof(float));
  } else {
    // Legacy binary files are big-endian; the build host is little-endian. Swap block by block
    // through one bounded buffer rather than copying the image, reading each voxel once.
    for (std::size_t done = 0; done < volume.voxels;) {
      const std::size_t count = std::min(kWords, volume.voxels - done);
      reverse_bytes_32(buffer.get(), volume.first + done, count);
      out.write(buffer.get(), count * sizeof(std::uint32_t));
      done += count;
    }
  }
  out.put('\n');
  out.finish();
}

}  // namespace brintom
