#pragma once
// The commands of quorvex-cli. Each returns the process exit status: 0 success, 1 usage error,
// 2 the operation was refused or failed (the message is on stderr, the scene unchanged).

#include <optional>
#include <string>

#include "scene/platform.h"

namespace quorvex::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitFailed = 2;

// Read side.
int Catalogue(const std::string& scene);
int Script(const std::string& scene, long long row);
int Objects(const std::string& scene);
int Overview(const std::string& scene);
int Models(const std::string& scene);
int Check(const std::string& scene);

// Write side.
// The file systems below are the platform's; tests give ones that fail or change bytes on purpose.
int SaveScript(const std::string& scene, long long row, const std::optional<std::string>& file,
               platform::FileSystem& files = platform::RealFileSystem());

// Scripts as files: every script into `folder` with a manifest, and the edited ones back.
int Export(const std::string& scene, const std::string& folder, bool force,
           platform::FileSystem& files = platform::RealFileSystem());
int Import(const std::string& scene, const std::string& folder,
           platform::FileSystem& files = platform::RealFileSystem());

struct InsertArgs {
  std::string name;
  std::optional<std::string> category;
  std::string translation;  // "X,Y,Z" in C notation
  std::string size;
  std::optional<std::string> rotation;  // integer degrees -90..90
  std::optional<std::string> model;
};
int Insert(const std::string& scene, const InsertArgs& args);

struct ModifyArgs {
  std::string translation;
  std::string size;
  std::optional<std::string> rotation;
};
int Modify(const std::string& scene, long long row, const ModifyArgs& args);

}  // namespace quorvex::cli
