// What the five scenes share: loading their models, textures and camera paths
// at start-up, and the push/enable/draw/disable/pop bracket around one
// textured model. Main thread only, with the show's OpenGL context current.
//
// Units: positions in the model units of the current matrix, angles in
// degrees, scales as plain factors.
#pragma once

#include <cstdint>

struct QTL_3DObject;
struct SPL_PointType;
struct SPL_TPoint;
struct TextureImage;

// ---------------------------------------------------------------------------
// Loading (start-up)

// Loads the model file `file` (a Windows-style name such as "Data\Fly.3ds")
// into `obj`. When the file is missing, shows the system-modal "Loading
// error" box "<file> not found!", the extension written in lower case, and
// returns false; a file that is there but cannot be read or is no 3DS model
// gets the same box with the reason ("<file> is not a 3DS model!").
bool LoadSceneModel(const char* file, QTL_3DObject* obj);

// LoadTGA, and when it fails one line on stderr naming the file, the path it
// resolved to and why. Returns LoadTGA's result.
bool LoadSceneTexture(TextureImage* texture, const char* file);

// Everything a scene reads at start-up, loaded in this order: the models
// (a missing one shows its box), the textures (a rejected one fails the scene
// with a line on stderr saying which and why), then the camera path, sampled
// from its control points with path.steps samples per segment (an overflow
// has shown its box and leaves the scene loaded). Every record named is one
// of the scene's statics; the texture pixel buffers that the load allocates
// are freed with FreeSceneTextures.
struct SceneModelFile {
  const char* file;  // a Windows-style name such as "Data\Fly.3ds"
  QTL_3DObject* obj;
};
struct SceneFiles {
  struct {
    const SceneModelFile* files;
    int count;
  } models;
  struct {
    TextureImage* records;
    const char* const* files;  // files[i] goes into records[i]
    int count;
  } textures;
  struct {
    SPL_PointType* control;
    SPL_PointType* table;
    const SPL_TPoint* points;  // control points, world units
    int count;                 // at most 10000
    int32_t steps;
  } path;
};

// Loads `files` in the order above, stopping at the first failure. True when
// every model and texture loaded.
bool LoadSceneFiles(const SceneFiles& files);

// Releases the pixel buffers of `count` records (safe on empty ones).
void FreeSceneTextures(TextureImage* textures, int count);

// ---------------------------------------------------------------------------
// Drawing (each frame)

// What one textured draw switches around the model. The order is fixed, and
// later frames start from what it leaves behind:
//   open:  push; culling off, on or as it was; texturing on; blending on
//          when blended;
//   then:  the caller's own scale and colour, in the order it needs;
//   draw:  DrawTexturedModel (bind, then draw);
//   close: blending off; texturing off; then, as listed, colour material,
//          lighting and culling off; pop.
enum class Culling { AsItWas, Off, On };
enum : unsigned {
  kLeaveColourMaterialOff = 1u << 0,
  kLeaveLightingOff = 1u << 1,
  kLeaveCullingOff = 1u << 2,
};
struct TexturedBracket {
  Culling culling;
  bool blended;        // source-alpha blending, the function set at start-up
  unsigned leavesOff;  // kLeave... flags, switched off after texturing
};

// Two-sided and opaque; lighting and colour material off after the draw (a
// lit model under it takes them from the state the frame set).
constexpr TexturedBracket kTwoSidedOpaque = {Culling::Off, false, kLeaveColourMaterialOff | kLeaveLightingOff};
// The same, blended with the caller's colour alpha.
constexpr TexturedBracket kTwoSidedBlended = {Culling::Off, true, kLeaveColourMaterialOff | kLeaveLightingOff};

void OpenTexturedDraw(const TexturedBracket& bracket);
void CloseTexturedDraw(const TexturedBracket& bracket);

// Binds the OpenGL texture `texID` and draws `obj` translated to (x, y, z),
// then turned about x, y and z by (rx, ry, rz) degrees.
void DrawTexturedModel(const QTL_3DObject* obj, uint32_t texID, float x, float y, float z, float rx, float ry,
                       float rz);
