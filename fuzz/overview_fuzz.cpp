// The script overview on any bytes: for the catalogue of the same bytes it is exactly the header
// lines and script texts of the ticked rows; for a catalogue of other bytes (a scene changed since
// its scan) it either builds or refuses, never reading outside the file.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "script/overview.h"
#include "support/failing_file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvex;
  const SceneImage image({data, size});
  const auto catalogue = ScanCatalogue(image);
  // In one pass, read block by block as from a file: the same rows, or the same failure.
  const testing::ChangingSource file(Bytes(data, data + size), [](auto, auto) {});
  const SteadySource steady(file, SteadySource::Mode::GuardedBlocks);
  ByteString onePass;
  const auto scanned = ScanWithOverview(SceneImage(steady), steady,
                                        [&](std::string_view piece) { onePass.append(piece); });
  QV_FUZZ_CHECK(scanned.ok() == catalogue.ok() &&
                    (!scanned || scanned->rows.size() == catalogue->rows.size()),
                "the one-pass scan");
  if (!catalogue) return 0;

  const auto overview = BuildScriptOverview(image, *catalogue);
  QV_FUZZ_CHECK(overview.ok(), "the overview of a scene's own catalogue failed");
  ByteString expected;
  for (const auto& row : catalogue->rows) {
    if (!row.checked) continue;
    expected += std::string("\r\n\r\n") + kOverviewStars + kOverviewNameOpen + row.name +
                kOverviewNameClose + kOverviewStars + "\r\n";
    expected += *image.bytesAt(*row.scriptLengthPos + 4, *row.scriptLength);
  }
  QV_FUZZ_CHECK(*overview == expected, "overview text");
  QV_FUZZ_CHECK(onePass == expected, "one-pass overview text");

  // The same catalogue over a shorter and an altered copy of the bytes.
  if (size > 0) {
    const SceneImage shorter({data, size / 2});
    const auto partial = BuildScriptOverview(shorter, *catalogue);
    if (!partial) QV_FUZZ_CHECK(!partial.error().message.empty(), "an error without a message");
    Bytes altered(data, data + size);
    for (std::size_t i = 0; i < altered.size(); i += 7) altered[i] = 0xFF;
    const auto other = BuildScriptOverview(SceneImage(altered), *catalogue);
    if (!other) QV_FUZZ_CHECK(!other.error().message.empty(), "an error without a message");
  }
  return 0;
}
