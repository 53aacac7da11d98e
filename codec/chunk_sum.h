// The 32-bit checksum of chunk payloads and of an entry's chained output.
#pragma once

#include <cstdint>

namespace ozr {

// Continues a checksum: the register starts at ~previous, takes each byte's bits least significant
// first, shifts towards bit 31 with generator 0x04C11DB7, and is returned without a final
// complement. A length of zero or less processes nothing.
uint32_t ChunkSumUpdate(uint32_t previous, const uint8_t* data, int32_t length);

// ChunkSumUpdate from 0 (register starting at 0xFFFFFFFF).
inline uint32_t ChunkSum(const uint8_t* data, int32_t length) {
  return ChunkSumUpdate(0, data, length);
}

}  // namespace ozr
