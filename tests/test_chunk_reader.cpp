// The .3DS chunk walk over files built from bytes: what reaches the staging
// store, the progress dots, and damaged files that must end the walk safely.
#include "models/chunk_reader.h"
#include "tests/support/chunk_bytes.h"

#include <gtest/gtest.h>

#include <string>

// Walks `file` as the loader does; returns the stream's final offset.
static long WalkFile(const Bytes& file) {
  FILE* f = std::tmpfile();
  if (!file.empty()) std::fwrite(file.data(), 1, file.size(), f);
  std::rewind(f);
  ChunkReader(f, 0, long(file.size()));
  const long end = std::ftell(f);
  std::fclose(f);
  return end;
}

// Walks `file` and returns what it printed.
static std::string WalkPrinting(const Bytes& file) {
  testing::internal::CaptureStdout();
  WalkFile(file);
  return testing::internal::GetCapturedStdout();
}

static const Vertex_Data& V(int i) { return Staging().VertexList[i]; }
static const Faces_Data& F(int i) { return Staging().FacesList[i]; }

TEST(ChunkReader, TypicalMeshPathFillsTheStoreAndPrintsOneDotPerList) {
  const Bytes file = MainFile({ObjectBlock(Cat({
      VertexList({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}),
      FaceList({{0, 1, 2}, {2, 1, 65535}}, Chunk(0x4130, {'m', 0, 1, 0, 0, 0}) /* face material */),
      MapList({{0.25f, 0.5f}, {0.75f, 1}, {-1, 2}}),
  }))});
  EXPECT_EQ(WalkPrinting(file), "...");
  const TStagingStore& s = Staging();
  EXPECT_EQ(s.VertexCount, 3);
  EXPECT_EQ(s.tmp_TotalFaces, 2);
  EXPECT_FALSE(s.Err3ds);
  EXPECT_EQ(V(1).x, 4); EXPECT_EQ(V(1).y, 5); EXPECT_EQ(V(1).z, 6);
  EXPECT_EQ(V(2).u, -1); EXPECT_EQ(V(2).v, 2);
  EXPECT_EQ(V(0).u, 0.25f); EXPECT_EQ(V(0).v, 0.5f);
  EXPECT_EQ(F(1).a, 2); EXPECT_EQ(F(1).b, 1);
  EXPECT_EQ(F(1).c, 65535);  // zero-extended, not sign-extended
}

TEST(ChunkReader, MappingListLongerThanVertexListStoresBeyondIt) {
  WalkFile(MainFile({ObjectBlock(Cat({
      MapList({{1, 2}, {3, 4}, {5, 6}}),  // before the vertices: pairing is by position only
      VertexList({{10, 11, 12}}),
  }))}));
  EXPECT_EQ(Staging().VertexCount, 1);
  EXPECT_EQ(V(0).x, 10); EXPECT_EQ(V(0).u, 1); EXPECT_EQ(V(0).v, 2);
  EXPECT_EQ(V(2).u, 5); EXPECT_EQ(V(2).v, 6);
  EXPECT_EQ(V(2).x, 0); EXPECT_EQ(V(2).y, 0); EXPECT_EQ(V(2).z, 0);
}

TEST(ChunkReader, SecondObjectOverwritesTheFirstFromIndexZero) {
  WalkFile(MainFile({
      ObjectBlock(Cat({VertexList({{1, 1, 1}, {2, 2, 2}, {3, 3, 3}}), FaceList({{0, 1, 2}, {2, 1, 0}, {1, 1, 1}}),
                       MapList({{1, 1}, {2, 2}, {3, 3}})}),
                  "first"),
      ObjectBlock(Cat({VertexList({{9, 9, 9}}), FaceList({{0, 0, 0}})}), "second"),
  }));
  const TStagingStore& s = Staging();
  EXPECT_EQ(s.VertexCount, 1);
  EXPECT_EQ(s.tmp_TotalFaces, 1);
  EXPECT_EQ(V(0).x, 9); EXPECT_EQ(V(0).u, 1);  // x, y, z overwritten; u, v kept
  EXPECT_EQ(V(2).x, 3);                        // beyond the second list: the first's
  EXPECT_EQ(F(0).a, 0); EXPECT_EQ(F(1).a, 2);
}

