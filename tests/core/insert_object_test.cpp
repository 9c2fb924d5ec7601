// Inserting and modifying objects: the checks of the insert form, the exact bytes an insertion
// writes and where, the refusals, and in-place modification.

#include <gtest/gtest.h>

#include <algorithm>

#include "objects/insert_object.h"
#include "objects/insert_validation.h"
#include "objects/modify_object.h"
#include "objects/records.h"
#include "objects/templates.h"
#include "scene/catalogue.h"
#include "scene/object_params.h"
#include "scene/write_checks.h"
#include "script/script_save.h"
#include "support/failing_file_system.h"
#include "support/scene_builder.h"
#include "write_test_support.h"

namespace quorvex {
namespace {

using testing::Int32At;
using testing::ScratchFolder;

InsertForm Form(ByteString name, std::array<std::string, 6> numbers) {
  InsertForm form;
  form.name = std::move(name);
  form.numbers = std::move(numbers);
  return form;
}

std::optional<InsertCheck> FailedCheck(const InsertForm& form,
                                       const std::vector<ByteString>& rows = {}) {
  const auto result = ValidateInsert(form, rows, ParseCNumber);
  if (!result.failure) return std::nullopt;
  return result.failure->check;
}

TEST(InsertValidation, ChecksInOrderWithPromptsAndTitles) {
  const std::array<std::string, 6> good{"1", "2", "3", "4", "5", "6"};
  EXPECT_EQ(FailedCheck(Form("", {"", "x", "", "", "", ""})), InsertCheck::NameEmpty);
  EXPECT_EQ(FailedCheck(Form("a", {"x", "2", "3", "4", "5", ""})), InsertCheck::FieldEmpty);
  for (int i = 0; i < 6; ++i) {
    auto numbers = good;
    numbers[static_cast<std::size_t>(i)] = "1,5";
    numbers[5] = i == 5 ? "x" : "y";  // a later bad box never hides an earlier one
    const auto result = ValidateInsert(Form("a", numbers), {}, ParseCNumber);
    ASSERT_TRUE(result.failure);
    EXPECT_EQ(static_cast<int>(result.failure->check),
              static_cast<int>(InsertCheck::TranslationX) + i);
    EXPECT_EQ(result.failure->prompt, "Put numeric");
    EXPECT_EQ(result.failure->title, i < 3 ? "Translation" : "Size");
  }
  auto noFile = Form("a", good);
  noFile.fileSelected = false;
  const auto selectFile = ValidateInsert(noFile, {"a"}, ParseCNumber);
  ASSERT_TRUE(selectFile.failure);
  EXPECT_EQ(selectFile.failure->prompt, "****** Select File ******");
  EXPECT_FALSE(selectFile.failure->title);

  const auto known = ValidateInsert(Form("oskar", good), {"Brenna", "Oskar"}, ParseCNumber);
  ASSERT_TRUE(known.failure);
  EXPECT_EQ(known.failure->prompt, "Put another!");
  EXPECT_EQ(known.failure->title, "Name already known");
  EXPECT_FALSE(ValidateInsert(Form("Oskar2", good), {"Oskar"}, ParseCNumber).failure);
}

TEST(InsertValidation, AcceptedNumbersBecomeSingles) {
  const auto result =
      ValidateInsert(Form("new", {"0.1", "-2", "1e3", "+4.5", ".5", "6"}), {"Oskar"}, ParseCNumber);
  ASSERT_FALSE(result.failure);
  EXPECT_EQ(result.values.translation[0], 0.1f);
  EXPECT_EQ(result.values.translation[1], -2.0f);
  EXPECT_EQ(result.values.translation[2], 1000.0f);
  EXPECT_EQ(result.values.size[0], 4.5f);
  EXPECT_EQ(result.values.size[1], 0.5f);
  EXPECT_EQ(result.values.size[2], 6.0f);
}

TEST(InsertValidation, CNotationNumbers) {
  EXPECT_EQ(ParseCNumber("-1.25e2"), -125.0);
  for (const char* bad :
       {"", " 1", "1 ", "1,5", "abc", "+", "+-1", "--1", "inf", "nan", "0x10", "1e999"}) {
    EXPECT_FALSE(ParseCNumber(bad)) << bad;
  }
  // Beyond the range of a single: not numeric rather than an infinity in the file.
  EXPECT_TRUE(
      ValidateInsert(Form("a", {"1e300", "1", "1", "1", "1", "1"}), {}, ParseCNumber).failure);
}

// The demo scene and its catalogue row names.
struct Demo {
  Bytes bytes = testing::BuildScene(testing::DemoSceneSpec());
  std::vector<ByteString> names() const {
    std::vector<ByteString> out;
    const auto catalogue = ScanCatalogue(SceneImage(bytes));
    for (const auto& row : catalogue->rows) out.push_back(row.name);
    return out;
  }
};

InsertRequest Request(ByteString name, std::optional<Category> category, ByteString model) {
  InsertRequest request;
  request.name = std::move(name);
  request.category = category;
  request.model = std::move(model);
  request.translation[0] = 1.0f;
  request.translation[1] = 2.0f;
  request.translation[2] = 3.0f;
  request.size[0] = request.size[1] = request.size[2] = 1.0f;
  request.rotationA = 0.5f;
  request.rotationC = 0.8660254f;
  return request;
}

Bytes Inserted(const Bytes& before, const InsertRequest& request) {
  auto plan = PlanInsert(SceneImage(before), request);
  EXPECT_TRUE(plan.ok()) << (plan.ok() ? "" : plan.error().message);
  return plan.ok() ? testing::Applied(*plan, before) : before;
}

TEST(InsertObject, FemaleGoesToTheEndOfBothSectionsAndEveryLengthGrows) {
  const Demo demo;
  const Bytes& before = demo.bytes;
  const SceneImage image(before);
  const Pos p = *FindObjectsSection(image);
  const Pos e = p + *image.int32At(p + 2);
  const Pos f = e + *image.int32At(e + 2);
  const auto request = Request("Lucy", Category::Female, "Sarah2LOW.i3d");
  const Bytes after = Inserted(before, request);

  const Bytes object = BuildObjectRecord(ObjectRecordInputFor(request));
  const auto human1 = FindTemplate("Human1")->bytes();
  const Bytes definition = BuildDefinitionRecord("Lucy", human1);
  ASSERT_EQ(object.size(), 133u + 4 + 13);
  ASSERT_EQ(definition.size(), 128u + 4);

  // Expected: the old bytes with both records spliced in and four lengths grown.
  Bytes expected(before.begin(), before.begin() + (e - 1));
  expected.insert(expected.end(), object.begin(), object.end());
  expected.insert(expected.end(), before.begin() + (e - 1), before.begin() + (f - 1));
  expected.insert(expected.end(), definition.begin(), definition.end());
  expected.insert(expected.end(), before.begin() + (f - 1), before.end());
  auto put = [&](Pos pos, std::int32_t value) {
    for (int i = 0; i < 4; ++i)
      expected[static_cast<std::size_t>(pos - 1 + i)] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  const auto grow = static_cast<std::int32_t>(object.size() + definition.size());
  put(3, Int32At(before, 3) + grow);
  put(p + 2, Int32At(before, p + 2) + static_cast<std::int32_t>(object.size()));
  put(e + 2 + static_cast<Pos>(object.size()),
      Int32At(before, e + 2) + static_cast<std::int32_t>(definition.size()));
  EXPECT_EQ(after, expected);

  // The rescan lists the new definition as the last definition row, and the object scan finds it.
  const auto catalogue = ScanCatalogue(SceneImage(after));
  ASSERT_TRUE(catalogue.ok());
  const auto oldRows = demo.names();
  ASSERT_EQ(catalogue->rows.size(), oldRows.size() + 1);
  const int newRow = ScanCatalogue(SceneImage(before))->firstStandaloneScriptRow;
  EXPECT_EQ(catalogue->rows[static_cast<std::size_t>(newRow)].name, "Lucy");
  std::vector<ByteString> names;
  for (const auto& row : catalogue->rows) names.push_back(row.name);
  const auto objects = ScanObjectParameters(SceneImage(after), names).value();
  const auto lucy = std::find_if(objects.matches.begin(), objects.matches.end(),
                                 [&](const ObjectParams& o) { return o.row == newRow; });
  ASSERT_NE(lucy, objects.matches.end());
  EXPECT_EQ(lucy->translation[2], 3.0f);
  EXPECT_EQ(lucy->rotationC(), 0.8660254f);
  EXPECT_EQ(lucy->model, "Sarah2LOW.i3d");
}

TEST(InsertObject, GrowthPerCategory) {
  const Demo demo;
  const auto size = static_cast<std::int64_t>(demo.bytes.size());
  auto grown = [&](const InsertRequest& r) {
    return static_cast<std::int64_t>(Inserted(demo.bytes, r).size()) - size;
  };
  EXPECT_EQ(grown(Request("Ann", Category::Female, "")), 133 + 3 + 128 + 3);
  EXPECT_EQ(grown(Request("Ann", Category::Others, "ignored.i3d")), 156 + 3 + 53 + 3);
  EXPECT_EQ(grown(Request("Ann", std::nullopt, "m.i3d")), 133 + 3 + 5);
  EXPECT_EQ(grown(Request("Ann", Category::Car, "blackha00.i3d")), 133 + 3 + 13 + 2675 + 3);
  EXPECT_EQ(grown(Request("Ann", Category::Things, "xbarel 2.i3d")), 133 + 3 + 12 + 60 + 3);
  // Without a category the definition section is untouched.
  const Bytes after = Inserted(demo.bytes, Request("Ann", std::nullopt, "m.i3d"));
  EXPECT_EQ(ScanCatalogue(SceneImage(after))->rows.size(), demo.names().size());
}

TEST(InsertObject, Refusals) {
  const Demo demo;
  auto refusal = [](const Bytes& bytes, const InsertRequest& request) {
    auto plan = PlanInsert(SceneImage(bytes), request);
    EXPECT_FALSE(plan.ok());
    return plan.ok() ? std::string() : plan.error().message;
  };
  const auto female = Request("Ann", Category::Female, "Sarah2LOW.i3d");

  auto spec = testing::DemoSceneSpec();
  spec.withObjectsSection = false;
  EXPECT_NE(refusal(testing::BuildScene(spec), female).find("no objects section"),
            std::string::npos);

  Bytes longer = demo.bytes;
  longer.push_back(0);
  EXPECT_NE(refusal(longer, female).find("root length"), std::string::npos);

  // The chunk after the objects section is no definition section: only a definition is refused.
  spec = testing::DemoSceneSpec();
  spec.withDefinitionSection = false;
  const Bytes noDefinitions = testing::BuildScene(spec);
  EXPECT_NE(refusal(noDefinitions, female).find("0xAE20"), std::string::npos);
  EXPECT_TRUE(PlanInsert(SceneImage(noDefinitions), Request("Ann", std::nullopt, "")).ok());

  const SceneImage image(demo.bytes);
  const Pos p = *FindObjectsSection(image);
  for (const std::int32_t bad : {5, -1, static_cast<std::int32_t>(demo.bytes.size())}) {
    Bytes damaged = demo.bytes;
    for (int i = 0; i < 4; ++i)
      damaged[static_cast<std::size_t>(p + 1 + i)] = static_cast<std::uint8_t>(bad >> (8 * i));
    EXPECT_NE(refusal(damaged, female).find("does not fit"), std::string::npos) << bad;
  }

  auto stale = female;
  stale.sceneLength = static_cast<Pos>(demo.bytes.size()) + 1;
  EXPECT_EQ(PlanInsert(SceneImage(demo.bytes), stale).error().kind, ErrorKind::ChangedOnDisk);
  EXPECT_EQ(PlanInsert(SceneImage(demo.bytes), Request("", Category::Female, "")).error().kind,
            ErrorKind::Invalid);
}

TEST(InsertObject, InsertsOnDiskThroughTheTemporaryFile) {
  ScratchFolder folder;
  const auto path = folder / "scene2.bin";
  const Demo demo;
  testing::WriteFile(path.string(), demo.bytes);
  const auto request = Request("Dorran", Category::Male, "Enemy12K.i3d");
  const auto result = InsertObject(path, request);
  ASSERT_TRUE(result.ok()) << result.error().message;
  EXPECT_EQ(*result, WriteMode::Replaced);
  EXPECT_EQ(testing::ReadWhole(path), Inserted(demo.bytes, request));
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(path)));

