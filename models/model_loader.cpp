// QTL_3DSMain: runs the chunk walk over one file and expands the staged
// indexed mesh into self-contained triangles.
#include "models/chunk_reader.h"
#include "models/mesh.h"
#include "platform/msgbox.h"
#include "platform/win_files.h"

#include <algorithm>

constexpr int32_t kMaxTriangles = int32_t(sizeof(QTL_3DObject::Triangle) / sizeof(QTL_Triangle));

// A face index at or beyond the store's capacity has no entry to refer to; it
// reads as the origin with zero texture coordinates, so the triangle
// degenerates toward the origin instead of reading past the store.
static const Vertex_Data& CornerAt(int32_t index) {
  static const Vertex_Data kOutside = {0, 0, 0, 0, 0};
  if (index < 0 || index >= kStagingCapacity) return kOutside;
  return Staging().VertexList[index];
}

static TVertex Corner(int32_t index) {
  const Vertex_Data& staged = CornerAt(index);
  return {staged.x, staged.y, staged.z, staged.u, staged.v};
}

constexpr uint16_t kMainChunk = 0x4D4D;

const char* ModelProblemText(ModelProblem problem) {
  switch (problem) {
    case ModelProblem::None: return "loaded";
    case ModelProblem::NotFound: return "not found";
    case ModelProblem::NotRegular: return "not a regular file";
    case ModelProblem::Unreadable: return "cannot be read";
    case ModelProblem::NotA3DS: return "not a 3DS model";
  }
  return "cannot be read";
}

static ModelProblem FromFileProblem(FileProblem problem) {
  switch (problem) {
    case FileProblem::None: return ModelProblem::None;
    case FileProblem::NotFound: return ModelProblem::NotFound;
    case FileProblem::NotRegular: return ModelProblem::NotRegular;
    case FileProblem::Unreadable: return ModelProblem::Unreadable;
  }
  return ModelProblem::Unreadable;
}

// A 3DS file opens with its main chunk.
static bool StartsWithMainChunk(FILE* f, long length) {
  uint8_t id[2];
  const bool main = length >= 6 && std::fread(id, 1, 2, f) == 2 && (id[0] | id[1] << 8) == kMainChunk;
  std::fseek(f, 0, SEEK_SET);
  return main;
}

static bool Refuse(const char* Filename, ModelProblem why, ModelProblem* problem) {
  // A missing file keeps the message it always had.
  if (why == ModelProblem::NotFound) std::printf("\n 3DS Loader error: File %s not found!\n", Filename);
  else std::printf("\n 3DS Loader error: File %s is %s!\n", Filename, ModelProblemText(why));
  if (problem) *problem = why;
  return false;
}

bool QTL_3DSMain(const char* Filename, QTL_3DObject* Obj, ModelProblem* problem) {
  FileProblem fileProblem = FileProblem::None;
  FILE* f = OpenShowFile(Filename, &fileProblem);
  if (!f) return Refuse(Filename, FromFileProblem(fileProblem), problem);
  std::fseek(f, 0, SEEK_END);
  const long length = std::max(std::ftell(f), 0L);
  std::fseek(f, 0, SEEK_SET);
  // Not a model at all: refused before the walk, which would leave the
  // record as whatever the last file staged.
  if (!StartsWithMainChunk(f, length)) {
    std::fclose(f);
    return Refuse(Filename, ModelProblem::NotA3DS, problem);
  }
  const uint32_t listsBefore = Staging().MeshListsRead;
  ChunkReader(f, 0, length);
  std::fclose(f);
  if (Staging().MeshListsRead == listsBefore) return Refuse(Filename, ModelProblem::NotA3DS, problem);
  if (problem) *problem = ModelProblem::None;

  const TStagingStore& store = Staging();
  // A face list may declare up to 65535 faces; the record holds fewer, and a
  // mesh cut to fit is an overflow like the store's own.
  const bool cut = store.tmp_TotalFaces > kMaxTriangles;
  if (store.Err3ds || cut) MessageBoxA("Internal overflow!", "3ds Loader", MB_ICONWARNING);

  Obj->NumTriangles = std::clamp(store.tmp_TotalFaces, 0, kMaxTriangles);
  for (int32_t i = 0; i < Obj->NumTriangles; ++i) {
    const Faces_Data& face = store.FacesList[i];
    QTL_Triangle& triangle = Obj->Triangle[i];
    triangle.NumVertex = 3;
    triangle.Vertex[0] = Corner(face.a);
    triangle.Vertex[1] = Corner(face.b);
    triangle.Vertex[2] = Corner(face.c);
  }
  return true;
}
