// The catalogue scan on any bytes, with the section flags of a normal load and of the reload after
// a save: it ends, reports only positions inside the file, and agrees exactly (rows, positions,
// progress calls, errors) with the literal one-position-at-a-time scan.

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "support/literal_scans.h"
#include "support/same_results.h"

namespace {

// The literal scan reads one window per position; beyond this size it only slows the fuzzer.
constexpr std::size_t kReferenceLimit = 1 << 16;

void ScanWith(const quorvex::MemorySource& bytes, quorvex::SectionFlags flags) {
  using namespace quorvex;
  std::vector<int> fastProgress;
  std::vector<int> literalProgress;
  CatalogueHooks fastHooks;
  fastHooks.progress = [&](int count) { fastProgress.push_back(count); };
  const SceneImage image(bytes);
  const auto fast = ScanCatalogue(image, flags, fastHooks);
  if (fast) fuzz::CheckCatalogueInside(image, *fast);

  if (static_cast<std::size_t>(image.length()) > kReferenceLimit) return;
  CatalogueHooks literalHooks;
  literalHooks.progress = [&](int count) { literalProgress.push_back(count); };
  const auto literal = testing::LiteralScanCatalogue(bytes, flags, literalHooks);
  QV_FUZZ_CHECK(fast.ok() == literal.ok(), "fast and literal scans disagree on success");
  if (!fast) {
    QV_FUZZ_CHECK(fast.error().kind == literal.error().kind, fast.error().message);
    QV_FUZZ_CHECK(!fast.error().message.empty(), "an error without a message");
    return;
  }
  const auto difference = testing::CatalogueDifference(*fast, *literal);
  QV_FUZZ_CHECK(difference.empty(), difference);
  QV_FUZZ_CHECK(fastProgress == literalProgress, "progress calls differ");
}

// The scan of a changed content made only around the change (as a write's check makes it) agrees
// exactly with the full scan. The change is drawn from the input: where, how many bytes go, and
// new bytes taken from the input itself, so that they carry its markers.
void ScanAroundChangeAgrees(std::span<const std::uint8_t> data) {
  using namespace quorvex;
  if (data.size() < 8) return;
  const std::size_t offset = (data[0] | data[1] << 8) % (data.size() + 1);
  const std::size_t removed = std::min<std::size_t>(data[2] % 64, data.size() - offset);
  const std::size_t inserted = data[3] % 64;
  Bytes after(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(offset));
  for (std::size_t i = 0; i < inserted; ++i) after.push_back(data[(data[4] + i) % data.size()]);
  after.insert(after.end(), data.begin() + static_cast<std::ptrdiff_t>(offset + removed),
               data.end());
  const ContentChange change{static_cast<Pos>(offset) + 1, static_cast<Pos>(offset + removed) + 1,
                             static_cast<Pos>(inserted) - static_cast<Pos>(removed)};
  const SceneImage before(data);
  const SceneImage changed(after);
  const auto both = ScanAroundChange(before, changed, change);
  const auto old = ScanCatalogue(before);
  auto difference = testing::CatalogueDifference(both.before, old);
  QV_FUZZ_CHECK(difference.empty(), "the old content's scan: " + difference);
  if (!old) return;
  difference = testing::CatalogueDifference(both.after, ScanCatalogue(changed));
  QV_FUZZ_CHECK(difference.empty(), "the changed content's scan: " + difference);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const quorvex::MemorySource bytes({data, size});
  ScanWith(bytes, {});
  ScanWith(bytes, {true, true});
  ScanWith(bytes, {true, false});
  ScanAroundChangeAgrees({data, size});
  return 0;
}
