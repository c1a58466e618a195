// Writing one mesh as a standard 3D Studio file: Main > Object Mesh >
// Object Block (name) > Tri-Mesh with its vertex, face and mapping lists.
#pragma once

#include "tools/generators/datagen/geometry.h"

#include <cstdint>
#include <string>
#include <vector>

// The file's bytes; empty when the mesh does not fit a 3DS list (more than
// 65535 vertices or faces).
std::vector<uint8_t> Encode3DS(const Mesh& mesh, const char* objectName);
