// Object templates, the category table and the two records of a new object, byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "objects/categories.h"
#include "objects/insert_validation.h"
#include "objects/records.h"
#include "objects/templates.h"
#include "scene/scene_image.h"

namespace quorvex {
namespace {

Bytes Hex(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

Bytes TemplateBytes(std::string_view name) {
  const auto found = FindTemplate(name);
  EXPECT_TRUE(found.has_value()) << name;
  if (!found) return {};
  const auto bytes = found->bytes();
  return Bytes(bytes.begin(), bytes.end());
}

const Bytes kHuman1 =
    Hex({0x22, 0xAE, 0x0A, 0x00, 0x00, 0x00, 0x1B, 0x00, 0x00, 0x00, 0x24, 0xAE, 0x69, 0x00, 0x00,
         0x00, 0x06, 0x80, 0x00, 0x00, 0x00, 0x1D, 0x00, 0x00, 0x00, 0x33, 0x33, 0x33, 0x3F, 0x00,
         0x00, 0xC8, 0x42, 0x05, 0x00, 0x01, 0x00, 0x00, 0x00, 0xA0, 0x41, 0x00, 0x00, 0xA0, 0x41,
         0x00, 0x00, 0xA0, 0x41, 0x33, 0x33, 0x33, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x9A, 0x99, 0x19,
         0x3F, 0xCB, 0xCC, 0x4C, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00,
         0x80, 0x3F, 0xCB, 0xCC, 0x4C, 0x3F, 0x00, 0x00, 0xA0, 0x42, 0x00, 0x00, 0x00, 0x3F, 0x01,
         0x01, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x2F, 0x2F, 0x2F, 0x2F, 0x2F, 0x2F,
         0x2F, 0x2F, 0x2F, 0x2F, 0x2F, 0x2F, 0x2F, 0x2F, 0x2F, 0x2F});

TEST(ObjectTemplates, HumansAndThingAreTheListedBytes) {
  EXPECT_EQ(TemplateBytes("Human1"), kHuman1);
  Bytes human2 = kHuman1;
  for (auto [at, v] :
       {std::pair{17, 0x02}, {21, 0x02}, {33, 0x00}, {35, 0xA0}, {36, 0x41}, {61, 0xCC}}) {
    human2[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(v);
  }
  EXPECT_EQ(TemplateBytes("Human2"), human2);
  Bytes human3 = kHuman1;
  for (auto [at, v] : {std::pair{17, 0x08},
                       {21, 0x0A},
                       {33, 0x00},
                       {35, 0xA0},
                       {36, 0x41},
                       {57, 0x99},
                       {59, 0x59},
                       {61, 0xCC}}) {
    human3[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(v);
  }
  EXPECT_EQ(TemplateBytes("Human3"), human3);
  EXPECT_EQ(TemplateBytes("Thing1"),
            Hex({0x22, 0xAE, 0x0A, 0x00, 0x00, 0x00, 0x23, 0x00, 0x00, 0x00, 0x24, 0xAE,
                 0x25, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00,
                 0x80, 0x3F, 0xBD, 0x41, 0xD3, 0x41, 0x00, 0x00, 0x00, 0x3F, 0x0A, 0xD7,
                 0x23, 0x3C, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(ObjectTemplates, EveryCategoryTemplateHasItsLengthAndStoredTrailingBytes) {
  const std::pair<const char*, std::size_t> trailing[] = {
      {"Human1", 1}, {"Human2", 1}, {"Human3", 1}, {"Thing1", 1},
      {"Car1", 2},   {"Car2", 3},   {"Car3", 1000}};
  for (const auto& info : Categories()) {
    if (!info.templateName) continue;
    const auto found = FindTemplate(*info.templateName);
    ASSERT_TRUE(found) << *info.templateName;
    EXPECT_EQ(found->length, static_cast<std::size_t>(info.templateLength)) << *info.templateName;
    for (const auto& [name, extra] : trailing) {
      if (*info.templateName == name) {
        EXPECT_EQ(found->block.size(), found->length + extra) << name;
      }
    }
  }
  EXPECT_FALSE(FindTemplate("Human4"));
  EXPECT_FALSE(FindTemplate(""));
}

TEST(ObjectTemplates, CarsCarryTheirHeadThenZeros) {
  for (const auto& [name, length] : {std::pair{"Car1", 2662}, {"Car2", 2377}, {"Car3", 1644}}) {
    const Bytes bytes = TemplateBytes(name);
    ASSERT_EQ(bytes.size(), static_cast<std::size_t>(length));
    const SceneImage image(bytes);
    const std::int32_t params = length - 10, k = params - 14;
    EXPECT_TRUE(image.matchAt(1, Hex({0x22, 0xAE, 0x0A, 0, 0, 0, 4, 0, 0, 0, 0x24, 0xAE})));
    EXPECT_EQ(image.int32At(13), params);
    EXPECT_EQ(image.int32At(17), 1);
    EXPECT_EQ(image.int32At(21), k);
    EXPECT_EQ(image.bytesAt(25, 4), "COMP");
    EXPECT_TRUE(image.matchAt(29, Hex({0x21, 0x11, 0x00, 0x00})));
    EXPECT_EQ(image.int32At(33), k);
    EXPECT_TRUE(
        std::all_of(bytes.begin() + 36, bytes.end(), [](std::uint8_t b) { return b == 0; }));
  }
}

TEST(ObjectTemplates, OthersIsBuiltIn) {
  Bytes expected = Hex({0x22, 0xAE, 0x0A, 0, 0, 0, 5,    0, 0, 0, 0x24, 0xAE, 0x1E, 0, 0,
                        0,    0x01, 0,    0, 0, 0, 0x01, 0, 0, 0, 0,    0x0A, 0,    0, 0});
  expected.insert(expected.end(), 10, 0x2F);
  EXPECT_EQ(OthersTemplate(), expected);
}

TEST(Categories, TableInTestingOrder) {
  const char* buttons[] = {"Option3", "Option5", "Option6", "Option7",
                           "Option8", "Option9", "Option4", "Option10"};
  const char* names[] = {"female", "male",      "policeman", "car",
                         "truck",  "policecar", "things",    "others"};
  const auto table = Categories();
  ASSERT_EQ(table.size(), 8u);
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].optionButton, buttons[i]);
    EXPECT_EQ(table[i].caption, names[i]);
    EXPECT_EQ(CategoryNamed(names[i]), table[i].category);
    EXPECT_EQ(&InfoOf(table[i].category), &table[i]);
  }
  EXPECT_EQ(InfoOf(Category::Things).defaultModel, "xbarel 2.i3d");
  EXPECT_EQ(InfoOf(Category::Female).defaultModel, "Sarah2LOW.i3d");
  EXPECT_EQ(InfoOf(Category::PoliceCar).templateName, "Car3");
  EXPECT_FALSE(InfoOf(Category::Others).defaultModel);
  EXPECT_FALSE(CategoryNamed("Female"));
}

ObjectRecordInput OneLetterFemale() {
  ObjectRecordInput in;
  in.name = "S";
  in.model = "Sarah2LOW.i3d";
  in.translation[0] = 1.5f;
  in.translation[1] = 0.0f;
  in.translation[2] = -2.0f;
  in.size[0] = in.size[1] = in.size[2] = 1.0f;
  in.rotation[0] = FloatBits(0.5f);
  in.rotation[2] = FloatBits(0.8660254f);
  return in;
}

TEST(ObjectRecord, OneLetterFemaleIs147BytesEndingInTheModel) {
  const Bytes record = BuildObjectRecord(OneLetterFemale());
  ASSERT_EQ(record.size(), 147u);
  EXPECT_EQ(ObjectRecordLength(1, 13, false), 147);
  const SceneImage image(record);
  // Offsets of the layout, 1-based here.
  EXPECT_TRUE(image.markerAt(1, 0x4010));
  EXPECT_EQ(image.int32At(3), 147);
  EXPECT_TRUE(image.markerAt(7, 0x4011));
  EXPECT_EQ(image.int32At(9), 10);
  EXPECT_EQ(image.int32At(13), 9);
  EXPECT_TRUE(image.markerAt(17, 0x0010));
  EXPECT_EQ(image.int32At(19), 8);
  EXPECT_EQ(image.bytesAt(23, 2), ByteString("S\0", 2));
  EXPECT_TRUE(image.markerAt(25, 0x0020));
  EXPECT_EQ(image.int32At(27), 18);
  EXPECT_EQ(image.floatAt(31), 1.5f);
  EXPECT_EQ(image.floatAt(39), -2.0f);
  EXPECT_TRUE(image.markerAt(43, 0x0022));
  EXPECT_EQ(image.int32At(45), 22);
  EXPECT_EQ(image.floatAt(49), 0.5f);
  EXPECT_EQ(image.uint32At(53), 0u);
  EXPECT_EQ(image.floatAt(57), 0.8660254f);
  EXPECT_EQ(image.uint32At(61), 0u);
  EXPECT_TRUE(image.markerAt(65, 0x002D));
  EXPECT_EQ(image.int32At(67), 18);
  EXPECT_TRUE(image.markerAt(83, 0x002C));
  EXPECT_TRUE(image.matchAt(
      89, Hex({0x82, 0xCA, 0xDD, 0xC4, 0x5B, 0x3F, 0xB3, 0xC0, 0xBD, 0x59, 0x8A, 0x40})));
  EXPECT_TRUE(image.markerAt(101, 0x4020));
  EXPECT_EQ(image.int32At(103), 27);
  EXPECT_TRUE(image.markerAt(107, 0x0010));
  EXPECT_EQ(image.int32At(109), 21);
  EXPECT_EQ(image.bytesAt(113, 15), ByteString("Primary sector\0", 15));
  EXPECT_TRUE(image.markerAt(128, 0x2012));
  EXPECT_EQ(image.int32At(130), 20);
  EXPECT_EQ(image.bytesAt(134, 14), ByteString("Sarah2LOW.i3d\0", 14));
}

TEST(DefinitionRecord, OneLetterFemaleIs129BytesEndingInHuman1) {
  const Bytes record = BuildDefinitionRecord("S", TemplateBytes("Human1"));
  ASSERT_EQ(record.size(), 129u);
  EXPECT_EQ(DefinitionRecordLength(1, 115), 129);
  EXPECT_EQ(Bytes(record.begin(), record.begin() + 14),
            Hex({0x21, 0xAE, 129, 0, 0, 0, 0x23, 0xAE, 8, 0, 0, 0, 'S', 0}));
  EXPECT_EQ(Bytes(record.end() - 115, record.end()), kHuman1);
}

TEST(ObjectRecord, OthersHasTheBoxAndNoModel) {
  auto in = OneLetterFemale();
  in.name = "Box7";
  in.others = true;
  const Bytes record = BuildObjectRecord(in);
  ASSERT_EQ(record.size(), 160u);
  const SceneImage image(record);
  EXPECT_EQ(image.int32At(3), 160);
  EXPECT_EQ(image.int32At(13), 6);
  Bytes box = Hex({0x50, 0x40, 0x1E, 0, 0, 0});
  for (int i = 0; i < 3; ++i) box.insert(box.end(), {0, 0, 0, 0xBF});
  for (int i = 0; i < 3; ++i) box.insert(box.end(), {0, 0, 0, 0x3F});
  EXPECT_EQ(Bytes(record.end() - 30, record.end()), box);
  EXPECT_EQ(std::search(record.begin(), record.end(), in.model.begin(), in.model.end()),
            record.end());
  EXPECT_EQ(BuildDefinitionRecord("Box7", OthersTemplate()).size(), 57u);
}

TEST(ObjectRecord, EmptyModelStillWritesTheModelChunk) {
  auto in = OneLetterFemale();
  in.model.clear();
  const Bytes record = BuildObjectRecord(in);
  ASSERT_EQ(record.size(), 134u);
  EXPECT_EQ(Bytes(record.end() - 7, record.end()), Hex({0x12, 0x20, 7, 0, 0, 0, 0}));
}

TEST(ObjectRecord, NumbersAreStoredAsTheNearestSingle) {
  auto in = OneLetterFemale();
  in.translation[0] = static_cast<float>(*ParseCNumber("0.1"));
  in.size[2] = 0.0f;
  const Bytes record = BuildObjectRecord(in);
  EXPECT_EQ(Bytes(record.begin() + 30, record.begin() + 34), Hex({0xCD, 0xCC, 0xCC, 0x3D}));
  EXPECT_EQ(Bytes(record.begin() + 78, record.begin() + 82), Hex({0, 0, 0, 0}));
}

}  // namespace
}  // namespace quorvex