  // A refused insertion leaves the file as it is.
  Bytes longer = demo.bytes;
  longer.push_back(0);
  testing::WriteFile(path.string(), longer);
  EXPECT_FALSE(InsertObject(path, request).ok());
  EXPECT_EQ(testing::ReadWhole(path), longer);
}

// An objects section one byte shorter than its children: every read looks healthy, but a new
// object would land one byte inside the last one. Insertion and modification refuse, naming the
// position.
TEST(InsertObject, ObjectsSectionItsChildrenDoNotFillIsRefused) {
  const Demo demo;
  const Pos p = *FindObjectsSection(SceneImage(demo.bytes));
  Bytes shorter = demo.bytes;
  const auto length = Int32Bytes(Int32At(demo.bytes, p + 2) - 1);
  std::copy(length.begin(), length.end(), shorter.begin() + (p + 1));
  ASSERT_TRUE(ScanCatalogue(SceneImage(shorter)).ok());
  const auto refused = PlanInsert(SceneImage(shorter), Request("Ann", std::nullopt, "m.i3d"));
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().kind, ErrorKind::Damaged);
  EXPECT_NE(refused.error().message.find("position " + std::to_string(p)), std::string::npos)
      << refused.error().message;

  std::vector<ByteString> names = demo.names();
  const auto matches = ScanObjectParameters(SceneImage(demo.bytes), names)->matches;
  ASSERT_FALSE(matches.empty());
  const auto request = ModifyRequestFrom(matches.back(), static_cast<Pos>(shorter.size()));
  EXPECT_EQ(PlanModify(SceneImage(shorter), request).error().kind, ErrorKind::Damaged);
  EXPECT_TRUE(PlanModify(SceneImage(demo.bytes), request).ok());
}

