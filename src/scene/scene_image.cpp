#include "scene/scene_image.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <utility>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUORVEX_SSE2 1
#endif

namespace quorvex {
namespace {

// The first place where `pattern` (two bytes or more) stands in `text`, npos without one. Frequent
// first bytes (a "." in script text, every hundred bytes or so) would stop a search for the first
// byte alone too often: sixteen places at a time are tested for both the first and the last byte
// of the pattern, and only the places where both match are compared whole.
std::size_t Search(std::string_view text, std::string_view pattern) {
  const std::size_t size = pattern.size();
  if (text.size() < size) return std::string_view::npos;
  const std::size_t lastStart = text.size() - size;
  const char* data = text.data();
  std::size_t i = 0;
#ifdef QUORVEX_SSE2
  const __m128i first = _mm_set1_epi8(pattern.front());
  const __m128i last = _mm_set1_epi8(pattern.back());
  for (; i + 15 <= lastStart; i += 16) {
    // The bytes at i .. i + 15 and at i + size - 1 .. i + size + 14 all lie inside `text`.
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + size - 1));
    auto hits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
    while (hits != 0) {
      const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(hits));
      if (std::memcmp(data + at + 1, pattern.data() + 1, size - 2) == 0) return at;
      hits &= hits - 1;
    }
  }
#endif
  for (; i <= lastStart; ++i) {
    if (data[i] == pattern.front() && std::memcmp(data + i + 1, pattern.data() + 1, size - 1) == 0)
      return i;
  }
  return std::string_view::npos;
}

}  // namespace

Status MemorySource::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
  if (offset > bytes_.size() || out.size() > bytes_.size() - offset) {
    return MakeError(ErrorKind::NotReadable, "A read ran past the end of the bytes");
  }
  if (!out.empty()) std::memcpy(out.data(), bytes_.data() + offset, out.size());
  return OkStatus();
}

// A few blocks, least recently used replaced first: enough for a scan that steps forwards and now
// and then looks back a little (a length field, the byte before a candidate marker).
struct SceneImage::Cache {
  static constexpr Pos kBlockSize = SceneImage::kBlockSize;
  static constexpr std::size_t kBlocks = SceneImage::kCachedBlocks;
  struct Block {
    Pos first = 0;  // 1-based position of the block's first byte; 0 = empty slot
    Bytes bytes;
    std::uint64_t lastUse = 0;
  };
  std::array<Block, kBlocks> blocks;
  std::uint64_t clock = 0;
  std::optional<Error> failure;
};

SceneImage::SceneImage() : cache_(std::make_unique<Cache>()) {
  resetRun();
}

SceneImage::SceneImage(std::span<const std::uint8_t> bytes)
    : memory_(bytes), length_(static_cast<Pos>(bytes.size())), cache_(std::make_unique<Cache>()) {
  resetRun();
}

SceneImage::SceneImage(const ByteSource& source)
    : source_(&source),
      memory_(source.memory()),
      length_(static_cast<Pos>(source.size())),
      cache_(std::make_unique<Cache>()) {
  resetRun();
}

SceneImage::SceneImage(const SceneImage& other)
    : source_(other.source_),
      memory_(other.memory_),
      length_(other.length_),
      cache_(std::make_unique<Cache>()) {
  // A copy reads the same source: a failure already met stands for it too.
  cache_->failure = other.readFailure();
  resetRun();
}

SceneImage& SceneImage::operator=(const SceneImage& other) {
  if (this != &other) *this = SceneImage(other);
  return *this;
}

SceneImage::SceneImage(SceneImage&& other) noexcept {
  *this = std::move(other);
}

SceneImage& SceneImage::operator=(SceneImage&& other) noexcept {
  if (this == &other) return *this;
  source_ = std::exchange(other.source_, nullptr);
  memory_ = std::exchange(other.memory_, {});
  length_ = std::exchange(other.length_, 0);
  cache_ = std::move(other.cache_);
  resetRun();
  other.resetRun();  // the moved-from image is empty: it holds no byte and no failure
  return *this;
}
SceneImage::~SceneImage() = default;

void SceneImage::resetRun() const {
  if (!memory_.empty() || length_ == 0) {
    runData_ = memory_.data();
    runFirst_ = 1;
    runEnd_ = memory_.empty() ? 1 : length_ + 1;
  } else {
    runData_ = nullptr;
    runFirst_ = 1;
    runEnd_ = 1;
  }
}

