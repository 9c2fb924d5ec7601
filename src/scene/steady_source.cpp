#include "scene/steady_source.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "scene/write_checks.h"

namespace quorvex {

std::uint64_t Fingerprint(std::span<const std::uint8_t> bytes) {
  constexpr std::uint64_t kOdd = 0x9E3779B97F4A7C15ull;
  std::uint64_t state = bytes.size() * kOdd + 1;
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data() + i, 8);
    state = (state ^ word) * kOdd;
    state ^= state >> 29;
  }
  std::uint64_t tail = 0;
  if (i < bytes.size()) std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
  state = (state ^ tail) * kOdd;
  state ^= state >> 32;
  return state == 0 ? 1 : state;
}

SteadySource::SteadySource(const ByteSource& file, Mode mode)
    : file_(file),
      mode_(mode),
      fingerprints_((file.size() + kBlockSize - 1) / kBlockSize, 0),
      guarded_(mode == Mode::GuardedBlocks ? fingerprints_.size() : 0, false) {}

void SteadySource::guard(std::uint64_t offset, std::uint64_t count) const {
  if (mode_ != Mode::GuardedBlocks || count == 0 || offset >= size()) return;
  const std::uint64_t last = std::min(offset + count, size()) - 1;
  for (std::uint64_t i = offset / kBlockSize; i <= last / kBlockSize; ++i) {
    guarded_[static_cast<std::size_t>(i)] = true;
  }
}

Status SteadySource::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
  const std::uint64_t length = size();
  if (offset > length || out.size() > length - offset) {
    return MakeError(ErrorKind::NotReadable, "A read ran past the end of the scene");
  }
  std::uint64_t at = offset;
  const std::uint64_t end = offset + out.size();
  while (at < end) {
    const std::uint64_t index = at / kBlockSize;
    const std::uint64_t first = index * kBlockSize;
    const std::uint64_t last = std::min(first + kBlockSize, length);  // one past
    const std::uint64_t stop = std::min(end, last);
    if (mode_ == Mode::GuardedBlocks && !guarded_[static_cast<std::size_t>(index)]) {
      const auto part =
          out.subspan(static_cast<std::size_t>(at - offset), static_cast<std::size_t>(stop - at));
      if (auto s = file_.readAt(at, part); !s) return s;
      at = stop;
      continue;
    }
    std::span<std::uint8_t> whole;
    if (at == first && stop == last) {
      whole = out.subspan(static_cast<std::size_t>(at - offset),
                          static_cast<std::size_t>(last - first));
    } else {
      block_.resize(static_cast<std::size_t>(last - first));
      whole = block_;
    }
    if (auto s = file_.readAt(first, whole); !s) return s;
    const std::uint64_t print = Fingerprint(whole);
    auto& known = fingerprints_[static_cast<std::size_t>(index)];
    if (known != 0 && known != print) {
      return MakeError(ErrorKind::ChangedOnDisk,
                       std::string(kChangedOnDiskMessage) + " (its bytes at positions " +
                           std::to_string(first + 1) + " to " + std::to_string(last) +
                           " read differently the second time: another program wrote the file "
                           "while it was read)");
    }
    known = print;
    if (whole.data() == block_.data()) {
      std::memcpy(out.data() + (at - offset), block_.data() + (at - first),
                  static_cast<std::size_t>(stop - at));
    }
    at = stop;
  }
  return OkStatus();
}

}  // namespace quorvex
