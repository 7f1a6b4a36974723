#pragma once

// The brintom toolkit: volumetric images, masks and meshes with their native files, legacy VTK
// files, VTK's XML files and the STL, PLY and OBJ mesh files. Everything lives in namespace
// brintom.

#include "mesh/obj.hpp"
#include "mesh/ply.hpp"
#include "mesh/stl.hpp"
#include "support/containers.hpp"
#include "support/fatal.hpp"
#include "support/ledger.hpp"
#include "support/settings.hpp"
#include "support/strings.hpp"
#include "support/text.hpp"
#include "volume/frame.hpp"
#include "volume/mask.hpp"
#include "volume/mesh.hpp"
#include "vtk/image_reader.hpp"
#include "vtk/image_writer.hpp"
#include "vtk/mask_file.hpp"
#include "vtk/mesh_file.hpp"
#include "vtk/preamble.hpp"
#include "vtkxml/image_file.hpp"
#include "vtkxml/poly_data.hpp"
