// library_io: one library call per process, so that bench/run times the call and its peak memory.
//
//   library_io <function> <path>     <function> names a row of kCalls
#include <cstdio>
#include <cstring>

#include "brintom.hpp"

namespace {

using namespace brintom;

struct Call {
  const char* function;
  void (*run)(const char* path);
};
// clang-format off
constexpr Call kCalls[] = {
    {"load_image_vtk_binary", [](const char* path) { load_image_vtk_binary(path, 1); }},
    {"load_image_vtk_ascii",  [](const char* path) { load_image_vtk_ascii(path); }},
    {"load_mesh_vtk",         [](const char* path) { load_mesh_vtk(path); }},
    {"load_mesh_stl",         [](const char* path) { load_mesh_stl(path); }},
    {"load_mesh_ply",         [](const char* path) { load_mesh_ply(path); }},
};
// clang-format on

}  // namespace

int main(int argc, char** argv) {
  for (const Call& call : kCalls) {
    if (argc == 3 && std::strcmp(argv[1], call.function) == 0) {
      call.run(argv[2]);
      return 0;
    }
  }
  std::fputs("usage: library_io <function> <path>, the functions of kCalls in library_io.cpp\n",
             stderr);
  return 2;
}
