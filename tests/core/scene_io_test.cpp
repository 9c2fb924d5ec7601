// Loading and writing scenes: what a write does on disk, and that every failure leaves the scene
// byte for byte as it was.

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "scene/platform.h"
#include "scene/scene_io.h"
#include "support/failing_file_system.h"
#include "support/load_scene.h"
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
  Bytes OnDisk() const { return testing::ReadWhole(path_); }
  static Planner Grow() {
    return [](const SceneImage& current) -> Result<EditPlan> {
      EditPlan plan(static_cast<std::uint64_t>(current.length()));
      if (auto s = plan.insertAt(100, Bytes(3000, 0xEE)); !s) return s.error();
      return plan;
    };
  }
  // Ten nearby fields (one merged write of 364 bytes) and, with `far`, one in another page.
  static Planner Patch(bool far = false) {
    return [far](const SceneImage& current) -> Result<EditPlan> {
      EditPlan plan(static_cast<std::uint64_t>(current.length()));
      for (Pos pos = 1; pos < 400; pos += 40) {
        if (auto s = plan.patchUint32(pos, 0xDEADBEEF); !s) return s.error();
      }
      if (far) {
        if (auto s = plan.patchUint32(12001, 0xDEADBEEF); !s) return s.error();
      }
      return plan;
    };
  }
  static Result<WriteMode> Write(const std::filesystem::path& path, const Planner& planner,
                                 platform::FileSystem& files = platform::RealFileSystem()) {
    return WriteScene(files, path, planner, {});
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
  const auto result = Write(path_, Grow());
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

// A change inside one 4 KiB page is one write in place; a same-length change spread over more
// pages goes through the temporary file like a change of length, so a killed process never leaves
// it half-written.
TEST_F(SceneIo, SameLengthPatchesInPlaceOnlyInsideOnePage) {
  for (const bool far : {false, true}) {
    SCOPED_TRACE(far);
    testing::WriteFile(path_.string(), scene_);
    struct stat before {
    }, after{};
    ASSERT_EQ(::stat(path_.string().c_str(), &before), 0);
    const auto result = Write(path_, Patch(far));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(*result, far ? WriteMode::Replaced : WriteMode::PatchedInPlace);
    ASSERT_EQ(::stat(path_.string().c_str(), &after), 0);
#ifndef _WIN32  // no inode numbers there
    EXPECT_EQ(before.st_ino == after.st_ino, !far);
#endif
    const Bytes now = OnDisk();
    EXPECT_EQ(testing::Int32At(now, 41), static_cast<std::int32_t>(0xDEADBEEF));
    EXPECT_EQ(testing::Int32At(now, 12001),
              far ? static_cast<std::int32_t>(0xDEADBEEF) : testing::Int32At(scene_, 12001));
    // The bytes between merged fields are written back as they were.
    for (std::size_t i = 4; i < 40; ++i) EXPECT_EQ(now[i], scene_[i]) << i;
    EXPECT_EQ(now.size(), scene_.size());
  }
  // The page is the file's own: a short change across a page boundary is not patched in place.
  EditPlan across(16384);
  ASSERT_TRUE(across.patchUint32(4095, 1).ok());
  EXPECT_FALSE(PatchesInPlace(across));
  EditPlan inside(16384);
  ASSERT_TRUE(inside.patchUint32(4093, 1).ok());
  EXPECT_TRUE(PatchesInPlace(inside));
}

TEST_F(SceneIo, RefusalsAndFailuresLeaveTheSceneUnchanged) {
  // The planner refuses.
  auto refused = Write(path_, [](const SceneImage&) -> Result<EditPlan> {
    return MakeError(ErrorKind::Refused, "no");
  });
  EXPECT_EQ(refused.error().kind, ErrorKind::Refused);
  // A plan made for another length.
  auto stale = Write(path_, [](const SceneImage& current) -> Result<EditPlan> {
    return EditPlan(static_cast<std::uint64_t>(current.length()) + 1);
  });
  EXPECT_EQ(stale.error().kind, ErrorKind::ChangedOnDisk);
  // The disk fails half-way through the temporary file.
  testing::FailingFileSystem fullDisk;
  fullDisk.failWritesAfter(2000);
  auto full = Write(path_, Grow(), fullDisk);
  EXPECT_EQ(full.error().kind, ErrorKind::WriteFailed);
  EXPECT_NE(full.error().message.find("No space left"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(path_)));
  // The disk fills up part-way through the in-place write: every byte is put back.
  testing::FailingFileSystem fillsUp;
  fillsUp.failWritesAfter(100);
  auto partial = Write(path_, Patch(), fillsUp);
  EXPECT_EQ(partial.error().kind, ErrorKind::WriteFailed);
  EXPECT_NE(partial.error().message.find("The scene is unchanged"), std::string::npos)
      << partial.error().message;
  EXPECT_EQ(OnDisk(), scene_);
  // Nothing to do is no write at all.
  auto nothing = Write(path_, [](const SceneImage& current) -> Result<EditPlan> {
    return EditPlan(static_cast<std::uint64_t>(current.length()));
  });
  EXPECT_EQ(*nothing, WriteMode::NothingWritten);
}

TEST_F(SceneIo, LeftoverTemporaryFileIsNeverOverwritten) {
  const Bytes leftover = {'o', 'l', 'd'};
  testing::WriteFile(TempPathFor(path_).string(), leftover);
  const auto result = Write(path_, Grow());
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().kind, ErrorKind::TempExists);
  EXPECT_NE(result.error().message.find("scene2.bin.save"), std::string::npos);
  EXPECT_EQ(OnDisk(), scene_);
  EXPECT_EQ(testing::ReadWhole(TempPathFor(path_)), leftover);
  // A same-length write inside one page needs no temporary file.
  EXPECT_TRUE(Write(path_, Patch()).ok());
}

