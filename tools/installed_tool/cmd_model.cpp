// velmora-trailer-tool model FILE: loads a .3ds as the show does and reports its
// triangle count and the bounds of their corners. FILE is a path as given,
// relative to the working directory. No GL context is needed.
#include "models/mesh.h"
#include "platform/msgbox.h"
#include "platform/win_files.h"
#include "tools/installed_tool/commands.h"

#include <algorithm>
#include <cstdio>

int CmdModel(int argc, char** argv) {
  if (argc != 1) {
    std::fputs("usage: velmora-trailer-tool model FILE.3ds\n", stderr);
    return 2;
  }
  static QTL_3DObject model;  // fresh: zero triangles

  // The file is the one the user named, from where the user stands.
  TakeShowNamesAsPaths(true);
  // The loader's overflow box would wait for a click; the tool reports it instead.
  MessageBoxStartRecording();
  ModelProblem problem = ModelProblem::None;
  const bool loaded = QTL_3DSMain(argv[0], &model, &problem);
  MessageBoxStopRecording();
  if (!loaded) {
    std::fprintf(stderr, "velmora-trailer-tool: model %s: %s\n", argv[0], ModelProblemText(problem));
    return 1;
  }
  for (const RecordedBox& box : MessageBoxLog())
    std::fprintf(stderr, "%s: %s\n", box.caption.c_str(), box.text.c_str());

  float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};  // reported as zeros when there is no triangle
  for (int32_t i = 0; i < model.NumTriangles; ++i)
    for (const TVertex& corner : model.Triangle[i].Vertex) {
      const float at[3] = {corner.x, corner.y, corner.z};
      for (int axis = 0; axis < 3; ++axis) {
        const bool first = i == 0 && &corner == &model.Triangle[i].Vertex[0];
        low[axis] = first ? at[axis] : std::min(low[axis], at[axis]);
        high[axis] = first ? at[axis] : std::max(high[axis], at[axis]);
      }
    }
  // The reader's progress dots stand on the line before.
  std::printf("\ntriangles %d\n", int(model.NumTriangles));
  std::printf("bounds %g %g %g %g %g %g\n", double(low[0]), double(low[1]), double(low[2]), double(high[0]),
              double(high[1]), double(high[2]));
  return 0;
}
