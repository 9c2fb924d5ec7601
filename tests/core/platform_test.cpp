// The file rules that depend on the operating system: a scene held by another program is reported
// and left alone, a write holds the scene against a second writer, paths in any language work, and
// a read-only scene is refused. Built for Linux and, cross-compiled, run under Wine for Windows.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "scene/catalogue.h"
#include "scene/loaded_scene.h"
#include "scene/scene_file.h"
#include "scene/scene_io.h"
#include "support/cli_runner.h"
#include "support/load_scene.h"
#include "support/scene_builder.h"
#include "support/scratch_folder.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;

Bytes ReadAllBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAllBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

// A fresh folder `leaf` for one test, inside a scratch folder that goes afterwards.
class TempFolder {
 public:
  explicit TempFolder(const fs::path& leaf) : path_(scratch_.path() / leaf) {
    fs::create_directories(path_);
  }
  const fs::path& path() const { return path_; }

 private:
  const testing::ScratchFolder scratch_{"quorvex-platform"};
  const fs::path path_;
};

// Another program holding the scene open. On Windows an open handle whose share mode forbids
// our exclusive open; on POSIX the exclusive advisory lock that holders of a scene take.
class ForeignHold {
 public:
#ifdef _WIN32
  explicit ForeignHold(const fs::path& path)
      : handle_(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~ForeignHold() {
    if (held()) ::CloseHandle(handle_);
  }
  bool held() const {
    return handle_ != INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
#else
  explicit ForeignHold(const fs::path& path) : fd_(::open(path.c_str(), O_RDONLY)) {
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~ForeignHold() {
    if (held()) ::close(fd_);
  }
  bool held() const {
    return fd_ >= 0;
  }

 private:
  int fd_;
#endif
};

// A plan that grows the scene: a chunk appended at the end, the root length corrected.
Result<EditPlan> AppendChunk(const SceneImage& current) {
  EditPlan plan(static_cast<std::uint64_t>(current.length()));
  const Bytes chunk = testing::Chunk(0x0001, testing::ToBytes("added"));
  if (auto s = plan.patchInt32(
          3, static_cast<std::int32_t>(current.length() + static_cast<Pos>(chunk.size())));
      !s) {
    return s.error();
  }
  if (auto s = plan.insertAt(current.length() + 1, chunk); !s) return s.error();
  return plan;
}

// A plan that keeps the length: the last byte replaced.
Result<EditPlan> PatchOneByte(const SceneImage& current) {
  EditPlan plan(static_cast<std::uint64_t>(current.length()));
  if (auto s = plan.add(Edit{static_cast<std::uint64_t>(current.length()) - 1, 1, Bytes{'!'}}); !s)
    return s.error();
  return plan;
}

Catalogue ScanFile(const fs::path& path) {
  auto bytes = LoadScene(path);
  EXPECT_TRUE(bytes.ok()) << (bytes.ok() ? "" : bytes.error().message);
  if (!bytes.ok()) return {};
  auto catalogue = ScanCatalogue(SceneImage(*bytes));
  EXPECT_TRUE(catalogue.ok());
  return catalogue.ok() ? *catalogue : Catalogue{};
}

class PlatformTest : public ::testing::Test {
 protected:
  void PlaceScene(const fs::path& folder) {
    scene_ = folder / "scene2.bin";
    expected_ = testing::BuildScene(testing::DemoSceneSpec());
    WriteAllBytes(scene_, expected_);
  }
  // The scene on disk is exactly `expected_`, and no temporary file is left beside it.
  void ExpectSceneOnDisk() const {
    EXPECT_EQ(ReadAllBytes(scene_), expected_);
    EXPECT_FALSE(fs::exists(TempPathFor(scene_)));
  }

  // Every write, in place or by replacement, is refused as held by another program.
  void ExpectWritesRefusedAsLocked() const {
    for (const auto& planner : {Planner(PatchOneByte), Planner(AppendChunk)}) {
      auto write = WriteScene(scene_, planner, {});
      ASSERT_FALSE(write.ok());
      EXPECT_EQ(write.error().kind, ErrorKind::Locked);
      EXPECT_EQ(write.error().message, kFileUsedMessage);
    }
  }

  fs::path scene_;
  Bytes expected_;
};

#ifndef _WIN32
// Small faults of the reader: a FIFO is refused without being opened (inotify sees every open),
// and a message names a row in UTF-8, not in the scene's code page.
TEST_F(PlatformTest, ReaderLooksBeforeItOpensAndNamesRowsReadably) {
  TempFolder folder("review");
  const fs::path fifo = folder.path() / "fifo.bin";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int watch = ::inotify_init1(IN_NONBLOCK);
  ASSERT_GE(::inotify_add_watch(watch, fifo.c_str(), IN_OPEN), 0);
  EXPECT_EQ(SceneFile::Open(fifo).error().kind, ErrorKind::Refused);
  char event[256];
  EXPECT_LT(::read(watch, event, sizeof event), 0);  // no open was seen
  ::close(watch);

  testing::SceneSpec spec;
  spec.definitions.resize(1);
  spec.definitions[0].name = "Zo\xEB";
  spec.definitions[0].script = "wait\r\n";
  PlaceScene(folder.path());
  WriteAllBytes(scene_, testing::BuildScene(spec));
  auto file = SceneFile::Open(scene_);
  ASSERT_TRUE(file.ok());
  LoadedScene scene = MakeLoadedScene(**file, *ScanCatalogue(SceneImage(**file)));
  scene.catalogue.rows[0].scriptLength = 99;
  EXPECT_NE(ReadRowScript(scene, 0).error().message.find("Zo\xC3\xAB"), std::string::npos);
}
#endif

TEST_F(PlatformTest, SceneHeldByAnotherProgramIsReportedAndLeftAlone) {
  TempFolder folder("held");
  PlaceScene(folder.path());
  {
    ForeignHold other(scene_);
    ASSERT_TRUE(other.held());

    auto load = LoadScene(scene_);
    ASSERT_FALSE(load.ok());
    EXPECT_EQ(load.error().kind, ErrorKind::Locked);
    EXPECT_EQ(load.error().message, kFileUsedMessage);

    ExpectWritesRefusedAsLocked();
  }
  ExpectSceneOnDisk();
  EXPECT_TRUE(LoadScene(scene_).ok()) << "released by the other program";
}

#ifdef _WIN32
// Another program with the scene open: quorvex_hold_file (beside this test program) opens it in
// the given mode and keeps it open until this object closes its standard input.
class HoldingProcess {
 public:
  HoldingProcess(const wchar_t* mode, const fs::path& file) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const fs::path helper = fs::path(self).parent_path() / L"quorvex_hold_file.exe";
    std::wstring command = L"\"" + helper.native() + L"\" " + mode + L" \"" + file.native() + L"\"";
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childIn = nullptr, childOut = nullptr;
    if (!::CreatePipe(&childIn, &input_, &inherit, 0)) return;
    if (!::CreatePipe(&output_, &childOut, &inherit, 0)) return;
    ::SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = childOut;
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(helper.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                         nullptr, &startup, &process)) {
      ::CloseHandle(process.hThread);
      process_ = process.hProcess;
    } else {
      report_ = "cannot start " + helper.string() + ": error " + std::to_string(::GetLastError());
    }
    ::CloseHandle(childIn);
    ::CloseHandle(childOut);
    if (process_ == nullptr) return;
    char c = 0;
    DWORD read = 0;
    while (::ReadFile(output_, &c, 1, &read, nullptr) && read == 1 && c != '\n') {
      if (c != '\r') report_ += c;  // its standard output is in text mode
    }
  }
  ~HoldingProcess() {
    if (input_ != nullptr) ::CloseHandle(input_);
    if (process_ != nullptr) {
      if (::WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0) ::TerminateProcess(process_, 1);
      ::CloseHandle(process_);
    }
    if (output_ != nullptr) ::CloseHandle(output_);
  }
  // "held" once the file is open; otherwise why not.
  const std::string& report() const { return report_; }

 private:
  HANDLE process_ = nullptr;
  HANDLE input_ = nullptr;
  HANDLE output_ = nullptr;
  std::string report_;
};

// What Quorvex does while another program has the scene open. A scan is refused while the other
// program may write the scene or denies reading it (the game holds it exclusively), and goes
// ahead beside a mere reader, above all beside another Quorvex reader (the window and quorvex-cli
// at once). A write is refused while anybody has the scene open. Nothing is written when refused.
TEST_F(PlatformTest, WindowsProgramsHoldingTheScene) {
  const struct {
    const wchar_t* mode;
    bool scanRefused;
  } cases[] = {{L"exclusive", true}, {L"writer", true}, {L"reader", false}, {L"quorvex", false}};
  TempFolder folder("held by a program");
  PlaceScene(folder.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(fs::path(c.mode).string());
    {
      HoldingProcess other(c.mode, scene_);
      ASSERT_EQ(other.report(), "held");
      auto load = LoadScene(scene_);
      EXPECT_EQ(load.ok(), !c.scanRefused);
      if (c.scanRefused && !load.ok()) {
        EXPECT_EQ(load.error().kind, ErrorKind::Locked);
        EXPECT_EQ(load.error().message, kFileUsedMessage);
      }
      ExpectWritesRefusedAsLocked();
    }
    ExpectSceneOnDisk();
    EXPECT_TRUE(LoadScene(scene_).ok()) << "released by the other program";
  }
}
#endif

// While one write runs (here: while its plan is made), a scan and a second writer are turned
// away; the first write then completes, replacing the scene it held.
TEST_F(PlatformTest, WriteHoldsSceneAgainstSecondWriterAndStillReplacesIt) {
  TempFolder folder("writer");
  PlaceScene(folder.path());
  for (const auto& planner : {Planner(PatchOneByte), Planner(AppendChunk)}) {
    std::optional<Error> loadDuringWrite;
    std::optional<Error> writeDuringWrite;
    auto first = WriteScene(scene_,
                            [&](const SceneImage& current) {
                              auto load = LoadScene(scene_);
                              if (!load.ok()) loadDuringWrite = load.error();
                              auto second = WriteScene(scene_, PatchOneByte, {});
                              if (!second.ok()) writeDuringWrite = second.error();
                              return planner(current);
                            },
                            {});
    ASSERT_TRUE(first.ok()) << first.error().message;
    ASSERT_TRUE(loadDuringWrite && writeDuringWrite);
    EXPECT_EQ(loadDuringWrite->kind, ErrorKind::Locked);
    EXPECT_EQ(loadDuringWrite->message, kFileUsedMessage);
    EXPECT_EQ(writeDuringWrite->kind, ErrorKind::Locked);
    EXPECT_EQ(writeDuringWrite->message, kFileUsedMessage);

    auto expected = planner(SceneImage(expected_));
    ASSERT_TRUE(expected.ok());
    expected_ = testing::Applied(*expected, expected_);
    ExpectSceneOnDisk();  // the first writer's content
  }
}

// A mission folder named in the modder's own language, beyond any single-byte code page.
TEST_F(PlatformTest, SceneUnderNonAsciiFolderOpensAndSaves) {
  const std::string folderUtf8 = "Missionen \xC3\x9C\xC3\xB6 \xE4\xBB\xBB\xE5\x8A\xA1 \xCE\xB4";
  TempFolder folder(PathFromUtf8(folderUtf8));
  PlaceScene(folder.path());

  // The name survives the round trip through the UTF-8 strings of the command line and window.
  const auto listed = fs::directory_iterator(folder.path().parent_path())->path().filename();
  const auto listedUtf8 = listed.u8string();
  EXPECT_EQ(std::string(listedUtf8.begin(), listedUtf8.end()), folderUtf8);
  const fs::path scene = PathFromUtf8(
      std::string(reinterpret_cast<const char*>(folder.path().u8string().c_str())) + "/scene2.bin");
  EXPECT_TRUE(fs::equivalent(scene, scene_));

  const auto before = ScanFile(scene);
  EXPECT_FALSE(before.rows.empty());

  auto patched = WriteScene(scene, PatchOneByte, {});
  ASSERT_TRUE(patched.ok()) << patched.error().message;
  EXPECT_EQ(*patched, WriteMode::PatchedInPlace);
  auto grown = WriteScene(scene, AppendChunk, {});
  ASSERT_TRUE(grown.ok()) << grown.error().message;
  EXPECT_EQ(*grown, WriteMode::Replaced);

  expected_ = testing::Applied(*PatchOneByte(SceneImage(expected_)), expected_);
  expected_ = testing::Applied(*AppendChunk(SceneImage(expected_)), expected_);
  ExpectSceneOnDisk();
  EXPECT_EQ(ScanFile(scene).rows.size(), before.rows.size());
}

// True when this process may write the file although its read-only flag is set (an administrator
// on POSIX); Quorvex on Windows refuses such a scene in any case.
bool PrivilegedWriter(const fs::path& path) {
#ifdef _WIN32
  (void)path;
  return false;
#else
  return ::access(path.c_str(), W_OK) == 0;
#endif
}

TEST_F(PlatformTest, ReadOnlySceneIsRefusedClearlyAndLeftUnchanged) {
  TempFolder folder("read-only");
  PlaceScene(folder.path());
  fs::permissions(scene_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  if (PrivilegedWriter(scene_)) GTEST_SKIP() << "this account writes read-only files anyway";

  EXPECT_TRUE(LoadScene(scene_).ok()) << "reading a read-only scene is fine";
  for (const auto& planner : {Planner(PatchOneByte), Planner(AppendChunk)}) {
    auto write = WriteScene(scene_, planner, {});
    ASSERT_FALSE(write.ok());
    EXPECT_EQ(write.error().kind, ErrorKind::Refused);
    EXPECT_NE(write.error().message.find("read-only"), std::string::npos) << write.error().message;
    ExpectSceneOnDisk();
  }
}

// quorvex-cli says the same as the window for a held scene, and fails with status 2; beside a
// reader of ours (the window with the scene loaded) it reads the scene as usual.
TEST_F(PlatformTest, CliReportsHeldSceneAndReadsBesideOurReader) {
  if (!fs::exists(testing::CliPath())) GTEST_SKIP() << "no quorvex-cli (QUORVEX_CLI) to run";
  TempFolder folder("cli");
  PlaceScene(folder.path());
  for (const bool foreign : {true, false}) {
    SCOPED_TRACE(foreign ? "held by another program" : "open in a reader of ours");
    std::unique_ptr<ForeignHold> other;
    std::unique_ptr<SceneFile> ours;
    if (foreign) {
      other = std::make_unique<ForeignHold>(scene_);
      ASSERT_TRUE(other->held());
    } else {
      auto opened = SceneFile::Open(scene_);
      ASSERT_TRUE(opened.ok()) << opened.error().message;
      ours = std::move(*opened);
    }

    const auto run = testing::RunCli({"catalogue", scene_.string()});
    other.reset();  // on Windows nobody, not even this test, can read the scene while it is held
    EXPECT_EQ(run.status, foreign ? 2 : 0) << run.err;
    EXPECT_EQ(run.err.find(kFileUsedMessage) != std::string::npos, foreign);
  }
  ExpectSceneOnDisk();
}

}  // namespace
}  // namespace quorvex
