// ScanObjectParameters' logic: walk the children of the objects section by their
// lengths and read the parameters of every object whose name equals a catalogue row's text.

#include "scene/object_params.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

#include "scene/markers.h"

namespace quorvex {

std::optional<Pos> FindObjectsSection(const SceneImage& image) {
  return FindPairFrom(image, 5, 0x00, 0x40);
}

Result<std::vector<Pos>> ObjectsSectionChildren(const SceneImage& image, Pos section) {
  const auto length = image.int32At(section + 2);
  const std::string where = "The objects section at position " + std::to_string(section);
  if (!length || *length < marker::kHeaderSize || !image.contains(section, *length)) {
    return CheckedRead(image, Result<std::vector<Pos>>(MakeError(
                                  ErrorKind::Damaged,
                                  where + " has a length that does not fit the file; the scene "
                                          "looks damaged. Nothing was written.")));
  }
  const Pos end = section + *length;  // the first position after the section
  std::vector<Pos> children;
  Pos child = section + marker::kHeaderSize;
  while (child < end) {
    const auto childLength = image.int32At(child + 2);
    if (!childLength || *childLength < marker::kHeaderSize || *childLength > end - child) {
      return CheckedRead(
          image, Result<std::vector<Pos>>(MakeError(
                     ErrorKind::Damaged,
                     where + " is damaged: its entry at position " + std::to_string(child) +
                         (childLength && *childLength >= marker::kHeaderSize
                              ? " runs past the section's end at position " + std::to_string(end)
                              : " has a length shorter than its own header") +
                         ", so the entries do not fill the section exactly. Nothing was "
                         "written.")));
    }
    children.push_back(child);
    child += *childLength;
  }
  return CheckedRead(image, Result<std::vector<Pos>>(std::move(children)));
}

namespace {

Error Damaged(const std::string& what, Pos pos) {
  return MakeError(ErrorKind::Damaged, "The scene is damaged: " + what + " (object at position " +
                                           std::to_string(pos) + ").");
}

ObjectScanResult Scan(const SceneImage& image, const std::vector<ByteString>& rowNames,
                      const ObjectScanHooks& hooks) {
  ObjectScanResult result;
  // The objects section: the first 00 40 pair from position 5 on; without one, no matches.
  const auto h = FindObjectsSection(image);
  if (!h) return result;
  result.sectionFound = true;

  // First row with a given text (a linear pass from row 0 finds the lowest index).
  std::unordered_map<std::string_view, int> firstRow;
  firstRow.reserve(rowNames.size());
  for (std::size_t r = 0; r < rowNames.size(); ++r)
    firstRow.try_emplace(rowNames[r], static_cast<int>(r));

  const Pos secLenPos = *h + 2;
  const auto secLen = image.int32At(secLenPos);
  // Damaged: the section's length field, the bound of the walk, lies (partly) outside the file.
  if (!secLen) {
    result.error = Damaged("the objects section's length lies outside the file", *h);
    return result;
  }
  const Pos sectionEnd = secLenPos + *secLen;  // a length <= 6 simply gives no children
  int progressCount = 0;

  // Walk the section's children by their lengths, from the first child's length field.
  Pos scanPos = secLenPos + 6;
  while (scanPos < sectionEnd) {
    if (hooks.yield) hooks.yield();
    const Pos m = scanPos - 2;
    const auto childLength = image.int32At(scanPos);
    // Damaged: the child's length field lies outside the file (a section length pointing past
    // the end leads here), or a length <= 0 would keep the walk in place or move it backwards.
    if (!childLength) {
      result.error = Damaged("an object's length lies outside the file", m);
      return result;
    }
    if (*childLength <= 0) {
      result.error = Damaged("an object's length is not positive", m);
      return result;
    }
    const Pos next = m + *childLength + 2;
    const Pos nameChunk = m + kObjectNameChunk;
    if (!image.markerAt(nameChunk,
                        marker::kName)) {  // no name sub-chunk (a window past the end too)
      scanPos = next;
      continue;
    }
    const auto nameField = image.int32At(nameChunk + 2);
    // Damaged: the name length lies outside the file, is negative, or the name runs past the end.
    if (!nameField) {
      result.error = Damaged("an object's name length lies outside the file", m);
      return result;
    }
    const Pos n = static_cast<Pos>(*nameField) - 7;
    if (n < 0) {
      result.error = Damaged("an object's name length is negative", m);
      return result;
    }
    const auto name = image.bytesAt(nameChunk + marker::kHeaderSize, n);
    if (!name) {
      result.error = Damaged("an object's name runs past the end of the file", m);
      return result;
    }
    const auto found = firstRow.find(*name);
    if (found == firstRow.end()) {
      scanPos = next;
      continue;
    }

    const Pos p = ObjectValuesPos(m, n);
    const auto values = ObjectValues::Load(image, p);
    // Damaged: the translation, rotation or size values lie (partly) outside the file.
    if (!values) {
      result.error = Damaged("an object's translation, rotation or size lies outside the file", m);
      return result;
    }
    ObjectParams params;
    static_cast<ObjectValues&>(params) = *values;
    params.row = found->second;
    params.name = rowNames[static_cast<std::size_t>(found->second)];
    params.translationPos = p;

    // rest: the L - 79 - N bytes behind the values, clamped at the end of the file (the part that
    // exists is read); a negative count gives an empty rest.
    const Pos restStart = p + ObjectValues::kSpan;
    const Pos restCount = std::clamp<Pos>(static_cast<Pos>(*childLength) - 79 - n, 0,
                                          image.length() - (restStart - 1));
    const Pos restLast = restStart + restCount - 1;
    const auto model = FindBytes(image, restStart, restLast, "\x12\x20");  // the model's marker
    if (model && FindBytes(image, restStart, restLast, ".i3d")) {
      const auto modelField = image.int32At(*model + 2);
      // A model name length field outside the file, a negative name length or a name running past
      // the end: the model is not taken (the row keeps its previous one).
      if (modelField) {
        const auto modelName =
            image.bytesAt(*model + marker::kHeaderSize, static_cast<Pos>(*modelField) - 7);
        if (modelName) params.model = *modelName;
      }
    }
    // StepObjectProgress.
    if (hooks.progress) hooks.progress(progressCount);
    ++progressCount;
    result.matches.push_back(std::move(params));
    scanPos = next;
  }
  return result;
}

}  // namespace

Result<ObjectScanResult> ScanObjectParameters(const SceneImage& image,
                                              const std::vector<ByteString>& rowNames,
                                              const ObjectScanHooks& hooks) {
  return CheckedRead(image, Result<ObjectScanResult>(Scan(image, rowNames, hooks)));
}

}  // namespace quorvex