// A definition script ending in " \xAE" and then a new definition's marker would read as a section
// header: the insertion is refused, saying which characters, before anything is written.
TEST(InsertObject, RecordCompletingAFalseSectionHeaderIsRefused) {
  ScratchFolder folder;
  const auto path = folder / "scene2.bin";
  const Demo demo;
  testing::WriteFile(path.string(), demo.bytes);
  const auto catalogue = ScanCatalogue(SceneImage(demo.bytes));
  const int last = catalogue->firstStandaloneScriptRow - 1;  // the definition section's last row
  const auto target = ScriptSaveTargetFor(*catalogue, last);
  ASSERT_TRUE(target.ok());
  ASSERT_TRUE(SaveScript(path, *target, "// hi \xAE").ok());
  const Bytes saved = testing::ReadWhole(path);

  const auto inserted = InsertObject(path, Request("Ann", Category::Female, "Sarah2LOW.i3d"));
  ASSERT_FALSE(inserted.ok());
  EXPECT_EQ(inserted.error().kind, ErrorKind::WouldMisread);
  EXPECT_NE(inserted.error().message.find("The characters ' \xC2\xAE' at position"),
            std::string::npos)
      << inserted.error().message;
  EXPECT_EQ(testing::ReadWhole(path), saved);
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(path)));
}

