// Reading mapped file bytes without ending the process when they cannot be read.
//
// An I/O error while a mapped view is read (a network share dropped, a USB disk pulled,
// a bad sector, a cloud placeholder that fails to download) raises an in-page exception,
// which would end the process. A read run through ReadGuarded that meets one inside its
// range returns false instead; an exception anywhere else is not caught.
#pragma once

#include <cstddef>

// Runs read(arg), which only reads the bytes [begin, begin + size); false when one of
// them could not be read, failedAt (if given) then naming the byte that failed. read
// must not keep anything that needs cleaning up (objects with destructors, locks)
// across a read of those bytes: it is left mid-way. Guarded reads do not nest. Where the
// guard cannot be set up, nothing is read and the first byte counts as failed.
bool ReadGuarded(const void* begin, size_t size, void (*read)(void* arg), void* arg,
                 const void** failedAt = nullptr);
