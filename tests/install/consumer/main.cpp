// A program written against the installed toolkit: builds an image and writes it as VTK.
#include <brintom.hpp>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  brintom::Label = brintom::copy("installed");
  brintom::Image* image = brintom::new_image(1, 2, 3, 4);
  image->frames[0][1][2][3] = 42.0f;
  brintom::save_image_vtk_binary_float(argv[1], image, 1);
  brintom::free_image(image);
  return brintom::Imgcnt == 0 ? 0 : 1;
}
