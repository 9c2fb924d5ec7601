#include "objects/insert_validation.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "scene/text_codec.h"

namespace quorvex {
namespace {

InsertValidation Fail(InsertCheck check, std::string prompt, std::optional<std::string> title) {
  InsertValidation result;
  result.failure = InsertCheckFailure{check, std::move(prompt), std::move(title)};
  return result;
}

// The single a number is stored as; absent when it lies beyond the range of a single (it would
// become an infinity in the file).
std::optional<float> ToSingle(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const auto single = static_cast<float>(value);
  if (!std::isfinite(single)) return std::nullopt;
  return single;
}

}  // namespace

std::optional<double> ParseCNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::string_view digits = text;
  if (digits.front() == '+') {  // from_chars takes '-' but not '+'
    digits.remove_prefix(1);
    if (digits.empty() || digits.front() == '-' || digits.front() == '+') return std::nullopt;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                            std::chars_format::general);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

InsertValidation ValidateInsert(const InsertForm& form, const std::vector<ByteString>& rowNames,
                                const NumberParser& parse) {
  if (form.name.empty()) return Fail(InsertCheck::NameEmpty, "Put Name", "Name");
  for (const auto& text : form.numbers) {
    if (text.empty()) return Fail(InsertCheck::FieldEmpty, "Fill all fields", "");
  }

  InsertValidation result;
  float* targets[6] = {&result.values.translation[0], &result.values.translation[1],
                       &result.values.translation[2], &result.values.size[0],
                       &result.values.size[1],        &result.values.size[2]};
  for (int i = 0; i < 6; ++i) {
    const auto number = parse(form.numbers[static_cast<std::size_t>(i)]);
    const auto single = number ? ToSingle(*number) : std::nullopt;
    if (!single) {
      return Fail(static_cast<InsertCheck>(static_cast<int>(InsertCheck::TranslationX) + i),
                  "Put numeric", i < 3 ? "Translation" : "Size");
    }
    *targets[i] = *single;
  }

  if (!form.fileSelected) {
    return Fail(InsertCheck::NoFileSelected, "****** Select File ******", std::nullopt);
  }
  for (const auto& row : rowNames) {
    if (EqualsIgnoringCase(row, form.name)) {
      return Fail(InsertCheck::NameKnown, "Put another!", "Name already known");
    }
  }
  return result;
}

}  // namespace quorvex
