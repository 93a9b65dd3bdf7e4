// How a file offset is shown to the user: "0x" and upper-case hex digits, at least
// eight of them, more only for offsets of 4 GiB and beyond.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the text and a terminator into out (at least 19 bytes); returns its length.
size_t FormatOffset(uint64_t offset, char* out);