// Modification.
struct ModifyFixture : ::testing::Test {
  void SetUp() override {
    const auto catalogue = ScanCatalogue(SceneImage(scene));
    for (const auto& row : catalogue->rows) names.push_back(row.name);
    const auto scan = ScanObjectParameters(SceneImage(scene), names).value();
    for (const auto& match : scan.matches) {
      if (match.name == "Cop01") cop = match;
    }
    ASSERT_GT(cop.translationPos, 0);
  }
  Bytes scene = testing::BuildScene(testing::DemoSceneSpec());
  std::vector<ByteString> names;
  ObjectParams cop;
};

TEST_F(ModifyFixture, WritesTheTenValuesAtTheirOffsetsAndNothingElse) {
  auto request = ModifyRequestFrom(cop, static_cast<Pos>(scene.size()));
  const float values[] = {7, 8, 9, 10, 11, 12};
  for (int i = 0; i < 3; ++i) {
    request.translation[i] = values[i];
    request.size[i] = values[3 + i];
  }
  request.rotation[0] = FloatBits(1.0f);
  request.rotation[2] = FloatBits(6.123234e-17f);
  auto plan = PlanModify(SceneImage(scene), request);
  ASSERT_TRUE(plan.ok()) << plan.error().message;
  EXPECT_TRUE(plan->keepsLength());
  const Bytes after = testing::Applied(*plan, scene);
  const SceneImage image(after);
  const Pos p = cop.translationPos;
  const Pos offsets[] = {0, 4, 8, 40, 44, 48};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(image.floatAt(p + offsets[i]), values[i]);
  EXPECT_EQ(image.uint32At(p + 18), FloatBits(1.0f));
  EXPECT_EQ(image.uint32At(p + 22), cop.rotation[1]);
  EXPECT_EQ(image.uint32At(p + 26), FloatBits(6.123234e-17f));
  EXPECT_EQ(image.uint32At(p + 30), cop.rotation[3]);
  std::size_t changed = 0;
  for (std::size_t i = 0; i < scene.size(); ++i) {
    if (scene[i] == after[i]) continue;
    ++changed;
    const Pos at = static_cast<Pos>(i) + 1 - p;
    EXPECT_TRUE((at >= 0 && at < 12) || (at >= 18 && at < 34) || (at >= 40 && at < 52)) << at;
  }
  EXPECT_GT(changed, 0u);
}

