// Overwriting bytes of a file in place, only where the pattern is at that moment.
#pragma once

#include "engine/pattern_bytes.h"

#include <cstdint>

enum class WriteResult {
    Written,       // every byte written, and the file closed
    Failed,        // nothing written, or not all of it: the file keeps its old bytes
    PatternMoved,  // the file no longer holds the pattern at the offset: nothing written
};

// Writes the replacement at offset of the file at path (8-bit, ANSI code page), in place:
// nothing is inserted or deleted; a write past the end lengthens the file. The bytes
// are written only if the file holds expected at offset when they are, checked through
// the handle that writes them while the range is locked against other writers: any
// program may have changed the file since it was searched.
WriteResult WriteReplacement(const char* path, int64_t offset, const PatternBytes& expected,
                             const PatternBytes& replacement);