// When putting the old bytes back fails too, the message names the bytes that may be damaged:
// those the failed write reached.
TEST_F(SceneIo, UnrestorableBytesAreNamed) {
  testing::FailingFileSystem fillsUp;
  fillsUp.failWritesAfter(100);
  fillsUp.failRestore();
  const auto result = Write(path_, Patch(), fillsUp);
  ASSERT_FALSE(result.ok());
  EXPECT_NE(result.error().message.find("positions 1 to 100 may be damaged"), std::string::npos)
      << result.error().message;
  const Bytes now = OnDisk();
  EXPECT_TRUE(std::equal(now.begin() + 100, now.end(), scene_.begin() + 100));
}

// A scene with a second name would be split by putting a new file in its place: a change of
// length is refused, saying why; a change in place reaches both names.
TEST_F(SceneIo, HardLinkedSceneRefusesALengthChange) {
  const auto other = folder_ / "other.bin";
  std::filesystem::create_hard_link(path_, other);
  const auto result = Write(path_, Grow());
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().kind, ErrorKind::Refused);
  EXPECT_NE(result.error().message.find("hard links"), std::string::npos) << result.error().message;
  EXPECT_EQ(OnDisk(), scene_);
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(path_)));
  ASSERT_TRUE(Write(path_, Patch()).ok());
  EXPECT_EQ(testing::ReadWhole(other), OnDisk());
}

#ifndef _WIN32  // on Windows the write's hold keeps others from replacing or cutting the scene
// Another program cutting the scene short while a write reads it: the write fails with a message,
// never a crash, and leaves no temporary file.
TEST_F(SceneIo, SceneTruncatedWhileWrittenIsReportedNotACrash) {
  for (const bool beforeReading : {true, false}) {
    SCOPED_TRACE(beforeReading);
    testing::WriteFile(path_.string(), scene_);
    const auto result = Write(path_, [&](const SceneImage& current) -> Result<EditPlan> {
      if (!beforeReading) (void)current.bytesAt(1, current.length());
      std::filesystem::resize_file(path_, 1000);
      (void)current.bytesAt(1, current.length());
      return Grow()(current);
    });
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().kind, ErrorKind::ChangedOnDisk) << result.error().message;
    EXPECT_FALSE(std::filesystem::exists(TempPathFor(path_)));
  }
}

// Another writer puts a new scene in place right after this writer's open: the write goes
// to the new scene (opened again), never to the file nobody reads any more.
TEST_F(SceneIo, SceneReplacedBetweenOpenAndLockIsOpenedAgain) {
  for (const bool grow : {true, false}) {
    SCOPED_TRACE(grow);
    testing::WriteFile(path_.string(), scene_);
    const Bytes newer(scene_.size(), 0x11);
    int calls = 0;
    testing::FailingFileSystem raced;
    raced.afterOpen([&] {
      if (calls++ > 0) return;
      testing::WriteFile((folder_ / "newer.bin").string(), newer);
      std::filesystem::rename(folder_ / "newer.bin", path_);
    });
    const auto result = Write(path_, grow ? Grow() : Patch(), raced);
    ASSERT_TRUE(result.ok()) << result.error().message;
    EXPECT_EQ(calls, 2);
    auto expected = (grow ? Grow() : Patch())(SceneImage(newer));
    ASSERT_TRUE(expected.ok());
    EXPECT_EQ(OnDisk(), testing::Applied(*expected, newer));
  }
}

