#pragma once
// Numbers typed into the insert panel's boxes. A modder types them in the notation of the
// system's locale ("12,5" on a German Windows) or in C notation ("12.5"), which every scene
// editing guide uses; both are accepted. Blanks around the number are allowed, as they are in
// the number boxes of the game's own tools; thousands separators are not, because "1,250" would
// mean 1.25 to one modder and 1250 to another.

#include <QLocale>
#include <QString>
#include <optional>

#include "objects/insert_validation.h"

namespace quorvex::ui {

// The number in `text`, or nothing when it is not numeric (or not finite).
std::optional<double> ParseUserNumber(const QString& text, const QLocale& locale);

// The same conversion for the core's validation, which hands over the box texts as UTF-8.
NumberParser UserNumberParser(const QLocale& locale);

}  // namespace quorvex::ui
