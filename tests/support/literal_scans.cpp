#include "support/literal_scans.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "scene/markers.h"

namespace quorvex::testing {
namespace {

// Windows at 1-based positions, each read from the source on its own.
class Windows {
 public:
  explicit Windows(const ByteSource& source)
      : source_(source), length_(static_cast<Pos>(source.size())) {}

  Pos length() const { return length_; }

  bool inside(Pos pos, Pos count) const {
    return count >= 0 && pos >= 1 && pos - 1 <= length_ && count <= length_ - (pos - 1);
  }

  // The count bytes at pos into out; false when the window is not wholly inside the source or
  // cannot be read.
  bool read(Pos pos, std::size_t count, std::uint8_t* out) const {
    if (!inside(pos, static_cast<Pos>(count))) return false;
    return source_.readAt(static_cast<std::uint64_t>(pos - 1), {out, count}).ok();
  }

  template <std::size_t N>
  std::optional<std::array<std::uint8_t, N>> window(Pos pos) const {
    std::array<std::uint8_t, N> out{};
    if (!read(pos, N, out.data())) return std::nullopt;
    return out;
  }
  std::optional<std::uint32_t> uint32(Pos pos) const {
    const auto b = window<4>(pos);
    if (!b) return std::nullopt;
    return static_cast<std::uint32_t>((*b)[0]) | (static_cast<std::uint32_t>((*b)[1]) << 8) |
           (static_cast<std::uint32_t>((*b)[2]) << 16) |
           (static_cast<std::uint32_t>((*b)[3]) << 24);
  }
  std::optional<std::int32_t> int32(Pos pos) const {
    const auto v = uint32(pos);
    if (!v) return std::nullopt;
    return static_cast<std::int32_t>(*v);
  }
  std::optional<std::uint8_t> byte(Pos pos) const {
    const auto b = window<1>(pos);
    if (!b) return std::nullopt;
    return (*b)[0];
  }
  // A counted string; absent when any of its bytes lies outside the source.
  std::optional<ByteString> text(Pos pos, Pos count) const {
    if (!inside(pos, count)) return std::nullopt;  // before allocating: counts may be huge
    ByteString out(static_cast<std::size_t>(count), '\0');
    if (!read(pos, out.size(), reinterpret_cast<std::uint8_t*>(out.data()))) return std::nullopt;
    return out;
  }
  // Up to count bytes at pos, cut at the end of the source.
  ByteString textUpToEnd(Pos pos, Pos count) const {
    if (count <= 0 || pos < 1 || pos > length_) return {};
    const Pos available = length_ - (pos - 1);
    return text(pos, count < available ? count : available).value_or(ByteString());
  }

