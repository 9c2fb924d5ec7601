#pragma once
// The set-up the tests that write files share: a scratch folder of their own, and the settings
// that the longer runs of the scripts/ folder pass through the environment.

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorvex::testing {

// A new folder with a random name under the temporary folder, or with `inMemory` under /dev/shm
// where there is one (for tests about what is written, not about disks); removed with everything
// in it when it goes.
class ScratchFolder {
 public:
  explicit ScratchFolder(std::string_view prefix = "quorvex-write", bool inMemory = false) {
    namespace fs = std::filesystem;
    const fs::path base =
        inMemory && fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      // create_directory fails on an existing folder.
      auto candidate =
          base / (std::string(prefix) + "-" + std::to_string(random()) + std::to_string(random()));
      if (fs::create_directory(candidate)) path_ = candidate;
    }
    if (path_.empty()) throw std::runtime_error("cannot create a scratch folder");
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    // What a test made read-only is made writable first, or it could not be removed; links are
    // not followed out of the folder.
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
      if (entry.is_symlink(ignored)) continue;
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The whole number in the environment variable `name`; `fallback` when it is unset or empty.
inline long EnvNumber(const char* name, long fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::strtol(value, nullptr, 10) : fallback;
}

}  // namespace quorvex::testing