const std::optional<Error>& SceneImage::readFailure() const {
  static const std::optional<Error> kNone;
  return cache_ ? cache_->failure : kNone;
}

const std::uint8_t* SceneImage::load(Pos pos) const {
  if (!memory_.empty()) return memory_.data() + (pos - 1);  // contains(pos, 1) was checked
  Cache& cache = *cache_;
  const Pos first = (pos - 1) / Cache::kBlockSize * Cache::kBlockSize + 1;
  Cache::Block* slot = nullptr;
  for (auto& block : cache.blocks) {
    if (block.first == first) {
      slot = &block;
      break;
    }
  }
  if (slot == nullptr) {
    slot = &*std::min_element(cache.blocks.begin(), cache.blocks.end(),
                              [](const auto& a, const auto& b) { return a.lastUse < b.lastUse; });
    const auto count = static_cast<std::size_t>(std::min(Cache::kBlockSize, length_ - first + 1));
    slot->bytes.resize(count);
    slot->first = first;
    auto read = source_->readAt(static_cast<std::uint64_t>(first - 1), slot->bytes);
    if (!read) {
      std::fill(slot->bytes.begin(), slot->bytes.end(), std::uint8_t{0});
      if (!cache.failure) cache.failure = read.error();
    }
  }
  slot->lastUse = ++cache.clock;
  runData_ = slot->bytes.data();
  runFirst_ = first;
  runEnd_ = first + static_cast<Pos>(slot->bytes.size());
  return runData_ + (pos - first);
}

bool SceneImage::copyOut(Pos pos, Pos count, std::uint8_t* out) const {
  if (!contains(pos, count)) return false;
  if (count == 0) return true;
  if (!memory_.empty()) {
    std::memcpy(out, memory_.data() + (pos - 1), static_cast<std::size_t>(count));
    return true;
  }
  // A long stretch (a script's text) goes straight from the source, past the cache.
  if (count > Cache::kBlockSize) {
    auto read = source_->readAt(static_cast<std::uint64_t>(pos - 1),
                                std::span(out, static_cast<std::size_t>(count)));
    if (!read) {
      std::memset(out, 0, static_cast<std::size_t>(count));
      if (!cache_->failure) cache_->failure = read.error();
    }
    return true;
  }
  while (count > 0) {
    const auto piece = run(pos);
    const auto n = std::min<Pos>(count, static_cast<Pos>(piece.size()));
    std::memcpy(out, piece.data(), static_cast<std::size_t>(n));
    out += n;
    pos += n;
    count -= n;
  }
  return true;
}

std::span<const std::uint8_t> SceneImage::run(Pos pos) const {
  if (!contains(pos, 1)) return {};
  if (!(pos >= runFirst_ && pos < runEnd_)) load(pos);
  return {runData_ + (pos - runFirst_), static_cast<std::size_t>(runEnd_ - pos)};
}

bool SceneImage::forEachRun(Pos pos, Pos count,
                            const std::function<void(std::span<const std::uint8_t>)>& piece) const {
  if (!contains(pos, count)) return false;
  while (count > 0) {
    auto bytes = run(pos);
    if (static_cast<Pos>(bytes.size()) > count)
      bytes = bytes.first(static_cast<std::size_t>(count));
    piece(bytes);
    pos += static_cast<Pos>(bytes.size());
    count -= static_cast<Pos>(bytes.size());
  }
  return true;
}

bool SceneImage::matchAt(Pos pos, std::span<const std::uint8_t> pattern) const {
  const auto count = static_cast<Pos>(pattern.size());
  if (!contains(pos, count)) return false;
  for (Pos i = 0; i < count; ++i) {
    if (*byteAt(pos + i) != pattern[static_cast<std::size_t>(i)]) return false;
  }
  return true;
}

bool SceneImage::windowHasMarker(Pos pos, Pos width, std::uint16_t m) const {
  if (width < 2 || !contains(pos, width)) return false;
  for (Pos i = 0; i + 1 < width; ++i) {
    if (markerAt(pos + i, m)) return true;
  }
  return false;
}

