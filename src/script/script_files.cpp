#include "script/script_files.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

#include "scene/text_codec.h"
#include "scene/write_checks.h"
#include "script/script_save.h"

namespace quorvex {
namespace {

bool KeptInFileName(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '-';
}

std::string RowLabel(int row, const Catalogue& catalogue) {
  return "row " + std::to_string(row) + " " +
         BytesToUtf8(catalogue.rows[static_cast<std::size_t>(row)].name);
}

// A length field that the import corrects, and the steps of its sum in row order.
struct LengthField {
  std::string what;
  std::vector<std::int64_t> deltas;
  std::vector<int> rows;
};

}  // namespace

std::string ExportFileName(int row, const ByteString& name) {
  char number[16];
  std::snprintf(number, sizeof number, "%04d_", row);
  std::string out = number;
  for (std::size_t i = 0; i < name.size() && i < kMaxExportNameBytes; ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    out.push_back(KeptInFileName(c) ? static_cast<char>(c) : '_');
  }
  return out + ".txt";
}

Result<std::optional<ByteString>> ScriptTextOf(const SceneImage& image, const CatalogueRow& row) {
  if (!row.scriptLengthPos || !row.scriptLength) return std::optional<ByteString>();
  return CheckedRead(image, Result<std::optional<ByteString>>(
                                image.bytesAt(*row.scriptLengthPos + 4, *row.scriptLength)));
}

Result<ScriptImport> PlanScriptImport(const SceneImage& image, const Catalogue& catalogue,
                                      std::vector<ScriptChange> changes) {
  std::sort(changes.begin(), changes.end(),
            [](const ScriptChange& a, const ScriptChange& b) { return a.row < b.row; });
  ScriptImport result{EditPlan(static_cast<std::uint64_t>(image.length())), {}};
  std::map<Pos, LengthField> enclosing;  // by position; the same root or section for many rows
  std::vector<Edit> edits;

  for (std::size_t i = 0; i < changes.size(); ++i) {
    auto& change = changes[i];
    if (i > 0 && changes[i - 1].row == change.row) {
      return MakeError(ErrorKind::Invalid, "Row " + std::to_string(change.row) +
                                               " is given twice. Nothing was written.");
    }
    auto target = ScriptSaveTargetFor(catalogue, change.row);
    if (!target) return target.error();
    const auto label = RowLabel(change.row, catalogue);
    // The checks of a single save, against the same content that save would meet: the saves
    // before it only moved these bytes and corrected lengths by the amounts checked below.
    if (auto single = PlanScriptSave(image, *target, change.text); !single) {
      return MakeError(single.error().kind, label + ": " + single.error().message);
    }
    const Pos p = target->scriptLengthPos;
    const std::int64_t delta = static_cast<std::int64_t>(change.text.size()) - target->loadedLength;
    if (delta != 0) {
      const std::string section = target->standalone ? "script section" : "definition section";
      std::vector<std::pair<Pos, std::string>> fields = {
          {3, "root length"},
          {*target->sectionLengthPos, section + " length"},
          {target->entryLengthPos, "row's chunk length"}};
      if (!target->standalone) {
        fields.emplace_back(*target->scriptChunkLengthPos, "parameters chunk length");
      }
      for (auto& [pos, what] : fields) {
        auto& field = enclosing[pos];
        field.what = what;
        field.deltas.push_back(delta);
        field.rows.push_back(change.row);
      }
      Bytes length;
      AppendInt32(length, static_cast<std::int32_t>(change.text.size()));
      edits.push_back(Edit{static_cast<std::uint64_t>(p - 1), 4, std::move(length)});
    }
    edits.push_back(Edit{static_cast<std::uint64_t>(p - 1 + 4),
                         static_cast<std::uint64_t>(target->loadedLength),
                         Bytes(change.text.begin(), change.text.end())});
    result.scripts.push_back(
        ImportedScript{change.row, target->loadedLength, std::move(change.text)});
  }

  // Each enclosing length as the saves would leave it, every intermediate sum checked as the save
  // that makes it would check it.
  for (const auto& [pos, field] : enclosing) {
    std::int64_t value = *image.int32At(pos);
    for (std::size_t k = 0; k < field.deltas.size(); ++k) {
      auto adjusted = AdjustedLength(value, field.deltas[k], field.what);
      if (!adjusted) {
        return MakeError(adjusted.error().kind,
                         RowLabel(field.rows[k], catalogue) + ": " + adjusted.error().message);
      }
      value = *adjusted;
    }
    Bytes bytes;
    AppendInt32(bytes, static_cast<std::int32_t>(value));
    edits.push_back(Edit{static_cast<std::uint64_t>(pos - 1), 4, std::move(bytes)});
  }

  // In file order, so that every edit joins the end of the plan.
  std::stable_sort(edits.begin(), edits.end(),
                   [](const Edit& a, const Edit& b) { return a.offset < b.offset; });
  for (auto& edit : edits) {
    if (auto s = result.plan.add(std::move(edit)); !s) return s.error();
  }
  return result;
}

}  // namespace quorvex
