// Overwriting bytes of a file in place, only where the pattern is at that moment.
#pragma once

#include "engine/pattern_bytes.h"

#include <cstdint>

enum class WriteResult {
    Written,       // every byte written and flushed to the disk
    Failed,        // nothing written, or all of it put back: the file is as it was
    LeftChanged,   // the write failed and the file could not be put back as it was
    PatternMoved,  // the file no longer holds the pattern at the offset: nothing written
};

// Writes the replacement at offset of the file at path (8-bit, ANSI code page), in place:
// nothing is inserted or deleted; a write past the end lengthens the file. The bytes
// are written only if the file holds expected at offset when they are, checked through
// the handle that writes them while the range is locked against other writers: any
// program may have changed the file since it was searched. An empty expected or
// replacement writes nothing. A write that fails half way is undone with the bytes and
// the length read under the lock, and the undoing is checked by reading them again.
WriteResult WriteReplacement(const char* path, int64_t offset, const PatternBytes& expected,
                             const PatternBytes& replacement);
