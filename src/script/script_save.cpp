#include "script/script_save.h"

#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "scene/markers.h"
#include "scene/write_checks.h"

namespace quorvex {
namespace {

// A length field that a length-changing save corrects.
struct EnclosingLength {
  Pos pos;
  std::string what;
};

// The chunk whose length field is at lengthPos encloses positions first..last.
bool Encloses(const SceneImage& image, Pos lengthPos, Pos first, Pos last) {
  const auto length = image.int32At(lengthPos);
  if (!length) return false;
  const Pos start = lengthPos - 2;
  const Pos end = start + *length - 1;
  return start <= first && last <= end && end <= image.length();
}

Error Refused(const std::string& why) {
  return MakeError(ErrorKind::Refused, why + " Nothing was written.");
}

// Where `text` differs from the bytes at pos (all inside the file): the offset of the first
// differing byte in `text` and the count up to the last one; absent when they are the same.
std::optional<std::pair<std::uint64_t, std::uint64_t>> DifferingStretch(const SceneImage& image,
                                                                        Pos pos,
                                                                        const ByteString& text) {
  std::optional<std::uint64_t> first;
  std::uint64_t last = 0;
  std::uint64_t done = 0;
  image.forEachRun(pos, static_cast<Pos>(text.size()), [&](std::span<const std::uint8_t> piece) {
    for (std::size_t i = 0; i < piece.size(); ++i) {
      if (piece[i] == static_cast<std::uint8_t>(text[done + i])) continue;
      if (!first) first = done + i;
      last = done + i;
    }
    done += piece.size();
  });
  if (!first) return std::nullopt;
  return std::pair{*first, last - *first + 1};
}

}  // namespace

Result<ScriptSaveTarget> ScriptSaveTargetFor(const Catalogue& catalogue, int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= catalogue.rows.size()) {
    return MakeError(ErrorKind::NoSuchRow, "There is no row " + std::to_string(row) + ".");
  }
  const auto& entry = catalogue.rows[static_cast<std::size_t>(row)];
  if (!entry.scriptLengthPos || !entry.scriptLength) {
    return MakeError(ErrorKind::NoScript,
                     "Row " + std::to_string(row) + " has no script. Nothing was written.");
  }
  ScriptSaveTarget target;
  target.standalone = entry.standalone;
  target.entryLengthPos = entry.entryLengthPos;
  target.scriptLengthPos = *entry.scriptLengthPos;
  target.scriptChunkLengthPos = entry.scriptChunkLengthPos;
  const auto& section = entry.standalone ? catalogue.scriptSection : catalogue.defSection;
  if (section) target.sectionLengthPos = section->lengthPos;
  target.loadedLength = *entry.scriptLength;
  target.sceneLength = catalogue.sceneLength;
  return target;
}

