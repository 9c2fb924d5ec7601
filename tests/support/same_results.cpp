#include "support/same_results.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace quorvex::testing {
namespace {

template <class T>
std::string Show(const std::optional<T>& v) {
  return v ? std::to_string(*v) : std::string("none");
}

std::string RowDifference(const CatalogueRow& a, const CatalogueRow& b) {
  if (a.name != b.name) return "name";
  if (a.standalone != b.standalone) return "standalone";
  if (a.checked != b.checked) return "checked";
  if (a.entryLengthPos != b.entryLengthPos) return "entryLengthPos";
  if (a.scriptLengthPos != b.scriptLengthPos)
    return "scriptLengthPos " + Show(a.scriptLengthPos) + " vs " + Show(b.scriptLengthPos);
  if (a.scriptLength != b.scriptLength) return "scriptLength";
  if (a.scriptChunkLengthPos != b.scriptChunkLengthPos) return "scriptChunkLengthPos";
  return {};
}

bool SameSection(const std::optional<SectionHeader>& a, const std::optional<SectionHeader>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || (a->lengthPos == b->lengthPos && a->length == b->length);
}

template <class T>
std::string ErrorDifference(const Result<T>& a, const Result<T>& b) {
  if (a.ok() != b.ok()) {
    return a.ok() ? "only the second failed: " + b.error().message
                  : "only the first failed: " + a.error().message;
  }
  if (!a.ok() && a.error().kind != b.error().kind) {
    return "different error kinds: " + a.error().message + " / " + b.error().message;
  }
  return {};
}

}  // namespace

std::string CatalogueDifference(const Result<Catalogue>& a, const Result<Catalogue>& b) {
  if (auto d = ErrorDifference(a, b); !d.empty() || !a.ok()) return d;
  return CatalogueDifference(*a, *b);
}

std::string CatalogueDifference(const Catalogue& x, const Catalogue& y) {
  if (x.sceneLength != y.sceneLength) return "sceneLength";
  if (x.rows.size() != y.rows.size())
    return "row count " + std::to_string(x.rows.size()) + " vs " + std::to_string(y.rows.size());
  for (std::size_t i = 0; i < x.rows.size(); ++i) {
    if (auto d = RowDifference(x.rows[i], y.rows[i]); !d.empty())
      return "row " + std::to_string(i) + ": " + d;
  }
  if (x.firstStandaloneScriptRow != y.firstStandaloneScriptRow) return "firstStandaloneScriptRow";
  if (!SameSection(x.scriptSection, y.scriptSection)) return "script section";
  if (!SameSection(x.defSection, y.defSection)) return "definition section";
  if (x.flags.scriptSectionSeen != y.flags.scriptSectionSeen ||
      x.flags.defSectionSeen != y.flags.defSectionSeen)
    return "section flags";
  return {};
}

std::string ObjectScanDifference(const ObjectScanResult& a, const ObjectScanResult& b) {
  if (a.sectionFound != b.sectionFound) return "sectionFound";
  if (a.error.has_value() != b.error.has_value()) {
    return "only one stopped on damage: " + (a.error ? a.error : b.error)->message;
  }
  if (a.error && a.error->kind != b.error->kind) {
    return "different error kinds: " + a.error->message + " / " + b.error->message;
  }
  if (a.matches.size() != b.matches.size())
    return "match count " + std::to_string(a.matches.size()) + " vs " +
           std::to_string(b.matches.size());
  for (std::size_t i = 0; i < a.matches.size(); ++i) {
    const ObjectParams& x = a.matches[i];
    const ObjectParams& y = b.matches[i];
    const std::string at = "match " + std::to_string(i) + ": ";
    if (x.row != y.row) return at + "row";
    if (x.name != y.name) return at + "name";
    if (x.translationPos != y.translationPos) return at + "translationPos";
    if (std::memcmp(x.translation, y.translation, sizeof x.translation) != 0)
      return at + "translation";
    if (std::memcmp(x.rotation, y.rotation, sizeof x.rotation) != 0) return at + "rotation";
    if (std::memcmp(x.size, y.size, sizeof x.size) != 0) return at + "size";
    if (x.model != y.model) return at + "model";
  }
  return {};
}

std::string ModelListDifference(const std::vector<ModelName>& a, const std::vector<ModelName>& b) {
  if (a.size() != b.size())
    return "name count " + std::to_string(a.size()) + " vs " + std::to_string(b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].start != b[i].start || a[i].length != b[i].length)
      return "name " + std::to_string(i) + " at " + std::to_string(a[i].start) + " vs " +
             std::to_string(b[i].start);
  }
  return {};
}

std::string SequenceDifference(const std::vector<int>& a, const std::vector<int>& b) {
  if (a == b) return {};
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return "progress sequences differ at call " + std::to_string(i) + " (" +
         std::to_string(a.size()) + " vs " + std::to_string(b.size()) + " calls)";
}

std::string TextDifference(const Result<ByteString>& a, const Result<ByteString>& b) {
  if (auto d = ErrorDifference(a, b); !d.empty() || !a.ok()) return d;
  if (a->size() != b->size())
    return "length " + std::to_string(a->size()) + " vs " + std::to_string(b->size());
  const auto diff = std::mismatch(a->begin(), a->end(), b->begin());
  if (diff.first != a->end())
    return "first difference at byte " + std::to_string(diff.first - a->begin());
  return {};
}

}  // namespace quorvex::testing
