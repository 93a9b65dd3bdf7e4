// Searching a file on disk for the first occurrence of a pattern.
#pragma once

#include <windows.h>

#include <cstdint>

// Bytes mapped at a time. Files up to this size are searched through one view of the
// whole file; larger ones through views of this size that slide along the file, so
// the address space a search takes stays bounded whatever the file's size.
constexpr int64_t kSearchViewBytes = 32 << 20;

// Length of an open file in bytes, or -1 when it cannot be read.
int64_t QueryFileLength(HANDLE file);

// Offset of the first occurrence of pattern (n bytes) in the file at path,
// SEARCH_NOT_FOUND, or SEARCH_OPEN_FAILED when the file cannot be opened or read.
int64_t SearchFile(const char* path, const unsigned char* pattern, int32_t n);

// Searches the first length bytes of an open file. The mapping is made exactly
// length bytes long, so the search never reaches past what was measured, however
// the file changes meanwhile. The caller keeps ownership of file.
int64_t SearchOpenFile(HANDLE file, int64_t length, const unsigned char* pattern, int32_t n);
