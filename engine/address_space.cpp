#include "engine/address_space.h"

#include <windows.h>

#include <cstdint>

bool AddressSpaceIsShort()
{
    // The highest address a program may use: just under 2, 3 or 4 GiB for a 32-bit
    // process, terabytes for a 64-bit one.
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    const auto highest = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(info.lpMaximumApplicationAddress));
    return highest < uint64_t{4} << 30;
}
