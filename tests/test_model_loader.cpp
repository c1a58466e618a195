// QTL_3DSMain: files written in a scratch folder and loaded by their Windows
// names, the staging store carried from file to file, and the overflow box.
#include "models/chunk_reader.h"
#include "models/mesh.h"
#include "platform/msgbox.h"
#include "tests/support/chunk_bytes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <string>

class ModelLoader : public ::testing::Test {
 protected:
  void SetUp() override { MessageBoxStartRecording(); }
  void TearDown() override { MessageBoxStopRecording(); }

  // Loads Data/<name> through its Windows name into `obj`.
  bool Load(const char* name, QTL_3DObject* obj) { return QTL_3DSMain((std::string("Data\\") + name).c_str(), obj); }
  void Write(const char* name, const Bytes& bytes) { dir_.Write(std::string("Data/") + name, bytes); }

  static int Boxes() { return int(MessageBoxLog().size()); }

  ScratchDir dir_;
  std::unique_ptr<QTL_3DObject> obj_ = std::make_unique<QTL_3DObject>();
};

static void ExpectCorner(const TVertex& v, float x, float y, float z, float u, float w) {
  EXPECT_EQ(v.x, x);
  EXPECT_EQ(v.y, y);
  EXPECT_EQ(v.z, z);
  EXPECT_EQ(v.u, u);
  EXPECT_EQ(v.v, w);
}

TEST_F(ModelLoader, ExpandsFacesIntoTrianglesKeepingTheWinding) {
  Write("quad.3ds", MainFile({ObjectBlock(Cat({
                        VertexList({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 5}}),
                        FaceList({{0, 1, 2}, {2, 0, 3}}),
                        MapList({{0, 0}, {1, 0}, {1, 1}, {0, 0.5f}}),
                    }))}));
  testing::internal::CaptureStdout();
  ASSERT_TRUE(Load("QUAD.3DS", obj_.get()));  // matched ignoring case
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "...");
  ASSERT_EQ(obj_->NumTriangles, 2);
  EXPECT_EQ(obj_->Triangle[0].NumVertex, 3);
  EXPECT_EQ(obj_->Triangle[1].NumVertex, 3);
  ExpectCorner(obj_->Triangle[0].Vertex[2], 1, 1, 0, 1, 1);
  ExpectCorner(obj_->Triangle[1].Vertex[0], 1, 1, 0, 1, 1);
  ExpectCorner(obj_->Triangle[1].Vertex[1], 0, 0, 0, 0, 0);
  ExpectCorner(obj_->Triangle[1].Vertex[2], 0, 1, 5, 0, 0.5f);
  EXPECT_EQ(Boxes(), 0);
}

TEST_F(ModelLoader, TwoObjectsLeaveTheSecond) {
  Write("two.3ds", MainFile({
                       ObjectBlock(Cat({VertexList({{1, 1, 1}, {2, 2, 2}, {3, 3, 3}}), FaceList({{0, 1, 2}, {2, 1, 0}})})),
                       ObjectBlock(Cat({VertexList({{7, 7, 7}, {8, 8, 8}}), FaceList({{1, 0, 1}})})),
                   }));
  ASSERT_TRUE(Load("two.3ds", obj_.get()));
  ASSERT_EQ(obj_->NumTriangles, 1);
  EXPECT_EQ(obj_->Triangle[0].Vertex[0].x, 8);
  EXPECT_EQ(obj_->Triangle[0].Vertex[1].x, 7);
}

TEST_F(ModelLoader, StoreCarriesOverFromFileToFile) {
  // First file, without a mapping list: every corner maps to (0, 0).
  Write("plain.3ds", MainFile({ObjectBlock(Cat({VertexList({{1, 2, 3}, {4, 5, 6}}), FaceList({{0, 1, 1}})}))}));
  ASSERT_TRUE(Load("plain.3ds", obj_.get()));
  ExpectCorner(obj_->Triangle[0].Vertex[1], 4, 5, 6, 0, 0);

  Write("mapped.3ds", MainFile({ObjectBlock(Cat({VertexList({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}),
                                                  FaceList({{2, 1, 0}, {0, 0, 0}}), MapList({{0.5f, 1}, {2, 3}, {4, 5}})}))}));
  ASSERT_TRUE(Load("mapped.3ds", obj_.get()));

  // Without a mapping list, a later file keeps the earlier u, v; without a
  // face list, it keeps the earlier faces and their count.
  Write("nomap.3ds", MainFile({ObjectBlock(Cat({VertexList({{-1, -1, -1}}), FaceList({{0, 1, 2}})}))}));
  auto other = std::make_unique<QTL_3DObject>();
  ASSERT_TRUE(Load("nomap.3ds", other.get()));
  ExpectCorner(other->Triangle[0].Vertex[0], -1, -1, -1, 0.5f, 1);
  ExpectCorner(other->Triangle[0].Vertex[2], 7, 8, 9, 4, 5);

  Write("nofaces.3ds", MainFile({ObjectBlock(VertexList({{6, 6, 6}}))}));
  ASSERT_TRUE(Load("nofaces.3ds", other.get()));
  EXPECT_EQ(other->NumTriangles, 1);
  ExpectCorner(other->Triangle[0].Vertex[0], 6, 6, 6, 0.5f, 1);
}

