#include "scene/write_checks.h"

#include <limits>

namespace quorvex {

Error ChangedOnDisk(const std::string& detail) {
  return MakeError(ErrorKind::ChangedOnDisk,
                   std::string(kChangedOnDiskMessage) + " (" + detail + ") Nothing was written.");
}

Status CheckSceneLength(const SceneImage& image, Pos expected) {
  if (image.length() == expected) return OkStatus();
  return ChangedOnDisk("the file is now " + std::to_string(image.length()) +
                       " bytes long; it was " + std::to_string(expected) + " bytes when read");
}

Status CheckMarkerBefore(const SceneImage& image, Pos lengthPos, std::uint16_t m,
                         const std::string& what) {
  if (image.markerAt(lengthPos - 2, m) && image.contains(lengthPos, 4)) return OkStatus();
  return ChangedOnDisk("the " + what + " is no longer at position " +
                       std::to_string(lengthPos - 2));
}

Status CheckRootLength(const SceneImage& image) {
  const auto root = image.int32At(3);
  if (root && *root == image.length()) return OkStatus();
  return MakeError(ErrorKind::Refused,
                   "The scene's root length (position 3) is " +
                       (root ? std::to_string(*root) : std::string("missing")) +
                       " but the file is " + std::to_string(image.length()) +
                       " bytes long. A change of length would lose or misplace the file's last "
                       "bytes, so nothing was written.");
}

Result<std::int32_t> AdjustedLength(std::int64_t value, std::int64_t delta,
                                    const std::string& what) {
  const std::int64_t sum = value + delta;
  if (sum < 0 || sum > std::numeric_limits<std::int32_t>::max()) {
    return MakeError(ErrorKind::Refused, "The " + what + " would become " + std::to_string(sum) +
                                             ", outside the range of a 32-bit length. Nothing "
                                             "was written.");
  }
  return static_cast<std::int32_t>(sum);
}

}  // namespace quorvex
