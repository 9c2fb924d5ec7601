// The model listing on any bytes: every name lies inside the file, ends in ".i3d" and starts after
// a byte that is not a name byte (or at the first byte); the listing and its progress values equal
// the literal byte-by-byte listing.

#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "objects/model_listing.h"
#include "support/literal_scans.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvex;
  const MemorySource bytes({data, size});
  const SceneImage image(bytes);
  std::vector<int> progress;
  ModelListingHooks hooks;
  hooks.progress = [&](int value) { progress.push_back(value); };
  const auto names = ListSceneModels(image, hooks).value();  // bytes in memory

  Pos previousStart = 0;
  for (const auto& name : names) {
    QV_FUZZ_CHECK(name.length >= 4 && image.contains(name.start, name.length), "name inside");
    const auto text = ModelNameText(image, name).value();  // bytes in memory
    QV_FUZZ_CHECK(text.size() == static_cast<std::size_t>(name.length), "name text");
    QV_FUZZ_CHECK(text.ends_with(".i3d"), "name ending");
    for (std::size_t i = 0; i + 4 < text.size(); ++i) {
      QV_FUZZ_CHECK(IsModelNameByte(static_cast<std::uint8_t>(text[i])), "name byte");
    }
    if (name.start > 1) {
      QV_FUZZ_CHECK(!IsModelNameByte(*image.byteAt(name.start - 1)), "name start");
    }
    QV_FUZZ_CHECK(name.start + name.length > previousStart, "file order");
    previousStart = name.start + name.length;
  }

  std::vector<int> literalProgress;
  const auto literal = testing::LiteralListSceneModels(bytes, &literalProgress);
  QV_FUZZ_CHECK(literal.size() == names.size(), "listing length");
  for (std::size_t i = 0; i < names.size(); ++i) {
    QV_FUZZ_CHECK(literal[i].start == names[i].start && literal[i].length == names[i].length,
                  "listing entry " + std::to_string(i));
  }
  QV_FUZZ_CHECK(progress == literalProgress, "progress values");
  return 0;
}
