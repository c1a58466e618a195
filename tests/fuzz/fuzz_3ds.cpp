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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteFuzzFile(Path, data, size);
  MessageBoxStartRecording();  // the overflow box, recorded and dropped
  if (!QTL_3DSMain(Path, &Model)) std::abort();  // the file exists: only a missing one may fail
  if (Model.NumTriangles < 0 || Model.NumTriangles > 40000) std::abort();
  const TStagingStore& store = Staging();
  if (store.tmp_TotalFaces < 0 || store.tmp_TotalFaces > 65535) std::abort();
  MessageBoxStopRecording();
  return 0;
}
