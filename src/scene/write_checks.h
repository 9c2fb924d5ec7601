#pragma once
// Checks shared by every writer: before a change is planned, the file must still be what the scan
// saw, and every length the change corrects must stay a valid 32-bit length.

#include <cstdint>
#include <string>

#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

// The message of a write refused because the file is no longer what the scan saw.
inline constexpr const char* kChangedOnDiskMessage = "The scene changed on disk — reload it.";

// ChangedOnDisk with kChangedOnDiskMessage followed by what was found.
Error ChangedOnDisk(const std::string& detail);

// The file still has the length the scan saw.
Status CheckSceneLength(const SceneImage& image, Pos expected);

// The chunk whose length field is at `lengthPos` still starts with marker `m` (at lengthPos - 2).
Status CheckMarkerBefore(const SceneImage& image, Pos lengthPos, std::uint16_t m,
                         const std::string& what);

// The root length at position 3 equals the real file length. A length-changing write relies on
// it: the new file is exactly as long as the corrected root length, so a root length shorter than
// the file would cut off the file's last bytes.
Status CheckRootLength(const SceneImage& image);

// value + delta as a 32-bit length; Refused when the sum would be negative or beyond 2^31 - 1.
Result<std::int32_t> AdjustedLength(std::int64_t value, std::int64_t delta,
                                    const std::string& what);

}  // namespace quorvex
