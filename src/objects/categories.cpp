#include "objects/categories.h"

#include <array>

namespace quorvex {
namespace {

constexpr std::array<CategoryInfo, 8> kCategories{{
    {Category::Female, "Option3", "female", "Sarah2LOW.i3d", "Human1", 115},
    {Category::Male, "Option5", "male", "Enemy12K.i3d", "Human2", 115},
    {Category::Policeman, "Option6", "policeman", "PoliceMan01.i3d", "Human3", 115},
    {Category::Car, "Option7", "car", "blackha00.i3d", "Car1", 2662},
    {Category::Truck, "Option8", "truck", "Truck02.i3d", "Car2", 2377},
    {Category::PoliceCar, "Option9", "policecar", "polimTud00.i3d", "Car3", 1644},
    // The game's barrel model has a blank in its file name.
    {Category::Things, "Option4", "things", "xbarel 2.i3d", "Thing1", 47},
    {Category::Others, "Option10", "others", std::nullopt, std::nullopt, 40},
}};

}  // namespace

std::span<const CategoryInfo> Categories() {
  return kCategories;
}

const CategoryInfo& InfoOf(Category category) {
  for (const auto& info : kCategories) {
    if (info.category == category) return info;
  }
  return kCategories.back();  // unreachable: every enumerator has a row
}

std::optional<Category> CategoryNamed(std::string_view name) {
  for (const auto& info : kCategories) {
    if (info.caption == name) return info.category;
  }
  return std::nullopt;
}

}  // namespace quorvex