TEST_F(ModelLoader, ReloadingGivesTheSameRecordAndKeepsTrianglesBeyondTheCount) {
  Write("big.3ds", MainFile({ObjectBlock(Cat({VertexList({{1, 1, 1}, {2, 2, 2}}), FaceList({{0, 1, 0}, {1, 1, 1}, {1, 0, 0}})}))}));
  Write("small.3ds", MainFile({ObjectBlock(Cat({VertexList({{5, 5, 5}}), FaceList({{0, 0, 0}})}))}));
  ASSERT_TRUE(Load("big.3ds", obj_.get()));
  ASSERT_TRUE(Load("small.3ds", obj_.get()));
  EXPECT_EQ(obj_->NumTriangles, 1);
  EXPECT_EQ(obj_->Triangle[0].Vertex[0].x, 5);
  EXPECT_EQ(obj_->Triangle[2].Vertex[0].x, 2);  // from the first load, untouched
  auto again = std::make_unique<QTL_3DObject>(*obj_);
  ASSERT_TRUE(Load("small.3ds", again.get()));
  EXPECT_EQ(std::memcmp(again.get(), obj_.get(), sizeof(QTL_3DObject)), 0);
}

TEST_F(ModelLoader, MissingFilePrintsItsNameAndLeavesTheRecord) {
  obj_->NumTriangles = 17;
  obj_->Triangle[0].Vertex[0].x = 42;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(QTL_3DSMain("Data\\Nothing.3DS", obj_.get()));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n 3DS Loader error: File Data\\Nothing.3DS not found!\n");
  EXPECT_EQ(obj_->NumTriangles, 17);
  EXPECT_EQ(obj_->Triangle[0].Vertex[0].x, 42);
  EXPECT_EQ(Boxes(), 0);
}

TEST_F(ModelLoader, DamagedFilesStillLoad) {
  const Bytes whole = MainFile({ObjectBlock(Cat({VertexList({{1, 1, 1}, {2, 2, 2}}), FaceList({{0, 1, 1}})}))});
  Write("cut.3ds", Bytes(whole.begin(), whole.end() - 3));  // the face's flags and one index lost
  ASSERT_TRUE(Load("cut.3ds", obj_.get()));
  EXPECT_EQ(obj_->NumTriangles, 1);  // the declared count stands
  EXPECT_EQ(Boxes(), 0);
}

// Not in the original loader, which took any file as a model and drew it as
// nothing (or as the last file's mesh).
TEST_F(ModelLoader, FilesThatAreNoModelAreRefusedByNameAndLeaveTheRecord) {
  Bytes random(1000);
  uint32_t seed = 12345;
  for (uint8_t& byte : random) byte = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
  random[0] = 0x12;  // whatever the generator says, not the main chunk
  Write("empty.3ds", {});
  Write("zeros.3ds", Bytes(4096, 0));
  Write("random.3ds", random);
  Write("nomesh.3ds", MainFile({ObjectBlock(Chunk(0x4160, Bytes(48, 0)))}));  // a matrix, no lists
  ASSERT_EQ(mkfifo("Data/fifo.3ds", 0644), 0);  // nobody writes to it: opening it must not wait
  const struct {
    const char* name;
    ModelProblem problem;
    const char* reason;
  } cases[] = {
      {"empty.3ds", ModelProblem::NotA3DS, "is not a 3DS model"},
      {"zeros.3ds", ModelProblem::NotA3DS, "is not a 3DS model"},
      {"random.3ds", ModelProblem::NotA3DS, "is not a 3DS model"},
      {"nomesh.3ds", ModelProblem::NotA3DS, "is not a 3DS model"},
      {"fifo.3ds", ModelProblem::NotRegular, "is not a regular file"},
      {"none.3ds", ModelProblem::NotFound, "not found"},
  };
  obj_->NumTriangles = 17;
  for (const auto& c : cases) {
    ModelProblem problem = ModelProblem::None;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(QTL_3DSMain((std::string("Data\\") + c.name).c_str(), obj_.get(), &problem)) << c.name;
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(problem, c.problem) << c.name;
    EXPECT_NE(printed.find(std::string("3DS Loader error: File Data\\") + c.name + " " + c.reason + "!\n"),
              std::string::npos)
        << printed;
    EXPECT_EQ(obj_->NumTriangles, 17) << c.name;
  }
  EXPECT_EQ(Boxes(), 0);
}

