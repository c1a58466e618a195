// The .3DS chunk walk: a table of known chunk ids, one reader per chunk that
// holds data, and the staging store the readers fill.
//
// Damaged files: every read stays inside the chunk being read and every seek
// inside the level being walked (so inside the file), each pass of a level
// moves forward by at least one header, and nesting is capped. Any input
// therefore ends the walk in time proportional to its size.
#include "models/chunk_reader.h"

#include <cstring>

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
static TStagingStore Store;  // zero at start, never cleared

// Deeper chunks are skipped whole. Real files nest six levels at most; the cap
// keeps a file of nested headers from exhausting the stack.
constexpr int kMaxChunkDepth = 32;

static struct {
  int depth;  // ChunkReader levels open right now
} Walk;

const TStagingStore& Staging() { return Store; }
void ChunkReaderSetVerbose(int verbose) { Store.Verbose = verbose; }

// ---------------------------------------------------------------------------
// Reading inside one chunk
// ---------------------------------------------------------------------------
// The bytes of one chunk still ahead of the stream. A record that would run
// past the chunk's end counts as a failed read: it could only take its bytes
// from the next chunk, and a list whose count overstates its chunk would
// otherwise read on through the rest of the file once per such list.
struct TChunkBytes {
  FILE* f;
  long left;  // bytes from the stream's position to the chunk's end
};

static TChunkBytes ChunkBytes(FILE* f, long p) {
  const long position = std::ftell(f);
  return {f, (position < 0 || position > p) ? 0 : p - position};
}

static bool Take(TChunkBytes& in, uint8_t* out, long count) {
  if (count > in.left || std::fread(out, 1, size_t(count), in.f) != size_t(count)) return false;
  in.left -= count;
  return true;
}

