#include "literal_timings.h"

#include <time.h>

#include <chrono>
#include <string_view>

#include "support/identity_check.h"

namespace quorvex::bench {
namespace {

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

}  // namespace

std::vector<std::string> TimedIdentityDifferences(const Bytes& scene,
                                                  const std::filesystem::path& file,
                                                  LiteralFileTimings& timings) {
  testing::IdentityOptions options;
  options.file = file;
  // Each mark ends the scan before it.
  std::string_view running;
  double start = 0;
  std::uint64_t readsAtStart = 0;
  options.onFileScan = [&](std::string_view scan, std::uint64_t reads) {
    const double seconds = ThreadSeconds() - start;
    if (running == "catalogue") {
      timings.catalogue = seconds;
      timings.catalogueReads = reads - readsAtStart;
    } else if (running == "objects") {
      timings.objects = seconds;
    } else if (running == "listing") {
      timings.listing = seconds;
      timings.listingReads = reads - readsAtStart;
    } else if (running == "overview") {
      timings.overview = seconds;
    }
    running = scan;
    readsAtStart = reads;
    start = ThreadSeconds();
  };
  return testing::IdentityDifferences(scene, options);
}

}  // namespace quorvex::bench
