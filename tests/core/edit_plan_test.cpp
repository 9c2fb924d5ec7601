// Edit plans: the new content as edits of the current content.

#include <gtest/gtest.h>

#include "scene/edit_plan.h"
#include "support/scene_builder.h"

namespace quorvex {
namespace {

Bytes B(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

TEST(EditPlan, AppliesEditsInFileOrderWhateverTheOrderAdded) {
  const Bytes original = B({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  EditPlan plan(original.size());
  ASSERT_TRUE(plan.insertAt(11, B({99})).ok());     // append
  ASSERT_TRUE(plan.add(Edit{4, 2, B({50})}).ok());  // 5 6 -> 50
  ASSERT_TRUE(plan.patchInt32(1, 0x04030201 + 0x10101010).ok());
  ASSERT_TRUE(plan.insertAt(5, B({70, 71})).ok());  // before byte 5
  EXPECT_FALSE(plan.keepsLength());
  EXPECT_EQ(plan.newLength(), 12u);
  EXPECT_EQ(testing::Applied(plan, original), B({17, 18, 19, 20, 70, 71, 50, 7, 8, 9, 10, 99}));
}

TEST(EditPlan, InsertionsAtOneOffsetKeepTheirOrderBeforeAReplacement) {
  const Bytes original = B({1, 2, 3});
  EditPlan plan(original.size());
  ASSERT_TRUE(plan.add(Edit{1, 1, B({20})}).ok());
  ASSERT_TRUE(plan.insertAt(2, B({7})).ok());
  ASSERT_TRUE(plan.insertAt(2, B({8})).ok());
  EXPECT_EQ(testing::Applied(plan, original), B({1, 7, 8, 20, 3}));
}

TEST(EditPlan, RefusesOverlapsAndPositionsOutsideTheFile) {
  EditPlan plan(10);
  ASSERT_TRUE(plan.patchInt32(3, 1).ok());  // bytes 3..6
  EXPECT_EQ(plan.patchInt32(6, 1).error().kind, ErrorKind::Damaged);
  EXPECT_EQ(plan.insertAt(5, B({1})).error().kind, ErrorKind::Damaged);  // inside a patch
  EXPECT_TRUE(plan.insertAt(7, B({1})).ok());                            // right after it
  EXPECT_TRUE(plan.insertAt(3, B({1})).ok());                            // right before it
  EXPECT_EQ(plan.patchInt32(8, 1).error().kind, ErrorKind::Damaged);     // 8..11 past the end
  EXPECT_EQ(plan.patchInt32(0, 1).error().kind, ErrorKind::Damaged);
  EXPECT_EQ(plan.insertAt(12, B({1})).error().kind, ErrorKind::Damaged);
  EXPECT_EQ(plan.insertAt(0, B({1})).error().kind, ErrorKind::Damaged);
}

TEST(EditPlan, SameSizeReplacementsKeepTheLength) {
  EditPlan plan(8);
  ASSERT_TRUE(plan.patchUint32(1, 5).ok());
  ASSERT_TRUE(plan.add(Edit{5, 3, B({1, 2, 3})}).ok());
  EXPECT_TRUE(plan.keepsLength());
  EXPECT_EQ(plan.newLength(), 8u);
  EXPECT_TRUE(EditPlan(0).keepsLength());
}

}  // namespace
}  // namespace quorvex
