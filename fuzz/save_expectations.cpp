#include "fuzz/save_expectations.h"

#include <algorithm>

#include "fuzz/fuzz_support.h"

namespace quorvex::fuzz {

void CheckSavedBytes(std::span<const std::uint8_t> before, std::span<const std::uint8_t> after,
                     const ScriptSaveTarget& target, const ByteString& text) {
  const SceneImage old(before);
  const SceneImage now(after);
  const Pos p = target.scriptLengthPos;
  const std::int64_t org = target.loadedLength;
  const auto newLength = static_cast<std::int64_t>(text.size());
  const std::int64_t delta = newLength - org;
  QV_FUZZ_CHECK(now.length() == old.length() + delta, "new file length");
  QV_FUZZ_CHECK(now.bytesAt(p + 4, newLength) == text, "text at the script");
  QV_FUZZ_CHECK(std::equal(before.begin() + (p + 3 + org), before.end(),
                           after.begin() + (p + 3 + newLength), after.end()),
                "bytes after the script");

  std::vector<Pos> fields;
  if (delta != 0) {
    fields = {3, *target.sectionLengthPos, target.entryLengthPos};
    if (!target.standalone) fields.push_back(*target.scriptChunkLengthPos);
  }
  Bytes expected(before.begin(), before.begin() + (p + 3));
  for (const Pos f : fields) {
    QV_FUZZ_CHECK(f + 3 < p, "a corrected length lies behind the script");
    const auto value = static_cast<std::int32_t>(*old.int32At(f) + delta);
    const auto bytes = Int32Bytes(value);
    std::copy(bytes.begin(), bytes.end(), expected.begin() + (f - 1));
  }
  const auto length = Int32Bytes(static_cast<std::int32_t>(newLength));
  std::copy(length.begin(), length.end(), expected.begin() + (p - 1));
  QV_FUZZ_CHECK(std::equal(expected.begin(), expected.end(), after.begin()),
                "bytes before the script: only the enclosing lengths may change");
  if (delta != 0) {
    QV_FUZZ_CHECK(now.int32At(3) == now.length(), "root length = file length after the save");
  }
}

}  // namespace quorvex::fuzz
