// Fuzzes the 3DS chunk walk and the model loader through QTL_3DSMain, with
// the staging store carried from input to input as it is from file to file.
#include "models/chunk_reader.h"
#include "models/mesh.h"
#include "platform/msgbox.h"
#include "tests/fuzz/fuzz_input.h"

static const char* Path;
static QTL_3DObject Model;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Path = FuzzFileName(".3ds");
  // The dots and the unknown-chunk lines (switched on to reach their
  // formatting) would bury libFuzzer's own report, which goes to stderr.
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  ChunkReaderSetVerbose(1);
  return 0;
}

// Main > Face list of 0 faces. Walked before each input: the face count left
// by one input would otherwise make every later one copy up to 40000
// triangles, which took more than half of the fuzzer's time. The rest of the
// store carries over.
static void ForgetFaceCount() {
  static uint8_t file[] = {0x4D, 0x4D, 14, 0, 0, 0, 0x20, 0x41, 8, 0, 0, 0, 0, 0};
  FILE* f = fmemopen(file, sizeof file, "rb");
  if (!f) std::abort();
  ChunkReader(f, 0, long(sizeof file));
  std::fclose(f);
  if (Staging().tmp_TotalFaces != 0) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ForgetFaceCount();
  WriteFuzzFile(Path, data, size);
  MessageBoxStartRecording();  // the overflow box, recorded and dropped
  // The file exists and is regular: it may only be refused as no 3DS model.
  ModelProblem problem = ModelProblem::None;
  if (!QTL_3DSMain(Path, &Model, &problem) && problem != ModelProblem::NotA3DS) std::abort();
  if (Model.NumTriangles < 0 || Model.NumTriangles > 40000) std::abort();
  const TStagingStore& store = Staging();
  if (store.tmp_TotalFaces < 0 || store.tmp_TotalFaces > 65535) std::abort();
  // Dropped within the input: libFuzzer runs a leak check after any input
  // that allocates more than it frees.
  MessageBoxStartRecording();
  MessageBoxStopRecording();
  return 0;
}