static unsigned U16(const uint8_t* b) { return unsigned(b[0]) | unsigned(b[1]) << 8; }
static uint32_t U32(const uint8_t* b) { return uint32_t(U16(b)) | uint32_t(U16(b + 2)) << 16; }
static float F32(const uint8_t* b) {
  const uint32_t bits = U32(b);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// The console key poll. The show is a GUI process with no console, so no key
// is ever waiting; a key pressed in the terminal that started it must not cut
// a model short, hence no real poll here.
static bool ConsoleKeyWaiting() { return false; }

// ---------------------------------------------------------------------------
// Readers
// ---------------------------------------------------------------------------
// Skips a zero-terminated string. It stops at the chunk's end as well: the
// rest of the chunk would be skipped either way, and a block of names without
// their zero must not scan the file once per block.
static void ASCIIZReader(FILE* f, int, long p) {
  TChunkBytes in = ChunkBytes(f, p);
  uint8_t c = 1;
  while (c != 0 && Take(in, &c, 1)) {
  }
}

static void RGBFReader(FILE* f, int, long p) {
  TChunkBytes in = ChunkBytes(f, p);
  uint8_t rgb[12];
  Take(in, rgb, 12);
}

static void RGBBReader(FILE* f, int, long p) {
  TChunkBytes in = ChunkBytes(f, p);
  uint8_t rgb[3];
  Take(in, rgb, 3);
}

static void ObjBlockReader(FILE* f, int ind, long p) {
  ASCIIZReader(f, ind, p);
  ChunkReader(f, ind, p);
}

static void VertListReader(FILE* f, int, long p) {
  Store.VertexCount = 0;
  ++Store.MeshListsRead;
  std::printf(".");
  TChunkBytes in = ChunkBytes(f, p);
  uint8_t raw[12];
  if (!Take(in, raw, 2)) return;
  const unsigned n = U16(raw);
  for (unsigned i = 0; i < n; ++i) {
    if (ConsoleKeyWaiting()) return;
    if (!Take(in, raw, 12)) return;
    // Vertices past the store's capacity are read and counted but dropped.
    if (Store.VertexCount < kStagingCapacity) {
      Vertex_Data& vertex = Store.VertexList[Store.VertexCount];
      vertex.x = F32(raw), vertex.y = F32(raw + 4), vertex.z = F32(raw + 8);
    }
    ++Store.VertexCount;
    if (Store.VertexCount > kStagingCapacity) Store.Err3ds = true;
  }
}

static void FaceListReader(FILE* f, int ind, long p) {
  ++Store.MeshListsRead;
  TChunkBytes in = ChunkBytes(f, p);
  uint8_t raw[8];
  if (!Take(in, raw, 2)) return;
  const unsigned n = U16(raw);
  // The declared count stands even when fewer faces follow.
  Store.tmp_TotalFaces = int32_t(n);
  std::printf(".");
  int32_t ipol = 0;
  for (unsigned i = 0; i < n; ++i) {
    if (!Take(in, raw, 6) || !Take(in, raw + 6, 2)) return;  // the flags word is dropped
    if (ipol < kStagingCapacity) {
      Faces_Data& face = Store.FacesList[ipol];
      face.a = int32_t(U16(raw)), face.b = int32_t(U16(raw + 2)), face.c = int32_t(U16(raw + 4));
    }
    ++ipol;
    if (ipol > kStagingCapacity) Store.Err3ds = true;
  }
  ChunkReader(f, ind, p);
}

// Texture coordinates pair with vertices by position alone, whichever list
// comes first; this list has no overflow flag of its own.
static void MapListReader(FILE* f, int, long p) {
  std::printf(".");
  TChunkBytes in = ChunkBytes(f, p);
  uint8_t raw[8];
  if (!Take(in, raw, 2)) return;
  const unsigned n = U16(raw);
  for (unsigned iVrt = 0; iVrt < n; ++iVrt) {
    if (!Take(in, raw, 8)) return;
    if (iVrt < unsigned(kStagingCapacity)) {
      Vertex_Data& vertex = Store.VertexList[iVrt];
      vertex.u = F32(raw), vertex.v = F32(raw + 4);
    }
  }
}

static void MatNameReader(FILE* f, int ind, long p) { ASCIIZReader(f, ind, p); }
static void MapFileReader(FILE* f, int ind, long p) { ASCIIZReader(f, ind, p); }

// Chunks recognised and skipped whole, sub-chunks included.
static void FaceMatReader(FILE*, int, long) {}
static void SmooListReader(FILE*, int, long) {}
static void TrMatrixReader(FILE*, int, long) {}
static void LightReader(FILE*, int, long) {}
static void SpotLightReader(FILE*, int, long) {}
static void CameraReader(FILE*, int, long) {}
static void FramesReader(FILE*, int, long) {}
static void TrackObjNameReader(FILE*, int, long) {}
static void PivotPointReader(FILE*, int, long) {}
static void TrackPosReader(FILE*, int, long) {}
static void TrackRotReader(FILE*, int, long) {}
static void TrackScaleReader(FILE*, int, long) {}
static void ObjNumberReader(FILE*, int, long) {}

// ---------------------------------------------------------------------------
// The chunk table, searched in this order
// ---------------------------------------------------------------------------
const TChunkName ChunkNames[kChunkNameCount] = {
    {0x0010, "RGB float", RGBFReader},
    {0x0011, "RGB byte", RGBBReader},
    {0xC23D, "Project", nullptr},
    {0x3DAA, "Material Library", nullptr},
    {0x4D4D, "Main", nullptr},
    {0x3D3D, "Object Mesh", nullptr},
    {0x1200, "Background color", nullptr},
    {0x2100, "Ambient color", nullptr},
    {0x4000, "Object Block", ObjBlockReader},
    {0x4100, "Tri-Mesh", nullptr},
    {0x4110, "Vertex list", VertListReader},
    {0x4120, "Face list", FaceListReader},
    {0x4130, "Face material", FaceMatReader},
    {0x4140, "Mappings list", MapListReader},
    {0x4150, "Smoothings", SmooListReader},
    {0x4160, "Matrix", TrMatrixReader},
    {0x4600, "Light", LightReader},
    {0x4610, "Spotlight", SpotLightReader},
    {0x4700, "Camera", CameraReader},
    {0x4F00, "Hierarchy", nullptr},
    {0x7001, "Viewport info", nullptr},
    {0xAFFF, "Material", nullptr},
    {0xA000, "Material name", MatNameReader},
    {0xA010, "Ambient color", nullptr},
    {0xA020, "Diffuse color", nullptr},
    {0xA030, "Specular color", nullptr},
    {0xA200, "Texture map", nullptr},
    {0xA230, "Bump map", nullptr},
    {0xA300, "Map filename", MapFileReader},
    {0xB000, "Keyframer data", nullptr},
    {0xB001, "Ambient key", nullptr},
    {0xB002, "Track info", nullptr},
    {0xB008, "Frames", FramesReader},
    {0xB010, "Track Obj. Name", TrackObjNameReader},
    {0xB013, "Pivot point", PivotPointReader},
    {0xB020, "Position keys", TrackPosReader},
    {0xB021, "Rotation keys", TrackRotReader},
    {0xB022, "Scale keys", TrackScaleReader},
    {0xB030, "Object number", ObjNumberReader},
    {0xB003, "Camera track", nullptr},
    {0xB004, "Camera target track", nullptr},
    {0xB005, "Pointlight track", nullptr},
    {0xB006, "Pointlight target track", nullptr},
    {0xB007, "Spotlight track", nullptr},
    {0xB023, "FOV track", nullptr},
    {0xB024, "Roll track", nullptr},
};

int FindChunk(uint16_t id) {
  for (int row = 0; row < kChunkNameCount; ++row)
    if (ChunkNames[row].id == id) return row;
  return -1;
}

// ---------------------------------------------------------------------------
// The walk
// ---------------------------------------------------------------------------
constexpr long kChunkHeaderBytes = 6;

static void WalkLevel(FILE* f, int ind, long p) {
  for (;;) {
    const long pc = std::ftell(f);  // the chunk's start
    // A level ends at its end, and also where no whole header fits before it.
    if (pc < 0 || p - pc < kChunkHeaderBytes) return;
    uint8_t raw[kChunkHeaderBytes];
    if (std::fread(raw, 1, sizeof raw, f) != sizeof raw) return;
    const TChunkHeader header = {uint16_t(U16(raw)), U32(raw + 2)};
    // Size 0 ends the level; so does a size too small to hold the header,
    // which could not be skipped by.
    if (header.size < uint32_t(kChunkHeaderBytes)) return;
    // A chunk never reaches past its parent (the top level's parent is the file).
    const long end = (int64_t(header.size) > int64_t(p) - pc) ? p : pc + long(header.size);

    const int n = FindChunk(header.id);
    if (n < 0) {
      if (Store.Verbose)
        std::printf("%*sUnknown chunk: 0x%04X, offset 0x%lX, size: %d bytes.\n", ind, "", unsigned(header.id),
                    static_cast<unsigned long>(pc), int(header.size));
    } else if (ChunkNames[n].reader) {
      ChunkNames[n].reader(f, ind + 2, end);
    } else {
      ChunkReader(f, ind + 2, end);
    }
    if (std::fseek(f, end, SEEK_SET) != 0 || std::ferror(f)) return;
  }
}

void ChunkReader(FILE* f, int ind, long p) {
  if (Walk.depth >= kMaxChunkDepth) return;  // the caller then skips the chunk
  ++Walk.depth;
  WalkLevel(f, ind, p);
  --Walk.depth;
}
