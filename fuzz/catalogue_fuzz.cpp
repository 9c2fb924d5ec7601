// The catalogue scan on any bytes, with the section flags of a normal load and of the reload after
// a save: it ends, reports only positions inside the file, and agrees exactly (rows, positions,
// progress calls, errors) with the literal one-position-at-a-time scan.

#include <cstdint>
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const quorvex::MemorySource bytes({data, size});
  ScanWith(bytes, {});
  ScanWith(bytes, {true, true});
  ScanWith(bytes, {true, false});
  return 0;
}