TEST(ChunkReader, FaceListOfZeroStillWalksItsSubChunks) {
  WalkFile(MainFile({ObjectBlock(FaceList({{1, 2, 3}, {4, 5, 6}}))}));
  // A sub-chunk after zero faces is still reached (a vertex list stands in
  // for one that leaves a trace).
  EXPECT_EQ(WalkPrinting(MainFile({ObjectBlock(FaceList({}, VertexList({{7, 7, 7}})))})), "..");
  EXPECT_EQ(Staging().tmp_TotalFaces, 0);
  EXPECT_EQ(V(0).x, 7);
  EXPECT_EQ(F(1).a, 4);  // earlier faces stay in the store
}

TEST(ChunkReader, EmptyListsPrintAsTheReadersDo) {
  WalkFile(MainFile({ObjectBlock(Cat({VertexList({{1, 1, 1}, {2, 2, 2}}), FaceList({{0, 1, 0}})}))}));
  // Vertex and mapping lists print before their count; a face list only
  // after a count was read, and without one it leaves the face count alone.
  EXPECT_EQ(WalkPrinting(MainFile({ObjectBlock(Cat({Chunk(0x4110), Chunk(0x4120), Chunk(0x4140)}))})), "..");
  EXPECT_EQ(Staging().VertexCount, 0);
  EXPECT_EQ(Staging().tmp_TotalFaces, 1);
}

TEST(ChunkReader, FaceListCutShortKeepsItsDeclaredCount) {
  Bytes payload;
  PutU16(payload, 5);
  for (unsigned v : {7u, 8u, 9u, 0u, 10u, 11u}) PutU16(payload, v);  // one face and a half
  const Bytes file = MainFile({ObjectBlock(Cat({Chunk(0x4120, payload), VertexList({{5, 5, 5}})}))});
  EXPECT_EQ(WalkPrinting(file), "..");
  EXPECT_EQ(Staging().tmp_TotalFaces, 5);
  EXPECT_EQ(F(0).a, 7); EXPECT_EQ(F(0).c, 9);
  EXPECT_EQ(F(1).a, 0);
  EXPECT_EQ(V(0).x, 5);  // the walk went on with the next chunk
}

TEST(ChunkReader, MaterialBlockIsWalkedAndLeavesTheStoreAlone) {
  Bytes rgbFloat, rgbByte = {200, 100, 50};
  PutF32(rgbFloat, 0.5f), PutF32(rgbFloat, 0.25f), PutF32(rgbFloat, 1.0f);
  const Bytes material = Chunk(0xAFFF, Cat({
      Chunk(0xA000, {'s', 't', 'o', 'n', 'e', 0}),
      Chunk(0xA010, Chunk(0x0010, rgbFloat)),
      Chunk(0xA020, Chunk(0x0011, rgbByte)),
      Chunk(0xA200, Chunk(0xA300, {'B', 'R', 'I', 'C', 'K', '.', 'T', 'G', 'A', 0})),
  }));
  const std::string printed = WalkPrinting(Chunk(0x4D4D, Chunk(0x3D3D, Cat({material, ObjectBlock(VertexList({{3, 2, 1}}))}))));
  // Only the vertex list after the material printed, and the bytes of the
  // names and colours never reached the store.
  EXPECT_EQ(printed, ".");
  EXPECT_EQ(V(0).x, 3);
  EXPECT_EQ(V(1).x, 0); EXPECT_EQ(V(0).u, 0);
  EXPECT_EQ(Staging().tmp_TotalFaces, 0);
}

TEST(ChunkReader, LightsAndCamerasAreSkippedWithTheirSubChunks) {
  const Bytes file = MainFile({ObjectBlock(Cat({
      Chunk(0x4600, VertexList({{1, 1, 1}})),
      Chunk(0x4700, VertexList({{2, 2, 2}})),
      Chunk(0x4160, VertexList({{3, 3, 3}})),
  }))});
  EXPECT_EQ(WalkPrinting(file), "");
  EXPECT_EQ(V(0).x, 0);
}

