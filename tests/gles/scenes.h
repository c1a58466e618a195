// Small scenes drawn with OpenGL 1.1 calls, compiled twice from scenes.inc:
// once against desktop OpenGL (namespace desktop) and once with gl_names.h
// force-included, through the fixed-function layer (namespace layer). Each
// draws into a fresh context of kSceneWidth x kSceneHeight and may append
// what it queried to `queried`, to be compared value for value.
#pragma once

#include <vector>

constexpr int kSceneWidth = 256;
constexpr int kSceneHeight = 192;

#define FFGL_SCENES(X) X(Lighting) X(Fog) X(Textures) X(BlendAndCulling) X(DisplayLists) X(AttribStack) X(Matrices)

#define FFGL_DECLARE(name) void name(std::vector<float>* queried);
namespace desktop { FFGL_SCENES(FFGL_DECLARE) }
namespace layer { FFGL_SCENES(FFGL_DECLARE) }
#undef FFGL_DECLARE
