#pragma once

#include "volume/mesh.hpp"

namespace brintom {

// VTK's XML PolyData files (.vtp), as ParaView writes them. Coordinates follow the legacy VTK
// mesh files' rule: a file's coordinate is the Mesh's less 1, its vertex indices 0-based.

// Reads the Points and Polys of a file of one piece, whatever its encoding (ascii, inline
// base64, appended raw or base64), header type, byte order and compression (zlib), into a new
// Mesh: Float32 points, or Float64 rounded to float; Int64 or Int32 connectivity and offsets;
// the cell data array "weight" as the weights, else weights of 1.0. Every polygon must have the
// first one's vertex count and name points the file holds; vertices, lines and strips are
// refused (a Mesh holds polygons only), other arrays passed over. Values the file lacks read as
// 0, with one warning line.
Mesh* load_mesh_vtp(const char* path);

// Writes the Mesh's points (Float32), polygons (Int64 connectivity and offsets) and, when it has
// them, its weights as the cell data array "weight" (Float32). Level 0 stores the arrays as
// they are, 1 (fastest, the default) to 9 (smallest) compresses them.
void save_mesh_vtp(const char* path, Mesh* mesh, int level = 1);

}  // namespace brintom
