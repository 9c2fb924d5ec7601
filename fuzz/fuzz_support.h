#pragma once
// Shared pieces of the fuzz targets: the failure report, the control bytes that steer a write
// target, a scratch file for the real writers, and the checks that every scan result must pass
// whatever bytes it was given.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "scene/catalogue.h"
#include "scene/object_params.h"
#include "scene/scene_image.h"
#include "support/scratch_folder.h"

namespace quorvex::fuzz {

// Prints what broke and aborts, so that libFuzzer (or the replay driver) records the input.
[[noreturn]] void Fail(const std::string& what);

#define QV_FUZZ_CHECK(condition, detail)                                                \
  do {                                                                                  \
    if (!(condition)) ::quorvex::fuzz::Fail(std::string(#condition) + ": " + (detail)); \
  } while (false)

// The choices of a write target come from the last bytes of the input, the scene is the rest.
// Reading past the front gives zeros, so every input is usable.
class ControlBytes {
 public:
  ControlBytes(std::span<const std::uint8_t> data, std::size_t count);
  std::uint8_t byte();
  std::uint16_t u16();
  std::uint32_t u32();
  float anyFloat();  // any bit pattern, NaN and infinities included
  std::span<const std::uint8_t> scene() const { return scene_; }

 private:
  std::span<const std::uint8_t> control_;
  std::span<const std::uint8_t> scene_;
  std::size_t next_ = 0;
};

// How many control bytes the write targets take from the end of their input.
inline constexpr std::size_t kControlBytes = 16;

// A file in a private scratch folder (on a memory file system when there is one), used to run the
// real writers on the fuzzed bytes.
class ScratchScene {
 public:
  ScratchScene();
  const std::filesystem::path& path() const { return path_; }
  void write(std::span<const std::uint8_t> bytes) const;
  Bytes read() const;
  // No "<scene>.save" may be left behind by any write, successful or refused.
  bool tempLeftOver() const;

 private:
  // Kept for the whole run (see Scratch): it goes when the process ends normally, and a crash
  // leaves it for inspection.
  const testing::ScratchFolder folder_{"quorvex-fuzz", true};
  std::filesystem::path path_;
};

ScratchScene& Scratch();

// Every position the catalogue reports lies inside the file, with the field it names.
void CheckCatalogueInside(const SceneImage& image, const Catalogue& catalogue);
// Every position the object scan reports lies inside the file, with the values read there.
void CheckObjectsInside(const SceneImage& image, const ObjectScanResult& result);

// Counts how often a check ran; with QUORVEX_FUZZ_STATS set the counts are printed at exit, to
// see that the strong checks are reached and not always skipped.
void Count(const char* what);

// The texts of the catalogue rows.
std::vector<ByteString> RowNames(const Catalogue& catalogue);

}  // namespace quorvex::fuzz