 private:
  const ByteSource& source_;
  Pos length_;
};

bool Is(const std::optional<std::array<std::uint8_t, 2>>& m, std::uint16_t marker) {
  return m && (*m)[0] == marker::Low(marker) && (*m)[1] == marker::High(marker);
}

template <std::size_t N>
bool HasMarker(const std::optional<std::array<std::uint8_t, N>>& w, std::uint16_t marker) {
  if (!w) return false;
  for (std::size_t i = 0; i + 1 < N; ++i) {
    if ((*w)[i] == marker::Low(marker) && (*w)[i + 1] == marker::High(marker)) return true;
  }
  return false;
}

Error Damaged(const char* what) {
  return MakeError(ErrorKind::Damaged, what);
}

// The first 00 40 pair from position 5 on, one 2-byte read per position.
std::optional<Pos> FindObjectsSection(const Windows& in) {
  for (Pos pos = 5; pos <= in.length(); ++pos) {
    if (Is(in.window<2>(pos), marker::kObjectsSection)) return pos;
  }
  return std::nullopt;
}

void NoScript(CatalogueRow& row) {
  row.scriptLengthPos.reset();
  row.scriptLength.reset();
  row.checked = false;
}

}  // namespace

Result<Catalogue> LiteralScanCatalogue(const ByteSource& source, SectionFlags initialFlags,
                                       const CatalogueHooks& hooks) {
  const Windows in(source);
  Catalogue cat;
  // The section flags start as the caller gives them; an empty file has no rows.
  cat.flags = initialFlags;
  const Pos sceneLength = in.length();
  cat.sceneLength = sceneLength;
  if (sceneLength == 0) return cat;

  // The 80 % mark: 0.8 as a single times the length, rounded half to even. The scan starts there
  // when the file has no objects section, and the progress counts from it: one call per
  // limit80 / 150 positions past it.
  const Pos limit80 = static_cast<Pos>(
      std::nearbyint(static_cast<double>(0.8f) * static_cast<double>(sceneLength)));
  const double progressStep = static_cast<double>(limit80) / 30.0;
  int progressCount = hooks.initialProgressCount;
  bool firstStandalone = true;

  // Skip the objects section: the first 00 40 pair from position 5 on, jumped over by its length.
  Pos scanPos = 0;
  if (const auto h = FindObjectsSection(in)) {
    const auto length = in.int32(*h + 2);
    if (!length) return Damaged("objects section length outside");
    if (*length <= 0) return Damaged("objects section length not positive");
    scanPos = *h + *length;
  } else {
    scanPos = limit80;
  }

  // The main loop: a progress check at every position, then the markers. A section header (50 AE,
  // 20 AE) counts when its entry marker lies in its 8 bytes; an entry (51 AE, 21 AE) counts only
  // after its section's header has been seen.
  while (scanPos <= sceneLength) {
    if (static_cast<double>(5 * (scanPos - limit80)) >
        static_cast<double>(progressCount) * progressStep + 1.0) {
      if (hooks.progress) hooks.progress(progressCount);
      progressCount += 1;
    }
    const auto m = in.window<2>(scanPos);
    if (Is(m, marker::kScriptSection) || Is(m, marker::kDefinitionSection)) {
      const bool scripts = Is(m, marker::kScriptSection);
      const auto w = in.window<8>(scanPos);
      if (HasMarker(w, scripts ? marker::kScript : marker::kDefinition)) {
        const SectionHeader header{scanPos + 2, *in.int32(scanPos + 2)};
        if (scripts) {
          cat.flags.scriptSectionSeen = true;
          cat.scriptSection = header;
        } else {
          cat.flags.defSectionSeen = true;
          cat.defSection = header;
        }
        scanPos += 4;
      } else {
        scanPos += 1;
      }
    } else if (Is(m, marker::kScript)) {
      if (!cat.flags.scriptSectionSeen) {
        scanPos += 1;
        continue;
      }
      if (cat.rows.size() >= static_cast<std::size_t>(kMaxRows))
        return MakeError(ErrorKind::TooManyRows, "too many rows");
      CatalogueRow row;
      row.standalone = true;
      row.entryLengthPos = scanPos + 2;
      const auto n = in.int32(scanPos + 7);
      if (!n || *n < 0) return Damaged("script name length");
      const auto name = in.text(scanPos + 11, *n);
      if (!name) return Damaged("script name");
      row.name = *name;
      const Pos lengthPos = scanPos + 11 + *n;
      const auto s = in.int32(lengthPos);
      if (!s || *s < 0 || lengthPos + 4 + *s - 1 > sceneLength) return Damaged("script text");
      row.scriptLengthPos = lengthPos;
      row.scriptLength = *s;
      row.checked = *s != 0;
      if (firstStandalone) {
        cat.firstStandaloneScriptRow = static_cast<int>(cat.rows.size());
        firstStandalone = false;
      }
      cat.rows.push_back(row);
      scanPos = lengthPos + *s;
    } else if (Is(m, marker::kDefinition)) {
      if (!cat.flags.defSectionSeen) {
        scanPos += 1;
        continue;
      }
      if (cat.rows.size() >= static_cast<std::size_t>(kMaxRows))
        return MakeError(ErrorKind::TooManyRows, "too many rows");
      // A definition: its name sub-chunk at P + 6, the kind sub-chunk after it (kinds 6 and 18
      // give no row), then the parameters, searched for the script pattern up to the entry's
      // length past them.
      const Pos p = scanPos;
      const auto entryLength = in.int32(p + 2);
      const auto nField = in.int32(p + 8);
      if (!entryLength || !nField) return Damaged("definition name length");
      const Pos n = static_cast<Pos>(*nField) - 7;
      if (n < 0) return Damaged("definition name length negative");
      const auto name = in.text(p + 12, n);
      if (!name) return Damaged("definition name");
      const Pos q = p + 12 + n + 1;
      const auto kind = in.byte(q + 6);
      if (!kind) return Damaged("definition kind");
      const Pos k = *in.int32(q + 2);
      if (*kind == 6 || *kind == 18) {
        scanPos = q + 6;
        continue;
      }
      CatalogueRow row;
      row.standalone = false;
      row.entryLengthPos = p + 2;
      row.name = *name;
      const Pos r = q + k;
      if (r + 6 <= p) return Damaged("definition loops");
      if (!in.int32(r + 2)) return Damaged("definition parameter chunk");
      row.scriptChunkLengthPos = r + 2;
      scanPos = r + 6;
      const Pos limit = r + 6 + *entryLength;
      bool searching = true;
      while (scanPos < limit && searching) {
        if (scanPos > sceneLength) {
          scanPos = limit;  // no window matches beyond the end: the search runs on to its bound
          break;
        }
        // 01 00 00 00 00 followed, 4 bytes on, by a byte of 0x0A or more: the script. 05 00 00
        // 00 00 or the next entry's marker: none.
        const auto w = in.window<5>(scanPos);
        if (w && *w == std::array<std::uint8_t, 5>{0x01, 0, 0, 0, 0}) {
          const auto c = in.byte(scanPos + 9);
          if (c && *c >= 0x0A) {
            const auto s = in.int32(scanPos + 5);
            if (!s || *s < 0 || scanPos + 9 + *s - 1 > sceneLength)
              return Damaged("definition script");
            row.scriptLengthPos = scanPos + 5;
            row.scriptLength = *s;
            row.checked = *s != 0;
            searching = false;
            scanPos += 8;
          }
        } else {
          if (w && *w == std::array<std::uint8_t, 5>{0x05, 0, 0, 0, 0}) {
            searching = false;
            NoScript(row);
          }
          const auto two = in.window<2>(scanPos);
          if (Is(two, marker::kDefinition) || Is(two, marker::kScriptSection) ||
              Is(two, marker::kScript)) {
            searching = false;
            NoScript(row);
            scanPos -= 1;
          }
        }
        scanPos += 1;
        if (scanPos == sceneLength + 1) NoScript(row);
      }
      if (searching) NoScript(row);
      cat.rows.push_back(row);
    } else {
      scanPos += 1;
    }
  }
  return cat;
}

ObjectScanResult LiteralScanObjectParameters(const ByteSource& source,
                                             const std::vector<ByteString>& rowNames,
                                             const ObjectScanHooks& hooks) {
  const Windows in(source);
  ObjectScanResult result;
  int progressCount = 0;
  // The objects section: the first 00 40 pair from position 5 on; without one, no matches.
  const auto h = FindObjectsSection(in);
  if (!h) return result;
  result.sectionFound = true;
  const Pos secLenPos = *h + 2;
  const auto secLen = in.int32(secLenPos);
  if (!secLen) {
    result.error = Damaged("section length");
    return result;
  }
  // Walk the section's children by their lengths. A child with a name sub-chunk (10 00) at its
  // marker + 16 is an object; it matches the first row whose text equals its name.
  Pos scanPos = secLenPos + 6;
  while (scanPos < secLenPos + *secLen) {
    if (hooks.yield) hooks.yield();
    const Pos m = scanPos - 2;
    const auto l = in.int32(scanPos);
    if (!l || *l <= 0) {
      result.error = Damaged("child length");
      return result;
    }
    if (!Is(in.window<2>(m + 16), marker::kName)) {
      scanPos = m + *l + 2;
      continue;
    }
    const auto nField = in.int32(m + 18);
    if (!nField || static_cast<Pos>(*nField) - 7 < 0) {
      result.error = Damaged("name length");
      return result;
    }
    const Pos n = static_cast<Pos>(*nField) - 7;
    const auto name = in.text(m + 22, n);
    if (!name) {
      result.error = Damaged("name");
      return result;
    }
    int row = -1;  // the linear pass over the rows: the first equal text wins
    for (std::size_t r = 0; r < rowNames.size(); ++r) {
      if (rowNames[r] == *name) {
        row = static_cast<int>(r);
        break;
      }
    }
    if (row < 0) {
      scanPos = m + *l + 2;
      continue;
    }
    const Pos p = m + 29 + n;
    ObjectParams params;
    params.row = row;
    params.name = *name;
    params.translationPos = p;
    const Pos at[] = {p, p + 4, p + 8, p + 18, p + 22, p + 26, p + 30, p + 40, p + 44, p + 48};
    std::uint32_t v[10];
    for (int i = 0; i < 10; ++i) {
      const auto raw = in.uint32(at[i]);
      if (!raw) {
        result.error = Damaged("values");
        return result;
      }
      v[i] = *raw;
    }
    for (int i = 0; i < 3; ++i) params.translation[i] = BitsToFloat(v[i]);
    for (int i = 0; i < 4; ++i) params.rotation[i] = v[3 + i];
    for (int i = 0; i < 3; ++i) params.size[i] = BitsToFloat(v[7 + i]);
    // The rest of the object, cut at the end of the file: a model chunk (12 20) there names the
    // model when the rest holds ".i3d".
    const ByteString rest = in.textUpToEnd(p + 52, static_cast<Pos>(*l) - 79 - n);
    const auto model = rest.find("\x12\x20");
    if (rest.find(".i3d") != ByteString::npos && model != ByteString::npos) {
      const Pos k = static_cast<Pos>(model) + 1;
      if (const auto len = in.int32(p + 53 + k)) {
        if (const auto text = in.text(p + 57 + k, static_cast<Pos>(*len) - 7)) params.model = *text;
      }
    }
    if (hooks.progress) hooks.progress(progressCount);
    progressCount += 1;
    result.matches.push_back(params);
    scanPos = m + *l + 2;
  }
  return result;
}

std::vector<ModelName> LiteralListSceneModels(const ByteSource& source,
                                              std::vector<int>* progressValues) {
  const Windows in(source);
  std::vector<ModelName> names;
  const Pos l = in.length();
  const double step = static_cast<double>(l) / 100.0;
  int k = 1;
  if (progressValues) progressValues->push_back(1);
  for (Pos p = 1; p <= l; ++p) {
    if (static_cast<double>(p) > static_cast<double>(k) * step) {
      if (progressValues) progressValues->push_back(k + 1);
      k += 1;
    }
    const auto b = in.byte(p);
    if (!b || *b != '.') continue;
    const auto i3d = in.window<3>(p + 1);
    if (!i3d || (*i3d)[0] != 'i' || (*i3d)[1] != '3' || (*i3d)[2] != 'd') continue;
    // The name runs back from the "." over name bytes, to the first byte at most.
    const Pos e = p + 3;
    Pos q = p - 1;
    for (; q >= 1; q -= 1) {
      const auto before = in.byte(q);
      if (!before || !IsModelNameByte(*before)) break;
    }
    if (e - q <= kMaxModelNameLength) names.push_back(ModelName{q + 1, e - q});
    p = e;
  }
  return names;
}

Result<ByteString> LiteralBuildScriptOverview(const ByteSource& source,
                                              const Catalogue& catalogue) {
  const Windows in(source);
  ByteString out;
  for (const auto& row : catalogue.rows) {
    if (!row.checked || !row.scriptLengthPos) continue;
    const auto s = in.int32(*row.scriptLengthPos);
    const auto text = s ? in.text(*row.scriptLengthPos + 4, *s) : std::nullopt;
    if (!text) return Damaged("script runs past the end");
    out += "\r\n\r\n ******************    --  " + row.name + "  --  ****************** \r\n";
    out += *text;
  }
  return out;
}

}  // namespace quorvex::testing
