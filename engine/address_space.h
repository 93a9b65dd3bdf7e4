// How much address space the process has, as the system reports it.
#pragma once

// True where the process has at most the 4 GiB of a 32-bit process, much of it taken
// by the program, its threads' stacks and the system's own DLLs: there the views a
// search maps must be kept few. Asked of the system at run time rather than decided by
// the build, so every build follows the rules of the process it runs in.
bool AddressSpaceIsShort();
