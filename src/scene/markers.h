#pragma once
// Chunk markers of scene2.bin. A chunk is a 2-byte marker stored little-endian (low byte first),
// a 32-bit little-endian length that counts the whole chunk including these 6 header bytes, and
// the body. The whole file is one root chunk whose length sits at position 3.

#include <cstdint>

namespace quorvex::marker {

inline constexpr std::uint16_t kObjectsSection = 0x4000;  // one 0x4010 per scene object
inline constexpr std::uint16_t kObject = 0x4010;
inline constexpr std::uint16_t kObjectType = 0x4011;
inline constexpr std::uint16_t kName = 0x0010;
inline constexpr std::uint16_t kTranslation = 0x0020;
inline constexpr std::uint16_t kRotation = 0x0022;
inline constexpr std::uint16_t kSize = 0x002D;
inline constexpr std::uint16_t kFixedVector = 0x002C;
inline constexpr std::uint16_t kSectorLink = 0x4020;
inline constexpr std::uint16_t kBox = 0x4050;
inline constexpr std::uint16_t kModel = 0x2012;
inline constexpr std::uint16_t kDefinitionSection = 0xAE20;  // one 0xAE21 per defined object
inline constexpr std::uint16_t kDefinition = 0xAE21;
inline constexpr std::uint16_t kDefinitionKind = 0xAE22;
inline constexpr std::uint16_t kDefinitionName = 0xAE23;
inline constexpr std::uint16_t kDefinitionParams = 0xAE24;
inline constexpr std::uint16_t kScriptSection = 0xAE50;  // one 0xAE51 per standalone script
inline constexpr std::uint16_t kScript = 0xAE51;

inline constexpr std::uint8_t Low(std::uint16_t m) {
  return static_cast<std::uint8_t>(m & 0xFF);
}
inline constexpr std::uint8_t High(std::uint16_t m) {
  return static_cast<std::uint8_t>(m >> 8);
}

// Size of a chunk header: marker and length.
inline constexpr int kHeaderSize = 6;

// The markers the catalogue scan steps onto: the section headers 0xAE50 and 0xAE20 and the entries
// 0xAE51 and 0xAE21. All four share the high byte 0xAE, so a search for that byte finds every
// candidate. Any byte pair of the file that passes this test is taken for such a marker, whatever
// chunk it lies in: this is the one rule that decides it, for the scan and for the checks that
// judge what a write would make the scan see.
inline constexpr std::uint8_t kScanMarkerHigh = 0xAE;

constexpr bool IsScanMarkerLow(std::uint8_t low) {
  return low == Low(kScriptSection) || low == Low(kScript) || low == Low(kDefinitionSection) ||
         low == Low(kDefinition);
}

constexpr bool IsScanMarker(std::uint8_t low, std::uint8_t high) {
  return high == kScanMarkerHigh && IsScanMarkerLow(low);
}

}  // namespace quorvex::marker
