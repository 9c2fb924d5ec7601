#include "ui/insert_numbers.h"

#include <cmath>

namespace quorvex::ui {

std::optional<double> ParseUserNumber(const QString& text, const QLocale& locale) {
  const QString number = text.trimmed();
  if (number.isEmpty()) return std::nullopt;

  QLocale strict = locale;
  strict.setNumberOptions(strict.numberOptions() | QLocale::RejectGroupSeparator);
  bool ok = false;
  const double value = strict.toDouble(number, &ok);
  if (ok && std::isfinite(value)) return value;

  // C notation is plain ASCII; anything else cannot be a number in it.
  for (const QChar ch : number) {
    if (ch.unicode() > 0x7F) return std::nullopt;
  }
  return ParseCNumber(number.toLatin1().toStdString());
}

NumberParser UserNumberParser(const QLocale& locale) {
  return [locale](const std::string& text) {
    return ParseUserNumber(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                           locale);
  };
}

}  // namespace quorvex::ui
