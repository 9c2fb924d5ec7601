#include "scene/text_codec.h"

#include <array>

namespace quorvex {
namespace {

// 0x80 .. 0x9F of Windows-1252; the undefined slots keep their own value.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

char32_t Cp1252ToUnicode(std::uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHigh[byte - 0x80];
  return byte;
}

std::optional<std::uint8_t> UnicodeToCp1252(char32_t ch) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return static_cast<std::uint8_t>(ch);
  for (std::size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == ch) return static_cast<std::uint8_t>(0x80 + i);
  }
  return std::nullopt;
}

std::string BytesToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char b : bytes) AppendUtf8(out, Cp1252ToUnicode(static_cast<std::uint8_t>(b)));
  return out;
}

namespace {

// The characters of a UTF-8 text; absent when it is not valid UTF-8.
std::optional<std::u32string> DecodeUtf8(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<std::uint8_t>(utf8[i]);
    char32_t c = 0;
    int extra = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      c = lead & 0x1F;
      extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      c = lead & 0x0F;
      extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      c = lead & 0x07;
      extra = 3;
    } else {
      return std::nullopt;
    }
    if (i + static_cast<std::size_t>(extra) >= utf8.size() && extra > 0) return std::nullopt;
    for (int k = 1; k <= extra; ++k) {
      const auto cont = static_cast<std::uint8_t>(utf8[i + static_cast<std::size_t>(k)]);
      if ((cont & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (cont & 0x3F);
    }
    // Only the shortest form of a character is UTF-8: an overlong form ("C1 81" for "A", "C0 80"
    // for a zero byte) would slip characters past any check made on the text. Surrogates and
    // values beyond U+10FFFF are not characters either.
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    out.push_back(c);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

}  // namespace

bool IsUtf8(std::string_view text) {
  return DecodeUtf8(text).has_value();
}

std::optional<ByteString> Utf8ToBytes(std::string_view utf8) {
  const auto characters = DecodeUtf8(utf8);
  if (!characters) return std::nullopt;
  ByteString out;
  out.reserve(characters->size());
  for (const char32_t c : *characters) {
    const auto byte = UnicodeToCp1252(c);
    if (!byte) return std::nullopt;
    out.push_back(static_cast<char>(*byte));
  }
  return out;
}

std::uint8_t FoldCase(std::uint8_t b) {
  if (b >= 'A' && b <= 'Z') return static_cast<std::uint8_t>(b + 32);
  // Accented capitals À..Þ except × (0xD7); Š Œ Ž and Ÿ.
  if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return static_cast<std::uint8_t>(b + 32);
  if (b == 0x8A || b == 0x8C || b == 0x8E) return static_cast<std::uint8_t>(b + 16);
  if (b == 0x9F) return 0xFF;
  return b;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(static_cast<std::uint8_t>(a[i])) != FoldCase(static_cast<std::uint8_t>(b[i])))
      return false;
  }
  return true;
}

}  // namespace quorvex
