// Files of several GiB for tests: sparse, so they take next to no disk, and written
// and read only where a test looks.
#pragma once

#include "tests/wine/support/test_files.h"

#include <cstdint>
#include <string>

// Makes path a file of size bytes, all zeros, sparse where the file system allows.
void MakeSparseFile(const std::string& path, int64_t size);
void WriteBytesAt(const std::string& path, int64_t offset, const Bytes& bytes);
// count bytes from offset; fewer when the file ends first.
Bytes ReadBytesAt(const std::string& path, int64_t offset, size_t count);
// Length in bytes, or -1 when the file cannot be opened.
int64_t FileLength(const std::string& path);

// Size of the shared large file: past 5 GiB, and not a whole number of pages.
constexpr int64_t kLargeFileBytes = (5LL << 30) + 3;

// One sparse file of kLargeFileBytes shared by every test of the program, made on
// first use and removed when the program ends. Searching its zeros the first time
// makes the system fill its cache with them, which takes seconds; later searches read
// them from the cache. Each test writes bytes of its own at offsets of its own.
const std::string& SharedLargeFile();
