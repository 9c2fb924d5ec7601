// Inserting an object of every category (and of none) into any bytes, planned and through the real
// file writer:
// - a refused insertion changes nothing;
// - a successful one is exactly the old bytes with the object record appended to the objects
//   section, the definition record appended to the section after it, and the objects section,
//   definition section and root lengths grown by the records' lengths (the root then equals the
//   file length);
// - the object-parameter scan of the result finds the new object where it was written, with the
//   values given, whenever the old objects section could be walked to its end;
// - the writer refuses exactly the insertions whose result a fresh load would read otherwise, and
//   an objects section whose children do not fill it exactly.
// The insert form's checks run on texts taken from the input as well.

#include <cmath>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "fuzz/read_back.h"
#include "objects/insert_object.h"
#include "objects/insert_validation.h"
#include "objects/records.h"
#include "objects/rotation.h"
#include "objects/templates.h"
#include "scene/object_params.h"
#include "support/scene_builder.h"

namespace {

using namespace quorvex;

ByteString MakeName(fuzz::ControlBytes& control, std::size_t length) {
  ByteString name;
  const std::uint8_t seed = control.byte();
  for (std::size_t i = 0; i < length; ++i) {
    name.push_back(static_cast<char>(seed + 37 * i + (i * i) % 11));
  }
  return name;
}

const char* const kModels[] = {"Sarah2LOW.i3d", "xbarel 2.i3d", "", "model", "a.i3d.i3d", "x.I3D"};

Bytes TemplateOf(Category category) {
  const auto& info = InfoOf(category);
  if (!info.templateName) return OthersTemplate();
  const auto found = FindTemplate(*info.templateName);
  QV_FUZZ_CHECK(found.has_value(), std::string(*info.templateName));
  return Bytes(found->bytes().begin(), found->bytes().end());
}

// The old objects section can be walked child by child to exactly its end, with no damage.
bool WalksToEnd(const SceneImage& image, Pos h) {
  const Pos end = h + 2 + *image.int32At(h + 2);
  Pos pos = h + 8;
  while (pos < end) {
    const auto length = image.int32At(pos);
    if (!length || *length <= 0) return false;
    pos += *length;
  }
  return pos == end;
}

void CheckForm(fuzz::ControlBytes& control) {
  static const char* const kNumbers[] = {"1",   "-2.5", "1e3", "0x10", "",   " 1", "1,5",   "nan",
                                         "inf", "1e39", "-0",  ".5",   "5.", "+7", "1e-50", "abc"};
  InsertForm form;
  form.name = MakeName(control, control.byte() % 4);
  for (auto& number : form.numbers) number = kNumbers[control.byte() % 16];
  form.fileSelected = control.byte() & 1;
  const std::vector<ByteString> rows = {"Oskar", ByteString(1, '\xC9')};
  const auto validation = ValidateInsert(form, rows, ParseCNumber);
  if (validation.failure) {
    QV_FUZZ_CHECK(!validation.failure->prompt.empty(), "a check without a prompt");
    return;
  }
  QV_FUZZ_CHECK(!form.name.empty() && form.fileSelected, "accepted an empty name or no file");
  for (int i = 0; i < 3; ++i) {
    QV_FUZZ_CHECK(
        std::isfinite(validation.values.translation[i]) && std::isfinite(validation.values.size[i]),
        "accepted a number a single cannot hold");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ControlBytes control({data, size}, fuzz::kControlBytes);
  const auto scene = control.scene();
  const SceneImage image(scene);

  InsertRequest request;
  const int choice = control.byte() % 9;
  if (choice > 0) request.category = Categories()[static_cast<std::size_t>(choice - 1)].category;
  request.name = MakeName(control, control.byte() % 24);
  request.model = kModels[control.byte() % 6];
  for (auto& v : request.translation) v = control.anyFloat();
  request.size[0] = control.anyFloat();
  const auto rotation = RotationForDegrees(control.byte() % 181 - 90);
  request.rotationA = rotation.a;
  request.rotationC = rotation.c;
  if (control.byte() % 4 == 0) request.sceneLength = image.length() + (control.byte() & 1);
  CheckForm(control);

  const auto plan = PlanInsert(SceneImage(scene), request);
  auto& scratch = fuzz::Scratch();
  scratch.write(scene);
  const auto written = InsertObject(scratch.path(), request);
  if (!plan) {
    QV_FUZZ_CHECK(!plan.error().message.empty(), "an error without a message");
    QV_FUZZ_CHECK(!written.ok() && written.error().kind == plan.error().kind,
                  "the writer did not refuse as the planner did");
    QV_FUZZ_CHECK(scratch.read() == Bytes(scene.begin(), scene.end()),
                  "a refused insertion changed the file");
    QV_FUZZ_CHECK(!scratch.tempLeftOver(), "a refused insertion left a .save file");
    return 0;
  }
  QV_FUZZ_CHECK(!request.name.empty(), "inserted an object without a name");
  fuzz::Count(request.category ? "insert: with a definition" : "insert: object only");
  const auto result = testing::Applied(*plan, scene);

  // The expected bytes, assembled independently of the planner.
  const bool others = request.category == Category::Others;
  const Bytes object = BuildObjectRecord(ObjectRecordInputFor(request));
  const Pos h = *FindObjectsSection(image);
  QV_FUZZ_CHECK(WalksToEnd(image, h), "inserted into an objects section its children do not fill");
  const std::int32_t objectsLength = *image.int32At(h + 2);
  const Pos e = h + objectsLength;
  Bytes definition;
  Pos f = e;
  std::int32_t defLength = 0;
  if (request.category) {
    definition = BuildDefinitionRecord(request.name, TemplateOf(*request.category));
    defLength = *image.int32At(e + 2);
    f = e + defLength;
  }
  const auto added = static_cast<std::int64_t>(object.size() + definition.size());
  Bytes expected(scene.begin(), scene.end());
  auto patch = [&](Pos pos, std::int64_t value) {
    const auto bytes = Int32Bytes(static_cast<std::int32_t>(value));
    std::copy(bytes.begin(), bytes.end(), expected.begin() + (pos - 1));
  };
  patch(3, image.length() + added);
  patch(h + 2, objectsLength + static_cast<std::int64_t>(object.size()));
  if (request.category) patch(e + 2, defLength + static_cast<std::int64_t>(definition.size()));
  expected.insert(expected.begin() + (f - 1), definition.begin(), definition.end());
  expected.insert(expected.begin() + (e - 1), object.begin(), object.end());
  QV_FUZZ_CHECK(result == expected, "inserted bytes");
  QV_FUZZ_CHECK(SceneImage(result).int32At(3) == static_cast<std::int64_t>(result.size()),
                "root length = file length");

  // The writer reads the result back before committing: it refuses exactly when a fresh load
  // would list other rows than before plus the new definition.
  fuzz::ReadBackExpectation readBack;
  const auto objectSize = static_cast<Pos>(object.size());
  const auto definitionSize = static_cast<Pos>(definition.size());
  readBack.moved = [&](Pos x) {
    return x + (x >= e ? objectSize : 0) + (x >= f ? definitionSize : 0);
  };
  if (request.category) readBack.newRowLengthPos = f + objectSize + 2;
  const auto difference = fuzz::ReadBackDifference(image, SceneImage(result), readBack);
  if (!written.ok()) {
    QV_FUZZ_CHECK(written.error().kind == ErrorKind::WouldMisread, written.error().message);
    QV_FUZZ_CHECK(difference.has_value(),
                  "refused an insertion whose result reads back as "
                  "intended: " +
                      written.error().message);
    QV_FUZZ_CHECK(scratch.read() == Bytes(scene.begin(), scene.end()),
                  "a refused insertion changed the file");
    QV_FUZZ_CHECK(!scratch.tempLeftOver(), "a refused insertion left a .save file");
    fuzz::Count("insert: refused, the result would read otherwise");
    return 0;
  }
  QV_FUZZ_CHECK(!difference, "an inserted scene reads back otherwise: " + difference.value_or(""));
  QV_FUZZ_CHECK(*written == WriteMode::Replaced, "the writer patched");
  QV_FUZZ_CHECK(scratch.read() == result, "the file differs from the planned content");
  QV_FUZZ_CHECK(!scratch.tempLeftOver(), "an insertion left a .save file");

  // The object scan finds the new object, last in its section, with the values written.
  const auto before = ScanObjectParameters(image, {request.name});
  if (!before || before->error || !WalksToEnd(image, h)) return 0;
  fuzz::Count("insert: new object found by the object scan");
  const SceneImage after(result);
  const auto found = ScanObjectParameters(after, {request.name});
  QV_FUZZ_CHECK(found && !found->error && !found->matches.empty(), "the new object is not found");
  const auto& match = found->matches.back();
  const Pos n = static_cast<Pos>(request.name.size());
  QV_FUZZ_CHECK(match.translationPos == e + 29 + n, "the new object's position");
  for (int i = 0; i < 3; ++i) {
    QV_FUZZ_CHECK(FloatBits(match.translation[i]) == FloatBits(request.translation[i]), "X Y Z");
    QV_FUZZ_CHECK(FloatBits(match.size[i]) == FloatBits(request.size[i]), "size");
  }
  QV_FUZZ_CHECK(match.rotation[0] == FloatBits(request.rotationA) && match.rotation[1] == 0 &&
                    match.rotation[2] == FloatBits(request.rotationC) && match.rotation[3] == 0,
                "rotation");
  const bool listsModel = !others && request.model.find(".i3d") != ByteString::npos;
  QV_FUZZ_CHECK(listsModel ? match.model == request.model : !match.model, "model name");
  return 0;
}
