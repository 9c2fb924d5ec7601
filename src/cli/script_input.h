#pragma once
// The new text of save-script: a file or standard input, read as raw bytes up to a limit.

#include <cstdint>
#include <optional>
#include <string>

#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex::cli {

// Reads the text from `file` (a UTF-8 path) or, without one, from standard input. A file must be
// a regular file or a pipe: a folder or a device is refused with a message. At most `limit` bytes
// are taken: a longer text is refused (Refused) after `limit` + 1 bytes, so an endless source
// such as /dev/zero ends. Every failure is an Error, never an exception.
Result<ByteString> ReadScriptText(const std::optional<std::string>& file, std::uint64_t limit);

}  // namespace quorvex::cli