std::optional<std::uint32_t> SceneImage::uint32At(Pos pos) const {
  std::uint8_t p[4];
  if (pos >= runFirst_ && pos + 3 < runEnd_) {
    std::memcpy(p, runData_ + (pos - runFirst_), 4);
  } else if (!copyOut(pos, 4, p)) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::optional<std::int32_t> SceneImage::int32At(Pos pos) const {
  const auto raw = uint32At(pos);
  if (!raw) return std::nullopt;
  return static_cast<std::int32_t>(*raw);
}

std::optional<float> SceneImage::floatAt(Pos pos) const {
  const auto raw = uint32At(pos);
  if (!raw) return std::nullopt;
  return BitsToFloat(*raw);
}

std::optional<ByteString> SceneImage::bytesAt(Pos pos, Pos count) const {
  if (!contains(pos, count)) return std::nullopt;
  ByteString out(static_cast<std::size_t>(count), '\0');
  copyOut(pos, count, reinterpret_cast<std::uint8_t*>(out.data()));
  return out;
}

std::optional<Pos> FindPairWhere(const SceneImage& image, Pos from, std::uint8_t second,
                                 const std::function<bool(std::uint8_t)>& firstIs) {
  Pos at = std::max<Pos>(from, 1) + 1;  // 1-based position of the second byte of a pair at `from`
  while (at <= image.length()) {
    const auto bytes = image.run(at);
    const void* hit = std::memchr(bytes.data(), second, bytes.size());
    if (!hit) {
      at += static_cast<Pos>(bytes.size());
      continue;
    }
    const Pos found = at + (static_cast<const std::uint8_t*>(hit) - bytes.data());
    if (firstIs(*image.byteAt(found - 1))) return found - 1;
    at = found + 1;
  }
  return std::nullopt;
}

std::optional<Pos> FindPairFrom(const SceneImage& image, Pos from, std::uint8_t b0,
                                std::uint8_t b1) {
  return FindPairWhere(image, from, b1, [b0](std::uint8_t first) { return first == b0; });
}

bool BytesAre(const SceneImage& image, Pos pos, std::string_view text) {
  std::size_t done = 0;
  bool same = true;
  const bool inside = image.forEachRun(
      pos, static_cast<Pos>(text.size()), [&](std::span<const std::uint8_t> piece) {
        same = same && std::memcmp(piece.data(), text.data() + done, piece.size()) == 0;
        done += piece.size();
      });
  return inside && same;
}

std::optional<Pos> FindBytes(const SceneImage& image, Pos first, Pos last,
                             std::string_view pattern) {
  const auto size = static_cast<Pos>(pattern.size());
  if (size == 0) return std::nullopt;
  first = std::max<Pos>(first, 1);
  last = std::min(last, image.length());
  const auto bytes =
      std::span(reinterpret_cast<const std::uint8_t*>(pattern.data()), pattern.size());
  Pos x = first;
  while (x + size - 1 <= last) {
    // Inside the run that holds x: a substring search over what lies in the range.
    const auto run = image.run(x);
    const Pos runLast = std::min(x + static_cast<Pos>(run.size()) - 1, last);
    if (runLast - x + 1 >= size) {
      const std::string_view text(reinterpret_cast<const char*>(run.data()),
                                  static_cast<std::size_t>(runLast - x + 1));
      const auto hit = size >= 2 ? Search(text, pattern) : text.find(pattern);
      if (hit != std::string_view::npos) return x + static_cast<Pos>(hit);
      x = runLast - size + 2;
    }
    // The few places where the pattern would run on into the next run.
    for (; x <= runLast && x + size - 1 <= last; ++x) {
      if (image.matchAt(x, bytes)) return x;
    }
  }
  return std::nullopt;
}

void AppendUint32(Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void AppendInt32(Bytes& out, std::int32_t value) {
  AppendUint32(out, static_cast<std::uint32_t>(value));
}

void AppendFloat(Bytes& out, float value) {
  AppendUint32(out, FloatBits(value));
}

void AppendMarker(Bytes& out, std::uint16_t m) {
  out.push_back(marker::Low(m));
  out.push_back(marker::High(m));
}

void AppendText(Bytes& out, const ByteString& text) {
  out.insert(out.end(), text.begin(), text.end());
}

Bytes Int32Bytes(std::int32_t value) {
  Bytes out;
  AppendInt32(out, value);
  return out;
}

std::uint32_t FloatBits(float value) {
  return std::bit_cast<std::uint32_t>(value);
}
float BitsToFloat(std::uint32_t bits) {
  return std::bit_cast<float>(bits);
}

}  // namespace quorvex