TEST(ChunkReader, UnknownChunksAreSkippedBySizeAndPrintedOnlyWhenVerbose) {
  const Bytes file = Cat({Chunk(0x1234, VertexList({{1, 1, 1}})), MainFile({ObjectBlock(Chunk(0x9999, {1, 2}))})});
  EXPECT_EQ(WalkPrinting(file), "");
  EXPECT_EQ(V(0).x, 0);
  ChunkReaderSetVerbose(1);
  // Indented by 2 per level: Main, Object Mesh, Object Block (which keeps its
  // own level), Tri-Mesh.
  EXPECT_EQ(WalkPrinting(file),
            "Unknown chunk: 0x1234, offset 0x0, size: 26 bytes.\n"
            "        Unknown chunk: 0x9999, offset 0x36, size: 8 bytes.\n");
}

TEST(ChunkReader, SizeZeroAtTheTopEndsTheWholeWalk) {
  const Bytes file = Cat({Header(0x4D4D, 0), MainFile({ObjectBlock(VertexList({{1, 1, 1}}))})});
  EXPECT_EQ(WalkPrinting(file), "");
  EXPECT_EQ(V(0).x, 0);
}

TEST(ChunkReader, SizeZeroInsideEndsOnlyThatLevel) {
  const Bytes file = MainFile({
      ObjectBlock(Cat({Header(0x4110, 0), VertexList({{1, 1, 1}})}), "cut"),
      ObjectBlock(FaceList({{4, 5, 6}}), "next"),
  });
  EXPECT_EQ(WalkPrinting(file), ".");
  EXPECT_EQ(V(0).x, 0);
  EXPECT_EQ(F(0).a, 4);
}

TEST(ChunkReader, VertexListOfExactlyCapacityDoesNotOverflow) {
  std::vector<std::array<float, 3>> vertices(kStagingCapacity, {1, 2, 3});
  vertices.back() = {7, 8, 9};
  WalkFile(MainFile({ObjectBlock(VertexList(vertices))}));
  EXPECT_EQ(Staging().VertexCount, kStagingCapacity);
  EXPECT_FALSE(Staging().Err3ds);
  EXPECT_EQ(V(kStagingCapacity - 1).z, 9);
}

TEST(ChunkReader, ListsPastCapacityRaiseTheFlagAndStopAtTheStoresEnd) {
  std::vector<std::array<float, 3>> vertices(kStagingCapacity + 1, {1, 2, 3});
  vertices[kStagingCapacity - 1] = {7, 8, 9};
  vertices[kStagingCapacity] = {-5, -5, -5};
  std::vector<std::array<float, 2>> uvs(60000, {0.5f, 0.5f});
  std::vector<std::array<uint16_t, 3>> faces(kStagingCapacity + 3, {1, 2, 3});
  WalkFile(MainFile({ObjectBlock(Cat({VertexList(vertices), MapList(uvs), FaceList(faces)}))}));
  const TStagingStore& s = Staging();
  EXPECT_TRUE(s.Err3ds);
  EXPECT_EQ(s.VertexCount, kStagingCapacity + 1);  // counted, not stored
  EXPECT_EQ(s.tmp_TotalFaces, kStagingCapacity + 3);
  EXPECT_EQ(V(kStagingCapacity - 1).z, 9);
  EXPECT_EQ(V(kStagingCapacity - 1).u, 0.5f);
  // The flag is never lowered, not even by a file that fits.
  WalkFile(MainFile({ObjectBlock(VertexList({{1, 1, 1}}))}));
  EXPECT_TRUE(Staging().Err3ds);
}

TEST(ChunkReader, MappingListPastCapacityRaisesNothing) {
  WalkFile(MainFile({ObjectBlock(MapList(std::vector<std::array<float, 2>>(kStagingCapacity + 10, {1, 1})))}));
  EXPECT_FALSE(Staging().Err3ds);
  EXPECT_EQ(V(kStagingCapacity - 1).u, 1);
}

