#include "common/identity_check.h"

#include <time.h>

#include <chrono>

#include "common/literal_scans.h"
#include "common/same_results.h"
#include "common/windowed_file.h"
#include "script/overview.h"
#include "support/reference_scans.h"

namespace quorvex::bench {
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

// The literal scans over `windows` against the fast results.
// CPU time of this thread (user and system): the literal scans spend it in the read calls.
// (Windows builds only run the identity checks; wall time is good enough there.)
double ThreadSeconds() {
#ifdef _WIN32
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
#else
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
#endif
}

double SecondsSince(double start) {
  return ThreadSeconds() - start;
}

std::uint64_t ReadsOf(const MemoryWindows&) {
  return 0;
}
std::uint64_t ReadsOf(const FileWindows& file) {
  return file.reads();
}

template <class Windows>
void CompareLiteral(const Windows& windows, const std::string& label, LiteralFileTimings* timings,
                    const Result<Catalogue>& fast, const std::vector<int>& fastProgress,
                    const ObjectScanResult& fastObjects, const std::vector<ModelName>& fastModels,
                    const std::vector<int>& fastModelProgress,
                    const Result<ByteString>& fastOverview, std::vector<std::string>& out) {
  LiteralFileTimings unused;
  LiteralFileTimings& t = timings ? *timings : unused;
  std::vector<int> progress;
  auto start = ThreadSeconds();
  std::uint64_t reads = ReadsOf(windows);
  const auto catalogue = LiteralScanCatalogue(windows, {}, &progress);
  t.catalogue = SecondsSince(start);
  t.catalogueReads = ReadsOf(windows) - reads;
  Note(out, "catalogue vs literal (" + label + ")", CatalogueDifference(fast, catalogue));
  Note(out, "catalogue progress vs literal (" + label + ")",
       SequenceDifference(fastProgress, progress));

  start = ThreadSeconds();
  const auto objects = LiteralScanObjectParameters(windows, RowNames(fast));
  t.objects = SecondsSince(start);
  Note(out, "object parameters vs literal (" + label + ")",
       ObjectScanDifference(fastObjects, objects));

  std::vector<int> modelProgress;
  start = ThreadSeconds();
  reads = ReadsOf(windows);
  const auto models = LiteralListSceneModels(windows, &modelProgress);
  t.listing = SecondsSince(start);
  t.listingReads = ReadsOf(windows) - reads;
  Note(out, "model listing vs literal (" + label + ")", ModelListDifference(fastModels, models));
  Note(out, "model listing progress vs literal (" + label + ")",
       SequenceDifference(fastModelProgress, modelProgress));
  if (fast.ok()) {
    start = ThreadSeconds();
    const auto overview = LiteralBuildScriptOverview(windows, *fast);
    t.overview = SecondsSince(start);
    Note(out, "overview vs literal (" + label + ")", TextDifference(fastOverview, overview));
  }
}

}  // namespace

std::vector<std::string> IdentityDifferences(const Bytes& scene, const IdentityOptions& options) {
  std::vector<std::string> out;
  const SceneImage image(scene);

  std::vector<int> fastProgress;
  CatalogueHooks hooks;
  hooks.progress = [&](int count) { fastProgress.push_back(count); };
  const auto fast = ScanCatalogue(image, {}, hooks);
  const auto names = RowNames(fast);
  const auto fastObjects = ScanObjectParameters(image, names);
  std::vector<int> fastModelProgress;
  ModelListingHooks listingHooks;
  listingHooks.progress = [&](int value) { fastModelProgress.push_back(value); };
  const auto fastModels = ListSceneModels(image, listingHooks);
  const Result<ByteString> fastOverview =
      fast.ok() ? BuildScriptOverview(image, *fast) : Result<ByteString>(fast.error());

  // The project's own literal reference (one window read per position in memory).
  std::vector<int> refProgress;
  CatalogueHooks refHooks;
  refHooks.progress = [&](int count) { refProgress.push_back(count); };
  Note(out, "catalogue vs reference",
       CatalogueDifference(fast, testing::ReferenceScanCatalogue(image, {}, refHooks)));
  Note(out, "catalogue progress vs reference", SequenceDifference(fastProgress, refProgress));
  Note(out, "object parameters vs reference",
       ObjectScanDifference(fastObjects, testing::ReferenceScanObjectParameters(image, names)));
  std::vector<int> refModelProgress;
  Note(
      out, "model listing vs reference",
      ModelListDifference(fastModels, testing::ReferenceListSceneModels(image, &refModelProgress)));
  Note(out, "model listing progress vs reference",
       SequenceDifference(fastModelProgress, refModelProgress));

  CompareLiteral(MemoryWindows(scene), "memory", nullptr, fast, fastProgress, fastObjects,
                 fastModels, fastModelProgress, fastOverview, out);
  if (options.file) {
    const FileWindows file(*options.file);
    if (file.length() != image.length()) {
      out.push_back("the file does not hold the scene's bytes");
    } else {
      CompareLiteral(file, "file reads", options.timings, fast, fastProgress, fastObjects,
                     fastModels, fastModelProgress, fastOverview, out);
    }
  }
  return out;
}

}  // namespace quorvex::bench
