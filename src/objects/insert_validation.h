#pragma once
// The checks a new object's form passes before anything is written, in their fixed order. The
// first failing check decides the message; numbers are converted to singles as they pass.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scene/scene_image.h"

namespace quorvex {

// Turns a number box's text into a number; absent when the text is not numeric. The window passes
// a locale-aware conversion, the command line ParseCNumber.
using NumberParser = std::function<std::optional<double>(const std::string& text)>;

// A number in C notation (an optional sign, digits, a '.' decimal point, an optional exponent),
// the whole text and nothing else; absent otherwise, and for infinities and not-a-number.
std::optional<double> ParseCNumber(std::string_view text);

struct InsertForm {
  ByteString name;                     // name box, Windows-1252 bytes
  std::array<std::string, 6> numbers;  // translation X, Y, Z, then size X, Y, Z
  bool fileSelected = true;
};

enum class InsertCheck {
  NameEmpty = 1,
  FieldEmpty,
  TranslationX,
  TranslationY,
  TranslationZ,
  SizeX,
  SizeY,
  SizeZ,
  NoFileSelected,
  NameKnown,
};

struct InsertCheckFailure {
  InsertCheck check;
  std::string prompt;  // "Put Name", "Fill all fields", "Put numeric", ...
  // The message box title; absent for "****** Select File ******", whose title is the text of the
  // most recent failure, which only the caller knows.
  std::optional<std::string> title;
};

struct ValidatedInsert {
  float translation[3] = {0, 0, 0};
  float size[3] = {0, 0, 0};
};

struct InsertValidation {
  std::optional<InsertCheckFailure> failure;  // the first check that failed
  ValidatedInsert values;                     // meaningful when there is no failure
};

// `rowNames` are the texts of the catalogue rows; the name must differ from each of them
// regardless of letter case. A number outside the range of a single is not numeric.
InsertValidation ValidateInsert(const InsertForm& form, const std::vector<ByteString>& rowNames,
                                const NumberParser& parse);

}  // namespace quorvex
