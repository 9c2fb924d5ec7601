#include "support/identity_check.h"

#include "objects/model_listing.h"
#include "scene/catalogue.h"
#include "scene/object_params.h"
#include "scene/scene_file.h"
#include "script/overview.h"
#include "support/counting_source.h"
#include "support/literal_scans.h"
#include "support/same_results.h"

namespace quorvex::testing {
namespace {

std::vector<ByteString> RowNames(const Result<Catalogue>& catalogue) {
  std::vector<ByteString> names;
  if (catalogue.ok())
    for (const auto& row : catalogue->rows) names.push_back(row.name);
  return names;
}

void Note(std::vector<std::string>& out, const std::string& what, const std::string& difference) {
  if (!difference.empty()) out.push_back(what + ": " + difference);
}

// What the fast scans gave, with their hook calls.
struct FastResults {
  Result<Catalogue> catalogue = Catalogue{};
  std::vector<int> progress;
  ObjectScanResult objects;
  int objectYields = 0;
  std::vector<int> objectProgress;
  std::vector<ModelName> models;
  std::vector<int> modelProgress;
  Result<ByteString> overview = ByteString();
};

FastResults ScanFast(const SceneImage& image) {
  FastResults fast;
  CatalogueHooks hooks;
  hooks.progress = [&](int count) { fast.progress.push_back(count); };
  fast.catalogue = ScanCatalogue(image, {}, hooks);
  ObjectScanHooks objectHooks;
  objectHooks.yield = [&] { ++fast.objectYields; };
  objectHooks.progress = [&](int count) { fast.objectProgress.push_back(count); };
  auto objects = ScanObjectParameters(image, RowNames(fast.catalogue), objectHooks);
  if (objects) fast.objects = std::move(*objects);
  if (!objects) fast.objects.error = objects.error();
  ModelListingHooks listingHooks;
  listingHooks.progress = [&](int value) { fast.modelProgress.push_back(value); };
  fast.models = ListSceneModels(image, listingHooks).value();
  fast.overview = fast.catalogue.ok() ? BuildScriptOverview(image, *fast.catalogue)
                                      : Result<ByteString>(fast.catalogue.error());
  return fast;
}

// The literal scans over `source` against the fast results; `onScan` (when set) is told as each
// scan begins and after the last.
void CompareLiteral(const ByteSource& bytes, const std::string& label,
                    const IdentityOptions::ScanObserver& onScan, const FastResults& fast,
                    std::vector<std::string>& out) {
  const CountingSource source(bytes);
  const auto mark = [&](std::string_view scan) {
    if (onScan) onScan(scan, source.reads());
  };
  const std::string vs = " vs literal (" + label + ")";

  std::vector<int> progress;
  CatalogueHooks hooks;
  hooks.progress = [&](int count) { progress.push_back(count); };
  mark("catalogue");
  const auto catalogue = LiteralScanCatalogue(source, {}, hooks);
  Note(out, "catalogue" + vs, CatalogueDifference(fast.catalogue, catalogue));
  Note(out, "catalogue progress" + vs, SequenceDifference(fast.progress, progress));

  int yields = 0;
  std::vector<int> objectProgress;
  ObjectScanHooks objectHooks;
  objectHooks.yield = [&] { ++yields; };
  objectHooks.progress = [&](int count) { objectProgress.push_back(count); };
  mark("objects");
  const auto objects = LiteralScanObjectParameters(source, RowNames(fast.catalogue), objectHooks);
  Note(out, "object parameters" + vs, ObjectScanDifference(fast.objects, objects));
  if (yields != fast.objectYields) {
    Note(out, "object parameter yields" + vs,
         std::to_string(fast.objectYields) + " vs " + std::to_string(yields));
  }
  Note(out, "object parameter progress" + vs,
       SequenceDifference(fast.objectProgress, objectProgress));

  std::vector<int> modelProgress;
  mark("listing");
  const auto models = LiteralListSceneModels(source, &modelProgress);
  Note(out, "model listing" + vs, ModelListDifference(fast.models, models));
  Note(out, "model listing progress" + vs, SequenceDifference(fast.modelProgress, modelProgress));

  if (fast.catalogue.ok()) {
    mark("overview");
    const auto overview = LiteralBuildScriptOverview(source, *fast.catalogue);
    Note(out, "overview" + vs, TextDifference(fast.overview, overview));
  }
  mark("");
}

}  // namespace

std::vector<std::string> IdentityDifferences(const Bytes& scene, const IdentityOptions& options) {
  std::vector<std::string> out;
  const MemorySource memory(scene);
  const FastResults fast = ScanFast(SceneImage(memory));
  CompareLiteral(memory, "memory", nullptr, fast, out);
  if (options.file) {
    const auto file = SceneFile::Open(*options.file);
    if (!file) {
      out.push_back("the scene file cannot be read: " + file.error().message);
    } else if ((*file)->size() != scene.size()) {
      out.push_back("the file does not hold the scene's bytes");
    } else {
      CompareLiteral(**file, "file reads", options.onFileScan, fast, out);
    }
  }
  return out;
}

}  // namespace quorvex::testing
