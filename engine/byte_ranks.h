// How common each byte value is in the data the tool is pointed at: 0 for the rarest,
// 255 for the most common (engine/byte_ranks.cpp, made by scripts/make_byte_ranks.py).
// Pure byte data: no Windows headers.
#pragma once

#include <cstdint>

extern const uint8_t kByteRank[256];
