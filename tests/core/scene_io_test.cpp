// Loading and writing scenes: what a write does on disk, and that every failure leaves the scene
// byte for byte as it was.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/load_scene.h"
#include "scene/scene_io.h"
#include "support/scene_builder.h"
#include "write_test_support.h"

namespace quorvex {
namespace {

using testing::ScratchFolder;

class SceneIo : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_ / "scene2.bin";
    for (int i = 0; i < 16384; ++i) scene_.push_back(static_cast<std::uint8_t>(i * 7));
    testing::WriteFile(path_.string(), scene_);
  }
  void TearDown() override { InjectWriteFailureForTesting(std::nullopt); }
  Bytes OnDisk() const { return testing::ReadWhole(path_); }
  static Planner Grow() {
    return [](const SceneImage& current) -> Result<EditPlan> {
      EditPlan plan(static_cast<std::uint64_t>(current.length()));
      if (auto s = plan.insertAt(100, Bytes(3000, 0xEE)); !s) return s.error();
      return plan;
    };
  }
  static Planner Patch() {
    return [](const SceneImage& current) -> Result<EditPlan> {
      EditPlan plan(static_cast<std::uint64_t>(current.length()));
      // Ten nearby fields (one merged write of 364 bytes) and one far away (a second write).
      for (Pos pos = 1; pos < 400; pos += 40) {
        if (auto s = plan.patchUint32(pos, 0xDEADBEEF); !s) return s.error();
      }
      if (auto s = plan.patchUint32(12001, 0xDEADBEEF); !s) return s.error();
      return plan;
    };
  }

  ScratchFolder folder_;
  std::filesystem::path path_;
  Bytes scene_;
};

TEST_F(SceneIo, LoadReadsTheWholeFile) {
  const auto loaded = LoadScene(path_);
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(*loaded, scene_);
  EXPECT_EQ(LoadScene("").error().kind, ErrorKind::NoFile);
  EXPECT_EQ(LoadScene(folder_ / "missing.bin").error().kind, ErrorKind::NotReadable);
  EXPECT_EQ(LoadScene(folder_.path()).error().kind, ErrorKind::NotReadable);
}

#ifndef _WIN32  // POSIX permission bits (Windows has only the read-only flag: platform_test.cpp)
TEST_F(SceneIo, LengthChangeReplacesTheSceneAndKeepsItsPermissions) {
  ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
  const auto result = WriteScene(path_, Grow());
  ASSERT_TRUE(result.ok()) << result.error().message;
  EXPECT_EQ(*result, WriteMode::Replaced);
  Bytes expected = scene_;
  expected.insert(expected.begin() + 99, 3000, 0xEE);
  EXPECT_EQ(OnDisk(), expected);
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(path_)));
  struct stat st {};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}
#endif

TEST_F(SceneIo, SameLengthPatchesInPlace) {
  struct stat before {
  }, after{};
  ASSERT_EQ(::stat(path_.string().c_str(), &before), 0);
  const auto result = WriteScene(path_, Patch());
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(*result, WriteMode::PatchedInPlace);
  ASSERT_EQ(::stat(path_.string().c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  const Bytes now = OnDisk();
  EXPECT_EQ(testing::Int32At(now, 41), static_cast<std::int32_t>(0xDEADBEEF));
  EXPECT_EQ(testing::Int32At(now, 12001), static_cast<std::int32_t>(0xDEADBEEF));
  // The bytes between merged fields are written back as they were.
  for (std::size_t i = 4; i < 40; ++i) EXPECT_EQ(now[i], scene_[i]) << i;
  EXPECT_EQ(now.size(), scene_.size());
}

TEST_F(SceneIo, RefusalsAndFailuresLeaveTheSceneUnchanged) {
  // The planner refuses.
  auto refused = WriteScene(path_, [](const SceneImage&) -> Result<EditPlan> {
    return MakeError(ErrorKind::Refused, "no");
  });
  EXPECT_EQ(refused.error().kind, ErrorKind::Refused);
  // A plan made for another length.
  auto stale = WriteScene(path_, [](const SceneImage& current) -> Result<EditPlan> {
    return EditPlan(static_cast<std::uint64_t>(current.length()) + 1);
  });
  EXPECT_EQ(stale.error().kind, ErrorKind::ChangedOnDisk);
  // The disk fails half-way through the temporary file.
  InjectWriteFailureForTesting(2000);
  auto full = WriteScene(path_, Grow());
  EXPECT_EQ(full.error().kind, ErrorKind::WriteFailed);
  EXPECT_NE(full.error().message.find("No space left"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(path_)));
  // The disk fails after the first in-place write: it is put back.
  InjectWriteFailureForTesting(364);
  EXPECT_EQ(WriteScene(path_, Patch()).error().kind, ErrorKind::WriteFailed);
  InjectWriteFailureForTesting(std::nullopt);
  EXPECT_EQ(OnDisk(), scene_);
  // Nothing to do is no write at all.
  auto nothing = WriteScene(path_, [](const SceneImage& current) -> Result<EditPlan> {
    return EditPlan(static_cast<std::uint64_t>(current.length()));
  });
  EXPECT_EQ(*nothing, WriteMode::NothingWritten);
}

TEST_F(SceneIo, LeftoverTemporaryFileIsNeverOverwritten) {
  const Bytes leftover = {'o', 'l', 'd'};
  testing::WriteFile(TempPathFor(path_).string(), leftover);
  const auto result = WriteScene(path_, Grow());
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().kind, ErrorKind::TempExists);
  EXPECT_NE(result.error().message.find("scene2.bin.save"), std::string::npos);
  EXPECT_EQ(OnDisk(), scene_);
  EXPECT_EQ(testing::ReadWhole(TempPathFor(path_)), leftover);
  // A same-length write needs no temporary file.
  EXPECT_TRUE(WriteScene(path_, Patch()).ok());
}

TEST_F(SceneIo, MissingSceneIsNotCreated) {
  const auto missing = folder_ / "gone.bin";
  EXPECT_EQ(WriteScene(missing, Grow()).error().kind, ErrorKind::NotReadable);
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(WriteScene("", Grow()).error().kind, ErrorKind::NoFile);
}

TEST_F(SceneIo, FilesBeyond2GiBAreRefusedWithoutReadingThem) {
  const auto huge = folder_ / "huge.bin";
  testing::WriteFile(huge.string(), {});
  std::error_code error;
  std::filesystem::resize_file(huge, (std::uint64_t{1} << 31), error);  // sparse
  if (error) GTEST_SKIP() << "cannot make a sparse file here";
  EXPECT_EQ(LoadScene(huge).error().kind, ErrorKind::Refused);
  bool planned = false;
  const auto result =
      WriteScene(huge, [&](const SceneImage& current) -> Result<EditPlan> {
        planned = true;
        return EditPlan(static_cast<std::uint64_t>(current.length()));
      });
  EXPECT_EQ(result.error().kind, ErrorKind::Refused);
  EXPECT_FALSE(planned);
  EXPECT_EQ(std::filesystem::file_size(huge), std::uint64_t{1} << 31);
}

}  // namespace
}  // namespace quorvex
