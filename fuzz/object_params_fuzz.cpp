// The object-parameter scan on any bytes, matched against the rows the catalogue finds there and
// against a few names taken from the input itself: every reported position lies inside the file
// and the result equals the literal scan's.

#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "support/literal_scans.h"
#include "support/same_results.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvex;
  const MemorySource bytes({data, size});
  const SceneImage image(bytes);
  std::vector<ByteString> names;
  if (const auto catalogue = ScanCatalogue(image, {true, true})) names = fuzz::RowNames(*catalogue);
  // Names that the object chunks of the input may hold: the bytes after each 10 00 pair, read as a
  // name chunk would be. This reaches the matching code even when the catalogue finds no row.
  for (std::size_t i = 0; i + 6 < size && names.size() < 64; ++i) {
    if (data[i] != 0x10 || data[i + 1] != 0x00) continue;
    const auto length = image.int32At(static_cast<Pos>(i) + 3);
    if (!length || *length < 7 || *length > 64) continue;
    if (auto name = image.bytesAt(static_cast<Pos>(i) + 7, *length - 7)) names.push_back(*name);
  }
  names.push_back(ByteString());  // an empty row text

  int yields = 0;
  std::vector<int> progress;
  ObjectScanHooks hooks;
  hooks.yield = [&] { ++yields; };
  hooks.progress = [&](int count) { progress.push_back(count); };
  const auto fast = ScanObjectParameters(image, names, hooks).value();  // bytes in memory
  fuzz::CheckObjectsInside(image, fast);
  QV_FUZZ_CHECK(progress.size() == fast.matches.size(), "one progress step per match");
  if (fast.error) QV_FUZZ_CHECK(!fast.error->message.empty(), "an error without a message");
  for (const auto& match : fast.matches) {
    QV_FUZZ_CHECK(match.row >= 0 && static_cast<std::size_t>(match.row) < names.size(), "row");
    for (int r = 0; r < match.row; ++r) {
      QV_FUZZ_CHECK(names[static_cast<std::size_t>(r)] != match.name, "first row must win");
    }
  }

  const auto literal = testing::LiteralScanObjectParameters(bytes, names);
  const auto difference = testing::ObjectScanDifference(fast, literal);
  QV_FUZZ_CHECK(difference.empty(), difference);
  return 0;
}
