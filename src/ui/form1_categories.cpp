// The model categories: the eight option buttons of the insert panel, what choosing one does to
// the panel's boxes, and which category an insertion takes.
#include <QButtonGroup>
#include <QLineEdit>
#include <QRadioButton>
#include <array>

#include "objects/categories.h"
#include "ui/form1.h"

namespace quorvex::ui {
namespace {

// The option button of each category: its number, which is its index in Option_.
struct CategoryButton {
  Category category;
  int option;
};
constexpr std::array<CategoryButton, 8> kCategoryButtons{{{Category::Female, 3},
                                                          {Category::Things, 4},
                                                          {Category::Male, 5},
                                                          {Category::Policeman, 6},
                                                          {Category::Car, 7},
                                                          {Category::Truck, 8},
                                                          {Category::PoliceCar, 9},
                                                          {Category::Others, 10}}};

constexpr bool EveryCategoryHasOneButton() {
  for (const Category category :
       {Category::Female, Category::Male, Category::Policeman, Category::Car, Category::Truck,
        Category::PoliceCar, Category::Things, Category::Others}) {
    int buttons = 0;
    for (const CategoryButton& button : kCategoryButtons) buttons += button.category == category;
    if (buttons != 1) return false;
  }
  return true;
}
static_assert(EveryCategoryHasOneButton());

int OptionNumberOf(const CategoryInfo& info) {
  for (const CategoryButton& button : kCategoryButtons) {
    if (button.category == info.category) return button.option;
  }
  return 0;  // not reached: every category has a button
}

const CategoryInfo* CategoryOfOption(int option) {
  for (const CategoryButton& button : kCategoryButtons) {
    if (button.option == option) return &InfoOf(button.category);
  }
  return nullptr;
}

}  // namespace

void Form1::Option3_Click() {
  chooseCategory(3);
}
void Form1::Option4_Click() {
  chooseCategory(4);
}
void Form1::Option5_Click() {
  chooseCategory(5);
}
void Form1::Option6_Click() {
  chooseCategory(6);
}
void Form1::Option7_Click() {
  chooseCategory(7);
}
void Form1::Option8_Click() {
  chooseCategory(8);
}
void Form1::Option9_Click() {
  chooseCategory(9);
}
void Form1::Option10_Click() {
  chooseCategory(10);
}

void Form1::chooseCategory(int option) {
  const CategoryInfo* info = CategoryOfOption(option);
  if (info == nullptr) return;
  // "others" has no model of its own: the model box keeps its text and its lock.
  if (info->defaultModel) {
    Text_[11]->setText(QString::fromLatin1(info->defaultModel->data(),
                                           static_cast<qsizetype>(info->defaultModel->size())));
  }
  Text_[4]->clear();
  setBoxLocked(Text_[4], false);
  if (info->defaultModel) setBoxLocked(Text_[11], false);
  setParameterFieldsLocked(false);  // translation, size and the slider
}

std::optional<Category> Form1::chosenCategory() const {
  for (const CategoryInfo& info : Categories()) {  // in the order insertion tests the buttons
    if (Option_[static_cast<std::size_t>(OptionNumberOf(info))]->isChecked()) {
      return info.category;
    }
  }
  return std::nullopt;
}

void Form1::clearCategoryOptions() {
  categoryGroup_->setExclusive(false);
  for (int number = 3; number <= 10; ++number) {
    Option_[static_cast<std::size_t>(number)]->setChecked(false);
  }
  categoryGroup_->setExclusive(true);
}

}  // namespace quorvex::ui