Result<EditPlan> PlanScriptSave(const SceneImage& image, const ScriptSaveTarget& target,
                                const ByteString& newText) {
  if (auto s = CheckSceneLength(image, target.sceneLength); !s) return s.error();

  const Pos p = target.scriptLengthPos;
  const std::int64_t org = target.loadedLength;
  if (image.int32At(p) != target.loadedLength) {
    return ChangedOnDisk("the script length at position " + std::to_string(p) + " is no longer " +
                         std::to_string(org));
  }
  if (org < 0 || !image.contains(p + 4, org)) {
    return Refused("The script recorded at position " + std::to_string(p) +
                   " runs past the end of the file.");
  }
  if (target.loadedText && (static_cast<std::int64_t>(target.loadedText->size()) != org ||
                            !BytesAre(image, p + 4, *target.loadedText))) {
    return ChangedOnDisk("another program has changed the script's text since it was loaded");
  }
  const auto entryMarker = target.standalone ? marker::kScript : marker::kDefinition;
  if (auto s = CheckMarkerBefore(image, target.entryLengthPos, entryMarker, "row's chunk"); !s) {
    return s.error();
  }

  const auto newLength = static_cast<std::int64_t>(newText.size());
  EditPlan plan(static_cast<std::uint64_t>(image.length()));
  if (newLength == org) {
    // Only the stretch from the first to the last byte that differs is written: a changed
    // character is then one small write in place, not the whole text (which, beyond a page,
    // would write the whole scene anew). The same text writes nothing.
    const auto changed = DifferingStretch(image, p + 4, newText);
    if (!changed) return plan;
    const auto [first, count] = *changed;
    const auto from = newText.begin() + static_cast<std::ptrdiff_t>(first);
    Edit text{static_cast<std::uint64_t>(p - 1 + 4) + first, count,
              Bytes(from, from + static_cast<std::ptrdiff_t>(count))};
    if (auto s = plan.add(std::move(text)); !s) return s.error();
    return plan;
  }
  // Moved into the plan, never copied: a script may be hundreds of megabytes.
  Edit text{static_cast<std::uint64_t>(p - 1 + 4), static_cast<std::uint64_t>(org),
            Bytes(newText.begin(), newText.end())};

  // The length changes: every chunk around the script grows or shrinks with it.
  if (newLength > std::numeric_limits<std::int32_t>::max()) {
    return Refused("The new script is longer than a 32-bit length can describe.");
  }
  if (auto s = CheckRootLength(image); !s) return s.error();
  if (!target.sectionLengthPos) {
    return Refused("No section header was found for the row, so its length cannot be corrected.");
  }
  const auto sectionMarker =
      target.standalone ? marker::kScriptSection : marker::kDefinitionSection;
  const std::string sectionName = target.standalone ? "script section" : "definition section";
  if (auto s = CheckMarkerBefore(image, *target.sectionLengthPos, sectionMarker, sectionName); !s) {
    return s.error();
  }
  if (!target.standalone) {
    // The script's length is also counted by the definition's third sub-chunk, which the layout
    // puts behind the kind sub-chunk. The scan takes that place on trust; a definition laid out
    // otherwise cannot have its length corrected safely (the file is as it was read: this is not
    // a change on disk).
    if (!target.scriptChunkLengthPos) {
      return Refused("The definition has no recorded parameters chunk.");
    }
    if (!image.markerAt(*target.scriptChunkLengthPos - 2, marker::kDefinitionParams)) {
      return MakeError(ErrorKind::UnexpectedLayout,
                       "This definition is not laid out as the scene format describes: its "
                       "script does not lie in a parameters chunk (0xAE24) at position " +
                           std::to_string(*target.scriptChunkLengthPos - 2) +
                           ", so the script's length cannot be changed safely. A text of the "
                           "same length can be saved. Nothing was written.");
    }
  }

  std::vector<EnclosingLength> lengths{{3, "root length"},
                                       {*target.sectionLengthPos, sectionName + " length"},
                                       {target.entryLengthPos, "row's chunk length"}};
  if (!target.standalone) {
    lengths.push_back({*target.scriptChunkLengthPos, "parameters chunk length"});
  }
  // Correcting a length that does not enclose the script would corrupt the scene.
  const Pos last = p + 3 + org;
  for (const auto& field : lengths) {
    if (!Encloses(image, field.pos, p, last)) {
      return Refused("The " + field.what + " at position " + std::to_string(field.pos) +
                     " does not enclose the script; the scene looks damaged.");
    }
  }

  const std::int64_t delta = newLength - org;
  for (const auto& field : lengths) {
    auto adjusted = AdjustedLength(*image.int32At(field.pos), delta, field.what);
    if (!adjusted) return adjusted.error();
    if (auto s = plan.patchInt32(field.pos, *adjusted); !s) return s.error();
  }
  if (auto s = plan.patchInt32(p, static_cast<std::int32_t>(newLength)); !s) return s.error();
  if (auto s = plan.add(std::move(text)); !s) return s.error();
  return plan;
}

WriteIntent ScriptSaveIntent(const ScriptSaveTarget& target, const ByteString& newText,
                             const Catalogue* before) {
  WriteIntent intent;
  intent.before = before;
  intent.scripts.push_back({target.scriptLengthPos, newText});
  intent.nothingDone = "Nothing was saved.";
  return intent;
}

Result<WriteMode> SaveScript(const std::filesystem::path& path, const ScriptSaveTarget& target,
                             const ByteString& newText, platform::FileSystem& files) {
  return WriteScene(
      files, path,
      [&](const SceneImage& current) { return PlanScriptSave(current, target, newText); },
      [&](const SceneImage& current, const EditPlan& plan, const SceneImage& result) {
        return CheckPlannedResult(current, plan, result,
                                  ScriptSaveIntent(target, newText, nullptr));
      });
}

}  // namespace quorvex
