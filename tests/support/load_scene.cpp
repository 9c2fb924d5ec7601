#include "support/load_scene.h"

#include "scene/scene_file.h"

namespace quorvex {

Result<Bytes> LoadScene(const std::filesystem::path& path) {
  auto file = SceneFile::Open(path);
  if (!file) return file.error();
  Bytes bytes(static_cast<std::size_t>((*file)->size()));
  if (auto read = (*file)->readAt(0, bytes); !read) return read.error();
  return bytes;
}

}  // namespace quorvex