TEST_F(ModifyFixture, RefusesWithoutAPositionOrWhenTheObjectMoved) {
  auto request = ModifyRequestFrom(cop, static_cast<Pos>(scene.size()));
  auto none = request;
  none.translationPos = 0;
  EXPECT_EQ(PlanModify(SceneImage(scene), none).error().kind, ErrorKind::NoObject);

  auto elsewhere = request;
  elsewhere.translationPos += 1;
  EXPECT_EQ(PlanModify(SceneImage(scene), elsewhere).error().kind, ErrorKind::ChangedOnDisk);

  auto renamed = request;
  renamed.name = "Cop02";
  EXPECT_EQ(PlanModify(SceneImage(scene), renamed).error().kind, ErrorKind::ChangedOnDisk);

  auto stale = request;
  stale.sceneLength -= 1;
  EXPECT_EQ(PlanModify(SceneImage(scene), stale).error().kind, ErrorKind::ChangedOnDisk);

  Bytes otherB = scene;
  otherB[static_cast<std::size_t>(cop.translationPos + 22 - 1)] ^= 0x40;
  EXPECT_EQ(PlanModify(SceneImage(otherB), request).error().kind, ErrorKind::ChangedOnDisk);

  auto pastEnd = request;
  pastEnd.translationPos = static_cast<Pos>(scene.size()) + 100;
  EXPECT_FALSE(PlanModify(SceneImage(scene), pastEnd).ok());
}

// The values as loaded are compared with the file: another program's change is never overwritten.
// A caller that does not give them is checked on B and D only.
TEST_F(ModifyFixture, AnotherProgramsChangeOfTheValuesIsNotOverwritten) {
  auto request = ModifyRequestFrom(cop, static_cast<Pos>(scene.size()));
  request.translation[0] = 5.0f;
  for (const Pos offset : {0, 18, 44}) {  // translation X, rotation A, size Y
    Bytes theirs = scene;
    theirs[static_cast<std::size_t>(cop.translationPos + offset - 1)] ^= 0x01;
    const auto refused = PlanModify(SceneImage(theirs), request);
    ASSERT_FALSE(refused.ok()) << offset;
    EXPECT_EQ(refused.error().kind, ErrorKind::ChangedOnDisk) << offset;
    auto unchecked = request;
    unchecked.loaded.reset();
    EXPECT_TRUE(PlanModify(SceneImage(theirs), unchecked).ok()) << offset;
  }
}

TEST_F(ModifyFixture, FailingPatchOnDiskIsRolledBack) {
  ScratchFolder folder;
  const auto path = folder / "scene2.bin";
  testing::WriteFile(path.string(), scene);
  auto request = ModifyRequestFrom(cop, static_cast<Pos>(scene.size()));
  request.translation[0] = 99.0f;
  request.size[2] = 42.0f;
  testing::FailingFileSystem fillsUp;
  fillsUp.failWritesAfter(20);  // five of the ten values reach the file, then the disk fails
  const auto failed = ModifyObject(path, request, fillsUp);
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().kind, ErrorKind::WriteFailed);
  EXPECT_EQ(testing::ReadWhole(path), scene);

  const auto done = ModifyObject(path, request);
  ASSERT_TRUE(done.ok()) << done.error().message;
  EXPECT_EQ(*done, WriteMode::PatchedInPlace);
  EXPECT_EQ(SceneImage(testing::ReadWhole(path)).floatAt(cop.translationPos + 48), 42.0f);
}

}  // namespace
}  // namespace quorvex
