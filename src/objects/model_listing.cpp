#include "objects/model_listing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

namespace quorvex {
namespace {

constexpr Pos kYieldEvery = 256 * 1024;

// The progress of the listing: at every position p that the loop visits, if p > k * step the bar
// is set to k + 1 and k grows by 1. For a given k this holds from the threshold position
// floor(k * step) + 1 on (k * step >= 0 is a double; every integer p is exact in a double).
class ListingProgress {
 public:
  ListingProgress(double step, const std::function<void(int)>& hook) : step_(step), hook_(hook) {
    if (hook_) hook_(1);
    next_ = threshold();
  }

  // The turns at every position first .. last, in order.
  void turns(Pos first, Pos last) {
    Pos p = first;
    while (p <= last) {
      if (next_ > last) return;
      if (p < next_) p = next_;
      if (hook_) hook_(k_ + 1);
      ++k_;
      next_ = threshold();
      ++p;
    }
  }

 private:
  Pos threshold() const {
    return static_cast<Pos>(std::floor(static_cast<double>(k_) * step_)) + 1;
  }

  double step_;
  const std::function<void(int)>& hook_;
  int k_ = 1;
  Pos next_ = 0;
};

}  // namespace

Result<std::vector<ModelName>> ListSceneModels(const SceneImage& image,
                                               const ModelListingHooks& hooks) {
  std::vector<ModelName> names;
  const Pos length = image.length();
  ListingProgress progress(static_cast<double>(length) / 100.0, hooks.progress);

  // The walk back of each find: the name starts after the last non-name byte before the dot. The
  // finds come in file order, so the bytes before an earlier find need not be walked again: they
  // gave `lastStop`, the last non-name byte at or before `walkedTo` (0 = none, the name then
  // starts at position 1). No walk goes further back than the longest name allows.
  Pos lastStop = 0;
  Pos walkedTo = 0;

  Pos p = 1;  // the next position the loop visits
  Pos blockEnd = std::min(length, kYieldEvery);
  while (p <= length) {
    if (p > blockEnd) {  // a new block of the file: let the window service its events
      if (hooks.yield) hooks.yield();
      blockEnd = std::min(length, blockEnd + kYieldEvery);
      continue;
    }
    // Dots whose ".i3d" ends inside the file, in positions p .. blockEnd.
    const Pos lastDot = std::min(blockEnd, length - 3);
    const auto found = FindBytes(image, p, lastDot + 3, ".i3d");
    if (!found) {
      // No find in this block: every position up to its end is a plain turn.
      progress.turns(p, blockEnd);
      p = blockEnd + 1;
      continue;
    }
    const Pos dot = *found;
    progress.turns(p, dot);  // the turn at the dot checks progress before it reads
    const Pos end = dot + 3;
    // The earliest stop that still leaves a name of at most kMaxModelNameLength bytes.
    const Pos earliestStop = end - kMaxModelNameLength;
    Pos stop = -1;
    const Pos lowest = std::max(walkedTo + 1, earliestStop);
    for (Pos q = dot - 1; q >= lowest && q >= 1; --q) {
      if (!IsModelNameByte(*image.byteAt(q))) {
        stop = q;
        break;
      }
    }
    if (stop < 0) {
      // Every byte looked at belongs to the name: the stop is the one found before walkedTo, when
      // the walk reached it, or else lies too far back for a model name.
      stop = walkedTo + 1 >= earliestStop ? lastStop : earliestStop - 1;
    }
    lastStop = stop;
    walkedTo = dot - 1;
    const Pos start = stop + 1;
    if (end - start + 1 <= kMaxModelNameLength) {
      names.push_back(ModelName{start, end - start + 1});
      if (hooks.found) hooks.found(names.back());
    }
    p = end + 1;  // continue with p = e, then the step of 1
  }
  return CheckedRead(image, Result<std::vector<ModelName>>(std::move(names)));
}

Result<ByteString> ModelNameText(const SceneImage& image, const ModelName& name) {
  return CheckedRead(
      image, Result<ByteString>(image.bytesAt(name.start, name.length).value_or(ByteString())));
}

}  // namespace quorvex
