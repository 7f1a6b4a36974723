#pragma once

namespace brintom {

// A Frame is a slice table of row tables pointing into one contiguous block of float voxels,
// behind a three-float prefix (slices, rows, columns): frame[slice][row][column].
using Frame = float***;

// An Image is a series of Frames of one size; an entry of the frame table may be null.
struct Image {
  int frame_count;
  Frame* frames;
};

// A negative slice count makes a placeholder: one voxel, with the requested sizes in the prefix.
// Fatal for sizes that give no usable Frame (zero slices, rows of 0 or less, negative columns,
// counts that overflow).
Frame new_frame(int slices, int rows, int columns);
void free_frame(Frame f);
void frame_size(Frame f, int* slices, int* rows, int* columns);  // slices as absolute value
Frame copy_frame(Frame f);                                       // bit-identical voxels

// With slices 0 every entry of the frame table stays empty.
Image* new_image(int frame_count, int slices, int rows, int columns);
void free_image(Image* image);
void image_size(Image* image, int* frame_count, int* slices, int* rows, int* columns);

// The native image file: columns, rows, slices, frame count as host-order 32-bit words, then the
// float voxels of each Frame in memory order.
Image* load_image(const char* path);
void save_image(const char* path, Image* image);

}  // namespace brintom