// Links, owners and modes of POSIX files.
// A save through a symbolic link writes the file the link names; the link stays a link.
TEST_F(SceneIo, LengthChangeThroughASymbolicLinkWritesTheLinkedFile) {
  const auto link = folder_ / "link.bin";
  std::filesystem::create_symlink(path_, link);
  const auto result = Write(link, Grow());
  ASSERT_TRUE(result.ok()) << result.error().message;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(OnDisk().size(), scene_.size() + 3000);
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(link)));
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(path_)));
}

// The temporary file has the scene's permission bits from its creation on (never readable by
// more people than the scene), and its owner and group.
TEST_F(SceneIo, TemporaryFileTakesTheScenesModeAndOwnerFromTheStart) {
  ASSERT_EQ(::chmod(path_.c_str(), 0600), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(path_.c_str(), 4242, 4343), 0);
  }
  {
    auto locked = platform::OpenLocked(path_);
    ASSERT_TRUE(locked.ok());
    auto temp = (*locked)->createReplacement(TempPathFor(path_));
    ASSERT_TRUE(temp.ok()) << temp.error().message;
    struct stat st {};
    ASSERT_EQ(::stat(TempPathFor(path_).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    if (root) {
      EXPECT_EQ(st.st_uid, 4242u);
      EXPECT_EQ(st.st_gid, 4343u);
    }
    std::filesystem::remove(TempPathFor(path_));
  }
  ASSERT_TRUE(Write(path_, Grow()).ok());
  struct stat st {};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  if (root) {
    EXPECT_EQ(st.st_uid, 4242u);
    EXPECT_EQ(st.st_gid, 4343u);
  }
}

// A user who cannot give a new file the scene's owner: a change of length is refused rather than
// change who owns the scene; a change in place works.
TEST_F(SceneIo, SceneOfAnotherUserRefusesALengthChange) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a scene owned by another user";
  ASSERT_EQ(::chmod(folder_.path().c_str(), 0777), 0);
  ASSERT_EQ(::chown(path_.c_str(), 4242, 4242), 0);
  ASSERT_EQ(::chmod(path_.c_str(), 0666), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(4343) != 0 || ::setuid(4343) != 0) ::_exit(3);
    const auto grown = Write(path_, Grow());
    const bool refused = !grown.ok() && grown.error().kind == ErrorKind::Refused &&
                         grown.error().message.find("belongs to another user") != std::string::npos;
    ::_exit(!refused ? 1 : Write(path_, Patch()).ok() ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(OnDisk(), testing::Applied(*Patch()(SceneImage(scene_)), scene_));
  struct stat st {};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 4242u);
}
#endif

// A scene named relative to the current folder, as a modder types it in a console in the
// mission's folder, is replaced like any other.
TEST_F(SceneIo, SceneNamedRelativeToTheCurrentFolderIsReplaced) {
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(folder_.path());
  const auto result = Write("scene2.bin", Grow());
  std::filesystem::current_path(before);
  ASSERT_TRUE(result.ok()) << result.error().message;
  EXPECT_EQ(*result, WriteMode::Replaced);
  EXPECT_EQ(OnDisk().size(), scene_.size() + 3000);
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(path_)));
}

TEST_F(SceneIo, MissingSceneIsNotCreated) {
  const auto missing = folder_ / "gone.bin";
  EXPECT_EQ(Write(missing, Grow()).error().kind, ErrorKind::NotReadable);
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(Write("", Grow()).error().kind, ErrorKind::NoFile);
}

TEST_F(SceneIo, FilesBeyond2GiBAreRefusedWithoutReadingThem) {
  const auto huge = folder_ / "huge.bin";
  testing::WriteFile(huge.string(), {});
  std::error_code error;
  std::filesystem::resize_file(huge, (std::uint64_t{1} << 31), error);  // sparse
  if (error) GTEST_SKIP() << "cannot make a sparse file here";
  EXPECT_EQ(LoadScene(huge).error().kind, ErrorKind::Refused);
  bool planned = false;
  const auto result = Write(huge, [&](const SceneImage& current) -> Result<EditPlan> {
    planned = true;
    return EditPlan(static_cast<std::uint64_t>(current.length()));
  });
  EXPECT_EQ(result.error().kind, ErrorKind::Refused);
  EXPECT_FALSE(planned);
  EXPECT_EQ(std::filesystem::file_size(huge), std::uint64_t{1} << 31);
}

}  // namespace
}  // namespace quorvex
