#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

namespace quorvex::fuzz {

void Fail(const std::string& what) {
  std::fprintf(stderr, "\n*** invariant broken: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

ControlBytes::ControlBytes(std::span<const std::uint8_t> data, std::size_t count) {
  const std::size_t taken = std::min(count, data.size());
  control_ = data.last(taken);
  scene_ = data.first(data.size() - taken);
}

std::uint8_t ControlBytes::byte() {
  if (next_ >= control_.size()) return 0;
  return control_[next_++];
}

std::uint16_t ControlBytes::u16() {
  const std::uint16_t low = byte();
  return static_cast<std::uint16_t>(low | (byte() << 8));
}

std::uint32_t ControlBytes::u32() {
  const std::uint32_t low = u16();
  return low | (static_cast<std::uint32_t>(u16()) << 16);
}

float ControlBytes::anyFloat() {
  return BitsToFloat(u32());
}

ScratchScene::ScratchScene() : path_(folder_.path() / "scene2.bin") {}

void ScratchScene::write(std::span<const std::uint8_t> bytes) const {
  std::ofstream out(path_, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) Fail("cannot write the scratch scene");
}

Bytes ScratchScene::read() const {
  std::ifstream in(path_, std::ios::binary);
  if (!in) Fail("the scratch scene is gone");
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool ScratchScene::tempLeftOver() const {
  auto temp = path_;
  temp += ".save";
  return std::filesystem::exists(temp);
}

ScratchScene& Scratch() {
  static ScratchScene scratch;
  return scratch;
}

namespace {

std::string At(const std::string& what, Pos pos) {
  return what + " at " + std::to_string(pos);
}

}  // namespace

void CheckCatalogueInside(const SceneImage& image, const Catalogue& catalogue) {
  QV_FUZZ_CHECK(catalogue.sceneLength == image.length(), "scene length");
  QV_FUZZ_CHECK(catalogue.rows.size() <= static_cast<std::size_t>(kMaxRows), "row count");
  for (const auto& section : {catalogue.scriptSection, catalogue.defSection}) {
    if (section) {
      QV_FUZZ_CHECK(image.contains(section->lengthPos, 4),
                    At("section length", section->lengthPos));
      QV_FUZZ_CHECK(image.int32At(section->lengthPos) == section->length, "section length value");
    }
  }
  for (const auto& row : catalogue.rows) {
    QV_FUZZ_CHECK(image.contains(row.entryLengthPos, 4), At("entry length", row.entryLengthPos));
    QV_FUZZ_CHECK(row.scriptLengthPos.has_value() == row.scriptLength.has_value(),
                  "script position without length");
    if (row.scriptLengthPos) {
      const Pos p = *row.scriptLengthPos;
      QV_FUZZ_CHECK(image.contains(p, 4), At("script length", p));
      QV_FUZZ_CHECK(image.int32At(p) == row.scriptLength, At("script length value", p));
      QV_FUZZ_CHECK(*row.scriptLength >= 0 && image.contains(p + 4, *row.scriptLength),
                    At("script text", p));
      QV_FUZZ_CHECK(row.checked == (*row.scriptLength != 0), At("tick", p));
    } else {
      QV_FUZZ_CHECK(!row.checked, "ticked row without script");
    }
    if (row.standalone) {
      QV_FUZZ_CHECK(!row.scriptChunkLengthPos, "standalone row with a parameters chunk");
      QV_FUZZ_CHECK(image.markerAt(row.entryLengthPos - 2, marker::kScript), "standalone marker");
    } else {
      QV_FUZZ_CHECK(row.scriptChunkLengthPos && image.contains(*row.scriptChunkLengthPos, 4),
                    At("parameters chunk length", row.entryLengthPos));
      QV_FUZZ_CHECK(image.markerAt(row.entryLengthPos - 2, marker::kDefinition),
                    "definition marker");
    }
  }
  const auto first = static_cast<std::size_t>(catalogue.firstStandaloneScriptRow);
  QV_FUZZ_CHECK(first == 0 || (first < catalogue.rows.size() && catalogue.rows[first].standalone),
                "first standalone row");
}

void CheckObjectsInside(const SceneImage& image, const ObjectScanResult& result) {
  for (const auto& match : result.matches) {
    const Pos p = match.translationPos;
    QV_FUZZ_CHECK(image.contains(p, 52), At("object values", p));
    const auto n = static_cast<Pos>(match.name.size());
    QV_FUZZ_CHECK(image.bytesAt(p - 7 - n, n) == match.name, At("object name", p));
    QV_FUZZ_CHECK(image.uint32At(p + 22) == match.rotation[1], At("rotation B", p));
    QV_FUZZ_CHECK(image.uint32At(p + 30) == match.rotation[3], At("rotation D", p));
    QV_FUZZ_CHECK(FloatBits(*image.floatAt(p + 40)) == FloatBits(match.size[0]), At("size", p));
    if (match.model) {
      QV_FUZZ_CHECK(match.model->size() < static_cast<std::size_t>(image.length()),
                    At("model name", p));
    }
  }
}

void Count(const char* what) {
  static std::map<std::string, long> counts;
  static const bool wanted = [] {
    if (!std::getenv("QUORVEX_FUZZ_STATS")) return false;
    std::atexit([] {
      for (const auto& [name, count] : counts)
        std::fprintf(stderr, "%s: %ld\n", name.c_str(), count);
    });
    return true;
  }();
  if (wanted) ++counts[what];
}

std::vector<ByteString> RowNames(const Catalogue& catalogue) {
  std::vector<ByteString> names;
  names.reserve(catalogue.rows.size());
  for (const auto& row : catalogue.rows) names.push_back(row.name);
  return names;
}

}  // namespace quorvex::fuzz
