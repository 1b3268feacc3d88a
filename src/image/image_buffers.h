#pragma once
// The BIN image: 2048 raw bytes, byte n is device address n.

#include <array>
#include <cstdint>

namespace bw {

inline constexpr int kImageSize = 2048;
inline constexpr int kBlockSize = 256;
inline constexpr int kBlockCount = 8;
inline constexpr int FactoryRecordOffset = 160;
inline constexpr int kFactoryRecordSize = 12;

using Image = std::array<std::uint8_t, kImageSize>;
using FactoryRecordBytes = std::array<std::uint8_t, kFactoryRecordSize>;

}  // namespace bw
