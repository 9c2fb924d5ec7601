// Modifying an object found in any bytes, planned and through the real file writer: an object the
// scan recorded in these very bytes is never refused; the file keeps its length and only the ten
// value fields change (B and D keep their bytes); a rescan finds the new values where the old ones
// were. A position the scan did not record is refused or patched only where the object's name
// stands. The writer reads its result back and refuses only what a fresh load would read
// otherwise.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "fuzz/read_back.h"
#include "objects/modify_object.h"
#include "objects/rotation.h"
#include "support/scene_builder.h"

namespace {

using namespace quorvex;

// The objects section can be walked child by child to exactly its end.
bool SectionFilled(const SceneImage& image) {
  const auto h = FindObjectsSection(image);
  if (!h || !image.int32At(*h + 2)) return false;
  const Pos end = *h + 2 + *image.int32At(*h + 2);
  Pos pos = *h + 8;
  while (pos < end) {
    const auto length = image.int32At(pos);
    if (!length || *length < 6) return false;
    pos += *length;
  }
  return pos == end;
}

void CheckPlanAgainstFile(std::span<const std::uint8_t> scene, const ModifyRequest& request,
                          const Result<EditPlan>& plan) {
  auto& scratch = fuzz::Scratch();
  scratch.write(scene);
  const auto written = ModifyObject(scratch.path(), request);
  if (!plan) {
    QV_FUZZ_CHECK(!written.ok() && written.error().kind == plan.error().kind,
                  "the writer did not refuse as the planner did");
    QV_FUZZ_CHECK(scratch.read() == Bytes(scene.begin(), scene.end()),
                  "a refused modification changed the file");
  } else {
    // The writer reads the result back: it refuses only when a fresh load would read the rows or
    // the object's values otherwise.
    const auto result = testing::Applied(*plan, scene);
    fuzz::ReadBackExpectation same;
    same.moved = [](Pos x) { return x; };
    auto difference = fuzz::ReadBackDifference(SceneImage(scene), SceneImage(result), same);
    if (!difference) {
      bool found = false;
      const auto rescanned = ScanObjectParameters(SceneImage(result), {request.name}).value();
      for (const auto& match : rescanned.matches) {
        found = found || (match.translationPos == request.translationPos &&
                          match.bits()[0] == FloatBits(request.translation[0]) &&
                          match.bits()[9] == FloatBits(request.size[2]));
      }
      if (!found) difference = "the object's values do not read back";
    }
    if (!written.ok()) {
      QV_FUZZ_CHECK(written.error().kind == ErrorKind::WouldMisread, written.error().message);
      QV_FUZZ_CHECK(difference.has_value(), "refused a modification that reads back as intended: " +
                                                written.error().message);
      QV_FUZZ_CHECK(scratch.read() == Bytes(scene.begin(), scene.end()),
                    "a refused modification changed the file");
      fuzz::Count("modify: refused, the result would read otherwise");
    } else {
      QV_FUZZ_CHECK(!difference, "a modified scene reads back otherwise: " + *difference);
      QV_FUZZ_CHECK(
          *written == (PatchesInPlace(*plan) ? WriteMode::PatchedInPlace : WriteMode::Replaced),
          "write mode");
      QV_FUZZ_CHECK(scratch.read() == result, "the file differs from the plan");
    }
  }
  QV_FUZZ_CHECK(!scratch.tempLeftOver(), "a modification left a .save file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ControlBytes control({data, size}, fuzz::kControlBytes);
  const auto scene = control.scene();
  const SceneImage image(scene);
  const std::uint16_t choice = control.u16();

  std::vector<ByteString> names;
  if (const auto catalogue = ScanCatalogue(image, {true, true})) names = fuzz::RowNames(*catalogue);
  const auto scan = ScanObjectParameters(image, names).value();  // bytes in memory

  if (scan.matches.empty()) {
    // A made-up position and name.
    ModifyRequest request;
    request.translationPos = static_cast<Pos>(control.u16()) % (image.length() + 60) - 30;
    request.name = ByteString(control.byte() % 4, static_cast<char>(control.byte()));
    request.sceneLength = image.length();
    const auto plan = PlanModify(SceneImage(scene), request);
    if (request.translationPos <= 0) {
      QV_FUZZ_CHECK(!plan.ok() && plan.error().kind == ErrorKind::NoObject, "unset position");
    }
    if (plan) {
      for (const auto& edit : plan->edits()) {
        QV_FUZZ_CHECK(edit.offset + edit.removeCount <= scene.size(), "an edit outside the file");
      }
    }
    CheckPlanAgainstFile(scene, request, plan);
    return 0;
  }

  const auto& match = scan.matches[choice % scan.matches.size()];
  auto request = ModifyRequestFrom(match, image.length());
  for (auto& v : request.translation) v = control.anyFloat();
  for (auto& v : request.size) v = control.anyFloat();
  const auto rotation = RotationForDegrees(control.byte() % 181 - 90);
  request.rotation[0] = FloatBits(rotation.a);
  request.rotation[2] = FloatBits(rotation.c);

  const auto plan = PlanModify(SceneImage(scene), request);
  // An object found by the scan is refused only when the objects section is not filled exactly by
  // its children.
  QV_FUZZ_CHECK(
      plan.ok() || (!SectionFilled(image) && plan.error().kind == ErrorKind::Damaged),
      plan.ok() ? "" : "an object found by the scan was refused: " + plan.error().message);
  CheckPlanAgainstFile(scene, request, plan);
  if (!plan) return 0;
  const auto result = testing::Applied(*plan, scene);
  QV_FUZZ_CHECK(result.size() == scene.size(), "length kept");
  const Pos p = match.translationPos;
  Bytes expected(scene.begin(), scene.end());
  auto put = [&](Pos pos, std::uint32_t bits) {
    for (int i = 0; i < 4; ++i) expected[pos - 1 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  };
  for (int i = 0; i < 3; ++i) {
    put(p + 4 * i, FloatBits(request.translation[i]));
    put(p + 40 + 4 * i, FloatBits(request.size[i]));
  }
  for (int i = 0; i < 4; ++i) put(p + 18 + 4 * i, request.rotation[i]);
  QV_FUZZ_CHECK(result == expected, "only the value fields change");
  QV_FUZZ_CHECK(
      request.rotation[1] == match.rotation[1] && request.rotation[3] == match.rotation[3],
      "B and D as read");

  // Where the values did not overwrite what the walk reads, the rescan sees the same objects.
  const auto rescan = ScanObjectParameters(SceneImage(result), names).value();
  bool sameWalk = rescan.matches.size() == scan.matches.size() && !rescan.error == !scan.error;
  for (std::size_t i = 0; sameWalk && i < scan.matches.size(); ++i) {
    sameWalk = rescan.matches[i].translationPos == scan.matches[i].translationPos &&
               rescan.matches[i].row == scan.matches[i].row;
  }
  if (!sameWalk) return 0;
  fuzz::Count("modify: new values found by the rescan");
  for (const auto& found : rescan.matches) {
    if (found.translationPos != p) continue;
    for (int i = 0; i < 3; ++i) {
      QV_FUZZ_CHECK(FloatBits(found.translation[i]) == FloatBits(request.translation[i]), "X Y Z");
      QV_FUZZ_CHECK(FloatBits(found.size[i]) == FloatBits(request.size[i]), "size");
    }
    for (int i = 0; i < 4; ++i) QV_FUZZ_CHECK(found.rotation[i] == request.rotation[i], "A B C D");
  }
  return 0;
}
