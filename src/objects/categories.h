#pragma once
// The model categories of the insert panel: which option button stands for which kind of object,
// the model file a category suggests, and the template its definition record carries.

#include <optional>
#include <span>
#include <string_view>

namespace quorvex {

enum class Category { Female, Male, Policeman, Car, Truck, PoliceCar, Things, Others };

struct CategoryInfo {
  Category category;
  std::string_view optionButton;  // "Option3" .. "Option10"
  std::string_view caption;       // the option button's caption, also the CLI's name
  // The model placed in the model field; absent for "others", which leaves the field as it is.
  std::optional<std::string_view> defaultModel;
  // The embedded template; absent for "others", whose template is built in.
  std::optional<std::string_view> templateName;
  int templateLength;  // T
};

// Every category, in the order insertion tests the option buttons (Option3, Option5, Option6,
// Option7, Option8, Option9, Option4, Option10), which is also their order on the panel.
std::span<const CategoryInfo> Categories();

const CategoryInfo& InfoOf(Category category);

// The category whose caption is `name` ("female", "male", "policeman", "car", "truck",
// "policecar", "things", "others").
std::optional<Category> CategoryNamed(std::string_view name);

}  // namespace quorvex
