#pragma once

#include <string>

#include "volume/mesh.hpp"

namespace brintom {

// Mesh points are 1-based grid units; the file's coordinates are those units less 1 (a fixed
// spacing of 1 and origin of 0 on every axis). Vertex indices are 1-based in the Mesh and 0-based
// in the file.

// Writes an ASCII POLYDATA file of the points ("%g ") and polygons ("%d "); the title is line 2.
// Needs points of 3 rows and polygons; weights and the aux fields are not written.
void save_mesh_vtk(const char* path, Mesh* mesh, const char* title);

// Reads a POLYDATA file's POINTS ("float") and POLYGONS sections, in either order, or an
// UNSTRUCTURED_GRID's POINTS, CELLS and CELL_TYPES (triangles, quads or polygons), into a new
// Mesh whose weights are all 1.0. Every polygon must have the first one's vertex count and name
// a point the file holds. A data block cut short reads what is missing as 0 and is reported on
// standard error.
Mesh* load_mesh_vtk(const char* path);

// Whether a legacy VTK file of this DATASET type holds a mesh for load_mesh_vtk.
bool vtk_dataset_holds_mesh(const std::string& dataset);

}  // namespace brintom
