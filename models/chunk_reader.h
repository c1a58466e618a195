// The 3D Studio (.3DS) chunk walk and the staging store it fills.
//
// A .3DS file is a tree of chunks: a 6-byte header (u16 id, u32 size of the
// whole chunk, header included, little-endian) and a payload that container
// chunks fill with sub-chunks. The walk keeps vertex positions, face indices
// and texture coordinates in a program-wide staging store and skips the rest.
// The store is never cleared: each list writes from index 0 over what earlier
// lists and earlier files left, and the overflow flag is never lowered.
//
// Every list read prints one "." to stdout. Units: offsets and sizes in bytes
// of the file; positions in the file's model units. Threads: main thread only,
// one file at a time. Internal to models/: the loader is the store's only
// consumer.
#pragma once

#include <cstdint>
#include <cstdio>

struct TChunkHeader {
  uint16_t id;    // chunk id
  uint32_t size;  // bytes of the whole chunk, these 6 header bytes included
};

// A chunk reader: called with the stream just past the chunk's header, `ind`
// the indentation of its contents (2 per level) and `p` the absolute offset
// where the chunk ends. It may leave the stream anywhere.
using TChunkReaderFn = void (*)(FILE* f, int ind, long p);

struct TChunkName {
  uint16_t id;
  const char* name;       // display name
  TChunkReaderFn reader;  // nullptr: the payload is walked as sub-chunks
};

constexpr int kChunkNameCount = 46;
extern const TChunkName ChunkNames[kChunkNameCount];

// Row of `id` in ChunkNames, or -1.
int FindChunk(uint16_t id);

// Walks the chunks from the stream's position up to the absolute offset `p`
// (the loader passes the file's length). Returns nothing: damaged input ends
// the level it is found in, never the process.
void ChunkReader(FILE* f, int ind, long p);

// ---------------------------------------------------------------------------
// The staging store
// ---------------------------------------------------------------------------
constexpr int kStagingCapacity = 50000;  // vertices, and faces

struct Vertex_Data {
  float x, y, z;  // position, in the file's model units
  float u, v;     // texture coordinates
};

struct Faces_Data {
  int32_t a, b, c;  // indices into VertexList, 0..65535 as in the file
};

struct TStagingStore {
  Vertex_Data VertexList[kStagingCapacity];
  Faces_Data FacesList[kStagingCapacity];
  int32_t VertexCount;     // records read by the latest vertex list (may pass the capacity)
  int32_t tmp_TotalFaces;  // faces declared by the latest face list, 0..65535
  bool Err3ds;             // a vertex or face list overflowed the store; never lowered
  uint32_t MeshListsRead;  // vertex and face lists met so far, all files together (wraps)
  int Verbose;             // non-zero: unknown chunks are printed; the show never sets it
};

// Read-only view of the store (for the loader and tests).
const TStagingStore& Staging();

// Test hook: switches the unknown-chunk message on or off.
void ChunkReaderSetVerbose(int verbose);
