#include "ui/scene_text.h"

#include <QList>
#include <cmath>

#include "scene/text_codec.h"

namespace quorvex::ui {

QString FromSceneBytes(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (const char b : bytes) {
    text.append(QChar(static_cast<char16_t>(Cp1252ToUnicode(static_cast<std::uint8_t>(b)))));
  }
  return text;
}

SceneText ToSceneText(const QString& text) {
  SceneText result;
  for (const char32_t ch : text.toUcs4()) {
    if (const auto byte = UnicodeToCp1252(ch)) {
      result.bytes.push_back(static_cast<char>(*byte));
    } else {
      result.bytes.push_back('?');
      if (!result.unencodable) result.unencodable = QString::fromUcs4(&ch, 1);
    }
  }
  return result;
}

QString FormatSingle(float value) {
  if (value == 0.0f) return QStringLiteral("0");  // also for -0
  if (std::isnan(value)) return QStringLiteral("NaN");
  if (std::isinf(value))
    return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
  QString text = QString::number(static_cast<double>(value), 'g', 7);
  const qsizetype e = text.indexOf(QLatin1Char('e'));
  if (e >= 0) {
    // Exponent with its sign and at least two digits: 1E+07, 1.5E-12.
    QString mantissa = text.left(e);
    QString exponent = text.mid(e + 1);
    const QChar sign = exponent.startsWith(QLatin1Char('-')) ? QLatin1Char('-') : QLatin1Char('+');
    if (exponent.startsWith(QLatin1Char('-')) || exponent.startsWith(QLatin1Char('+'))) {
      exponent.remove(0, 1);
    }
    while (exponent.size() < 2) exponent.prepend(QLatin1Char('0'));
    text = mantissa + QLatin1Char('E') + sign + exponent;
  }
  return text;
}

}  // namespace quorvex::ui
