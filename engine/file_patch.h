// Overwriting bytes of a file in place.
#pragma once

#include <cstdint>

// Writes count bytes at offset of the file at path (8-bit, ANSI code page), in place:
// nothing is inserted or deleted; a write past the end lengthens the file. True only
// when the file was opened for update and the write and the close all succeeded.
bool WriteReplacement(const char* path, int64_t offset, const void* bytes, int32_t count);
