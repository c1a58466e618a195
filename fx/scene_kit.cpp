// Loading and drawing brackets shared by the scenes. Keeps no state.
#include "fx/scene_kit.h"

#include "models/mesh.h"
#include "paths/spline.h"
#include "platform/msgbox.h"
#include "platform/win_files.h"
#include "render/tga.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <string>

// ---------------------------------------------------------------------------
// Loading

bool LoadSceneModel(const char* file, QTL_3DObject* obj) {
  ModelProblem problem = ModelProblem::None;
  if (QTL_3DSMain(file, obj, &problem)) return true;
  // The box names the file with a lower-case extension, whatever the case the
  // file is opened with ("Data\Nena1.3DS" is reported as "Data\Nena1.3ds").
  // A file that is there but no model gets a box of the same kind.
  char message[256];
  if (problem == ModelProblem::NotFound) std::snprintf(message, sizeof message, "%s not found!", file);
  else std::snprintf(message, sizeof message, "%s is %s!", file, ModelProblemText(problem));
  const char* dot = std::strrchr(file, '.');
  const size_t nameEnd = std::strlen(file) < sizeof message ? std::strlen(file) : sizeof message - 1;
  for (size_t i = dot ? size_t(dot - file) : nameEnd; i < nameEnd; ++i)
    if (message[i] >= 'A' && message[i] <= 'Z') message[i] = char(message[i] - 'A' + 'a');
  MessageBoxA(message, "Loading error", MB_SYSTEMMODAL | MB_ICONERROR);
  return false;
}

bool LoadSceneTexture(TextureImage* texture, const char* file) {
  TgaProblem problem = TgaProblem::None;
  if (LoadTGA(texture, file, &problem)) return true;
  std::string path;
  if (ResolveShowFile(file, &path))
    std::fprintf(stderr, "velmora-trailer: texture %s (%s): %s\n", file, path.c_str(), TgaProblemText(problem));
  else
    std::fprintf(stderr, "velmora-trailer: texture %s: %s\n", file, TgaProblemText(problem));
  return false;
}

bool LoadSceneFiles(const SceneFiles& files) {
  for (int i = 0; i < files.models.count; ++i)
    if (!LoadSceneModel(files.models.files[i].file, files.models.files[i].obj)) return false;
  for (int i = 0; i < files.textures.count; ++i)
    if (!LoadSceneTexture(&files.textures.records[i], files.textures.files[i])) return false;

  SPL_PointType* control = files.path.control;
  const int capacity = int(sizeof control->Point / sizeof control->Point[0]);
  const int count = files.path.count < 0 ? 0 : files.path.count > capacity ? capacity : files.path.count;
  control->NumPoints = count;
  for (int i = 0; i < count; ++i) control->Point[i] = files.path.points[i];
  SPL_Generate(control, files.path.table, files.path.steps);  // an overflow has shown its box
  return true;
}

void FreeSceneTextures(TextureImage* textures, int count) {
  for (int i = 0; i < count; ++i) FreeTexturePixels(&textures[i]);
}

// ---------------------------------------------------------------------------
// Drawing

void OpenTexturedDraw(const TexturedBracket& bracket) {
  glPushMatrix();
  if (bracket.culling == Culling::Off) glDisable(GL_CULL_FACE);
  if (bracket.culling == Culling::On) glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  if (bracket.blended) glEnable(GL_BLEND);
}

void CloseTexturedDraw(const TexturedBracket& bracket) {
  if (bracket.blended) glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  if (bracket.leavesOff & kLeaveColourMaterialOff) glDisable(GL_COLOR_MATERIAL);
  if (bracket.leavesOff & kLeaveLightingOff) glDisable(GL_LIGHTING);
  if (bracket.leavesOff & kLeaveCullingOff) glDisable(GL_CULL_FACE);
  glPopMatrix();
}

void DrawTexturedModel(const QTL_3DObject* obj, uint32_t texID, float x, float y, float z, float rx, float ry,
                       float rz) {
  glBindTexture(GL_TEXTURE_2D, texID);
  QTL_DrawObjectTexture(obj, x, y, z, rx, ry, rz);
}