// ---------------------------------------------------------------------------
// Damaged files: the walk ends, inside the file, and keeps what it could read.
// ---------------------------------------------------------------------------
TEST(DamagedChunks, SizesBelowTheHeaderEndTheLevel) {
  for (uint32_t size : {1u, 5u}) {
    const Bytes file = Cat({MainFile({ObjectBlock(Cat({Header(0x4110, size), VertexList({{1, 1, 1}})}))}),
                            MainFile({ObjectBlock(FaceList({{3, 3, 3}}))})});
    EXPECT_LE(WalkFile(file), long(file.size()));
    EXPECT_EQ(V(0).x, 0) << size;  // the level of the short chunk ended
    EXPECT_EQ(F(0).a, 3) << size;  // the next top-level chunk was still read
  }
}

TEST(DamagedChunks, ChunksReachingPastTheirParentOrTheFileStayInside) {
  // A Tri-Mesh claiming 4 GB inside an object block, then a sibling object.
  const Bytes inner = Cat({Header(0x4100, 0xFFFFFFFFu), VertexList({{2, 2, 2}})});
  Bytes block = {'a', 0};
  block = Cat({block, inner});
  const Bytes file = MainFile({Chunk(0x4000, block), ObjectBlock(FaceList({{6, 6, 6}}))});
  EXPECT_EQ(WalkPrinting(file), "..");
  EXPECT_EQ(V(0).x, 2);  // read inside the block, which clips it
  EXPECT_EQ(F(0).a, 6);  // the sibling block still read

  // The top chunk claims more than the file holds; so does a list inside.
  const Bytes oversized = Cat({Header(0x4D4D, 0x7FFFFFF0u), Header(0x4110, 0xFFFFFFF0u), Bytes{2, 0}});
  EXPECT_EQ(WalkFile(oversized), long(oversized.size()));
  EXPECT_EQ(Staging().VertexCount, 0);
}

TEST(DamagedChunks, CountsLargerThanTheirChunkReadOnlyTheChunk) {
  // A vertex list claiming 65535 vertices while holding one, before a face list.
  Bytes vertices;
  PutU16(vertices, 65535);
  PutF32(vertices, 4), PutF32(vertices, 4), PutF32(vertices, 4);
  const Bytes file = MainFile({ObjectBlock(Cat({Chunk(0x4110, vertices), FaceList({{1, 2, 0}})}))});
  EXPECT_EQ(WalkPrinting(file), "..");
  EXPECT_EQ(Staging().VertexCount, 1);
  EXPECT_EQ(V(0).x, 4);
  EXPECT_EQ(V(1).x, 0);  // the face list's bytes were not taken for vertices
  EXPECT_EQ(F(0).a, 1); EXPECT_EQ(F(0).b, 2);
}

TEST(DamagedChunks, NameWithoutItsZeroEndsAtTheBlock) {
  const Bytes file = MainFile({Chunk(0x4000, {'n', 'o', 'z', 'e', 'r', 'o'}), ObjectBlock(VertexList({{8, 8, 8}}))});
  EXPECT_EQ(WalkPrinting(file), ".");
  EXPECT_EQ(V(0).x, 8);
}

TEST(DamagedChunks, DeepNestingEndsWithoutExhaustingTheStack) {
  // A million Main chunks, each the only content of the one before.
  constexpr uint32_t kLevels = 1000000;
  Bytes file;
  file.reserve(kLevels * 6 + 64);
  for (uint32_t level = 0; level < kLevels; ++level) {
    PutU16(file, 0x4D4D);
    PutU32(file, (kLevels - level) * 6 + 32);
  }
  file = Cat({file, VertexList({{1, 1, 1}})});
  EXPECT_EQ(WalkFile(file), long(file.size()));
  EXPECT_EQ(V(0).x, 0);  // far below the depth any real file reaches

  // A mesh at the usual depth still loads after it.
  WalkFile(MainFile({ObjectBlock(FaceList({{1, 1, 1}}, Chunk(0x4150)))}));
  EXPECT_EQ(Staging().tmp_TotalFaces, 1);
}

TEST(DamagedChunks, HeaderCutShortEndsTheWalk) {
  const Bytes whole = MainFile({ObjectBlock(VertexList({{1, 2, 3}}))});
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    const Bytes part(whole.begin(), whole.begin() + long(cut));
    EXPECT_LE(WalkFile(part), long(cut));
  }
}
