#include "support/reference_scans.h"

#include <cmath>
#include <string>

namespace quorvex::testing {
namespace {

const std::uint8_t k01[] = {0x01, 0x00, 0x00, 0x00, 0x00};
const std::uint8_t k05[] = {0x05, 0x00, 0x00, 0x00, 0x00};

Error Damaged(const std::string& what) { return MakeError(ErrorKind::Damaged, what); }

}  // namespace

Result<Catalogue> ReferenceScanCatalogue(const SceneImage& image, SectionFlags initialFlags,
                                         const CatalogueHooks& hooks) {
  Catalogue cat;
  cat.flags = initialFlags;
  // The scene's length bounds every position the scan visits.
  const Pos sceneLength = image.length();
  cat.sceneLength = sceneLength;
  // An empty file has no rows (the section flags stay as given).
  if (sceneLength == 0) return cat;
  // The 80 % mark: 0.8 as a single times the length, rounded half to even. The scan starts there
  // when the file has no objects section, and the progress counts from it: one call per
  // limit80 / 150 positions past it.
  const double product = static_cast<double>(0.8f) * static_cast<double>(sceneLength);
  const Pos limit80 = static_cast<Pos>(std::nearbyint(product));
  const double progressStep = static_cast<double>(limit80) / 30.0;
  int progressCount = hooks.initialProgressCount;
  bool firstStandalone = true;
  Pos scanPos = 5;
  // Skip the objects section: the first 00 40 pair from position 5 on, jumped over by its length.
  bool hit = false;
  for (; scanPos <= sceneLength; ++scanPos) {
    if (image.markerAt(scanPos, 0x4000)) {
      hit = true;
      break;
    }
  }
  if (hit) {
    const auto length = image.int32At(scanPos + 2);
    if (!length) return Damaged("objects section length outside");
    if (*length <= 0) return Damaged("objects section length not positive");
    scanPos = scanPos + *length;
  } else {
    scanPos = limit80;
  }
  // The section flags start as the caller gives them (`initialFlags`).
  // The main loop: a progress check at every position, then the markers. A section header (50 AE,
  // 20 AE) counts when its entry marker lies in its 8 bytes; an entry (51 AE, 21 AE) counts only
  // after its section's header has been seen.
  while (scanPos <= sceneLength) {
    if (static_cast<double>(5 * (scanPos - limit80)) >
        static_cast<double>(progressCount) * progressStep + 1.0) {
      if (hooks.progress) hooks.progress(progressCount);
      progressCount += 1;
    }
    if (image.markerAt(scanPos, 0xAE50)) {
      if (image.windowHasMarker(scanPos, 8, 0xAE51)) {
        cat.flags.scriptSectionSeen = true;
        cat.scriptSection = SectionHeader{scanPos + 2, *image.int32At(scanPos + 2)};
        scanPos += 4;
      } else {
        scanPos += 1;
      }
    } else if (image.markerAt(scanPos, 0xAE51)) {
      if (!cat.flags.scriptSectionSeen) {
        scanPos += 1;
        continue;
      }
      if (cat.rows.size() >= static_cast<std::size_t>(kMaxRows))
        return MakeError(ErrorKind::TooManyRows, "too many rows");
      const auto i = static_cast<int>(cat.rows.size());
      CatalogueRow row;
      row.standalone = true;
      if (firstStandalone) {
        cat.firstStandaloneScriptRow = i;
        firstStandalone = false;
      }
      row.entryLengthPos = scanPos + 2;
      const auto n = image.int32At(scanPos + 7);
      if (!n || *n < 0) return Damaged("script name length");
      const auto name = image.bytesAt(scanPos + 11, *n);
      if (!name) return Damaged("script name");
      row.name = *name;
      row.scriptLengthPos = scanPos + 11 + *n;
      const auto s = image.int32At(*row.scriptLengthPos);
      if (!s || *s < 0 || !image.contains(*row.scriptLengthPos + 4, *s))
        return Damaged("script text");
      row.scriptLength = *s;
      row.checked = *s != 0;
      scanPos = *row.scriptLengthPos + *s;
      cat.rows.push_back(row);
    } else if (image.markerAt(scanPos, 0xAE20)) {
      if (image.windowHasMarker(scanPos, 8, 0xAE21)) {
        cat.flags.defSectionSeen = true;
        cat.defSection = SectionHeader{scanPos + 2, *image.int32At(scanPos + 2)};
        scanPos += 4;
      } else {
        scanPos += 1;
      }
    } else if (image.markerAt(scanPos, 0xAE21)) {
      if (!cat.flags.defSectionSeen) {
        scanPos += 1;
        continue;
      }
      if (cat.rows.size() >= static_cast<std::size_t>(kMaxRows))
        return MakeError(ErrorKind::TooManyRows, "too many rows");
      const Pos p = scanPos;
      CatalogueRow row;
      row.standalone = false;
      row.entryLengthPos = p + 2;
      const auto entryLength = image.int32At(p + 2);
      const auto nField = image.int32At(p + 8);
      if (!entryLength || !nField) return Damaged("definition name length");
      const Pos n = static_cast<Pos>(*nField) - 7;
      if (n < 0) return Damaged("definition name length negative");
      const auto name = image.bytesAt(p + 12, n);
      if (!name) return Damaged("definition name");
      const Pos q = p + 12 + n + 1;
      const auto k = image.int32At(q + 2);
      const auto kind = image.byteAt(q + 6);
      if (!k || !kind) return Damaged("definition kind");
      if (*kind == 6 || *kind == 18) {
        scanPos = q + 6;
        continue;
      }
      row.name = *name;
      const Pos r = q + *k;
      if (r + 6 <= p) return Damaged("definition loops");
      row.scriptChunkLengthPos = r + 2;
      if (!image.int32At(r + 2)) return Damaged("definition parameter chunk");
      scanPos = r + 6;
      const Pos limit = r + 6 + *entryLength;
      bool searching = true;
      while (scanPos < limit && searching) {
        if (scanPos > sceneLength) {
          // Beyond the end no window matches: the stepping goes on to `limit` without a match.
          scanPos = limit;
          break;
        }
        if (image.matchAt(scanPos, k01)) {
          const auto c = image.byteAt(scanPos + 9);
          if (c && *c >= 0x0A) {
            row.scriptLengthPos = scanPos + 5;
            const auto s = image.int32At(scanPos + 5);
            if (!s || *s < 0 || !image.contains(scanPos + 9, *s)) return Damaged("definition script");
            row.scriptLength = *s;
            searching = false;
            scanPos += 8;
            row.checked = *s != 0;
          }
        } else {
          if (image.matchAt(scanPos, k05)) {
            searching = false;
            row.scriptLengthPos.reset();
            row.scriptLength.reset();
            row.checked = false;
          }
          if (image.markerAt(scanPos, 0xAE21) || image.markerAt(scanPos, 0xAE50) ||
              image.markerAt(scanPos, 0xAE51)) {
            searching = false;
            row.scriptLengthPos.reset();
            row.scriptLength.reset();
            row.checked = false;
            scanPos -= 1;
          }
        }
        scanPos += 1;
        if (scanPos == sceneLength + 1) {
          row.scriptLengthPos.reset();
          row.scriptLength.reset();
          row.checked = false;
        }
      }
      if (searching) {
        row.scriptLengthPos.reset();
        row.scriptLength.reset();
        row.checked = false;
      }
      cat.rows.push_back(row);
    } else {
      scanPos += 1;
    }
  }
  return cat;
}

ObjectScanResult ReferenceScanObjectParameters(const SceneImage& image,
                                               const std::vector<ByteString>& rowNames,
                                               const ObjectScanHooks& hooks) {
  ObjectScanResult result;
  int progressCount = 0;
  // The objects section: the first 00 40 pair from position 5 on; without one, no matches.
  Pos h = 0;
  for (Pos pos = 5; pos <= image.length(); ++pos) {
    if (image.markerAt(pos, 0x4000)) {
      h = pos;
      break;
    }
  }
  if (h == 0) return result;
  result.sectionFound = true;
  const Pos secLenPos = h + 2;
  const auto secLen = image.int32At(secLenPos);
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
    const auto l = image.int32At(scanPos);
    if (!l || *l <= 0) {
      result.error = Damaged("child length");
      return result;
    }
    if (!image.markerAt(m + 16, 0x0010)) {
      scanPos = m + *l + 2;
      continue;
    }
    const auto nField = image.int32At(m + 18);
    if (!nField || static_cast<Pos>(*nField) - 7 < 0) {
      result.error = Damaged("name length");
      return result;
    }
    const Pos n = static_cast<Pos>(*nField) - 7;
    const auto name = image.bytesAt(m + 22, n);
    if (!name) {
      result.error = Damaged("name");
      return result;
    }
    int row = -1;
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
      const auto raw = image.uint32At(at[i]);
      if (!raw) {
        result.error = Damaged("values");
        return result;
      }
      v[i] = *raw;
    }
    for (int i = 0; i < 3; ++i) params.translation[i] = BitsToFloat(v[i]);
    for (int i = 0; i < 4; ++i) params.rotation[i] = v[3 + i];
    for (int i = 0; i < 3; ++i) params.size[i] = BitsToFloat(v[7 + i]);
    // rest, clamped at the end of the file, byte by byte.
    ByteString rest;
    for (Pos i = 0; i < static_cast<Pos>(*l) - 79 - n; ++i) {
      const auto b = image.byteAt(p + 52 + i);
      if (!b) break;
      rest.push_back(static_cast<char>(*b));
    }
    const auto model = rest.find("\x12\x20");
    if (rest.find(".i3d") != ByteString::npos && model != ByteString::npos) {
      const Pos k = static_cast<Pos>(model) + 1;
      const auto len = image.int32At(p + 53 + k);
      if (len) {
        const auto text = image.bytesAt(p + 57 + k, static_cast<Pos>(*len) - 7);
        if (text) params.model = *text;
      }
    }
    if (hooks.progress) hooks.progress(progressCount);
    progressCount += 1;
    result.matches.push_back(params);
    scanPos = m + *l + 2;
  }
  return result;
}

std::vector<ModelName> ReferenceListSceneModels(const SceneImage& image,
                                                std::vector<int>* progressValues) {
  std::vector<ModelName> names;
  const Pos l = image.length();
  Pos p = 1;
  int k = 1;
  const double step = static_cast<double>(l) / 100.0;
  if (progressValues) progressValues->push_back(1);
  const std::uint8_t i3d[] = {'i', '3', 'd'};
  while (p <= l) {
    if (static_cast<double>(p) > static_cast<double>(k) * step) {
      if (progressValues) progressValues->push_back(k + 1);
      k += 1;
    }
    const auto b = image.byteAt(p);
    if (b && *b == '.' && image.matchAt(p + 1, i3d)) {
      const Pos e = p + 3;
      Pos q = p - 1;
      while (q >= 1 && IsModelNameByte(*image.byteAt(q))) q -= 1;
      const Pos s = q + 1;
      if (e - s + 1 <= kMaxModelNameLength) names.push_back(ModelName{s, e - s + 1});
      p = e;
    }
    p += 1;
  }
  return names;
}

}  // namespace quorvex::testing