TEST_F(ModelLoader, OverflowWarnsAfterTheWalkAndOnEveryLaterLoad) {
  Write("huge.3ds", MainFile({ObjectBlock(Cat({
                        VertexList(std::vector<std::array<float, 3>>(kStagingCapacity + 1, {1, 2, 3})),
                        FaceList({{0, 1, 2}}),
                    }))}));
  Write("tiny.3ds", MainFile({ObjectBlock(Cat({VertexList({{9, 9, 9}}), FaceList({{0, 0, 0}})}))}));
  testing::internal::CaptureStdout();
  ASSERT_TRUE(Load("huge.3ds", obj_.get()));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "..");
  ASSERT_EQ(Boxes(), 1);
  EXPECT_EQ(MessageBoxLog()[0].text, "Internal overflow!");
  EXPECT_EQ(MessageBoxLog()[0].caption, "3ds Loader");
  EXPECT_EQ(MessageBoxLog()[0].style, unsigned(MB_ICONWARNING));
  EXPECT_EQ(obj_->NumTriangles, 1);  // the record is still built

  ASSERT_TRUE(Load("tiny.3ds", obj_.get()));
  EXPECT_EQ(Boxes(), 2);
  EXPECT_EQ(obj_->Triangle[0].Vertex[0].x, 9);
}

TEST_F(ModelLoader, MeshBeyondTheRecordIsCutWithAWarning) {
  std::vector<std::array<uint16_t, 3>> faces(45000, {0, 1, 2});
  faces[39999] = {2, 2, 2};
  faces[40000] = {1, 1, 1};
  Write("dense.3ds", MainFile({ObjectBlock(Cat({VertexList({{1, 0, 0}, {2, 0, 0}, {3, 0, 0}}), FaceList(faces)}))}));
  ASSERT_TRUE(Load("dense.3ds", obj_.get()));
  EXPECT_EQ(obj_->NumTriangles, 40000);
  EXPECT_EQ(obj_->Triangle[39999].Vertex[0].x, 3);
  ASSERT_EQ(Boxes(), 1);
  EXPECT_EQ(MessageBoxLog()[0].text, "Internal overflow!");

  // The store itself did not overflow, so a mesh that fits loads quietly.
  Write("fits.3ds", MainFile({ObjectBlock(FaceList({{0, 0, 0}}))}));
  ASSERT_TRUE(Load("fits.3ds", obj_.get()));
  EXPECT_EQ(Boxes(), 1);
}

TEST_F(ModelLoader, FaceIndicesBeyondTheStoreReadAsAZeroVertex) {
  Write("far.3ds", MainFile({ObjectBlock(Cat({VertexList({{1, 2, 3}}), MapList({{4, 5}}), FaceList({{0, 50000, 65535}, {49999, 0, 0}})}))}));
  ASSERT_TRUE(Load("far.3ds", obj_.get()));
  ASSERT_EQ(obj_->NumTriangles, 2);
  ExpectCorner(obj_->Triangle[0].Vertex[0], 1, 2, 3, 4, 5);
  ExpectCorner(obj_->Triangle[0].Vertex[1], 0, 0, 0, 0, 0);
  ExpectCorner(obj_->Triangle[0].Vertex[2], 0, 0, 0, 0, 0);
  ExpectCorner(obj_->Triangle[1].Vertex[0], 0, 0, 0, 0, 0);  // the store's last entry, never written
  EXPECT_EQ(Boxes(), 0);
}
