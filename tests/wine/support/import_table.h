// Points this executable's imports of a system function at a function of the test
// program's: how the tests make system calls fail and the bench leaves one out.
#pragma once

#include <windows.h>

#include <cstdint>

// Every entry of the import table that holds dll!name now holds fake; saved gets the
// real function.
template <class F>
void PointImportAt(F& saved, const char* dll, const char* name, F fake)
{
    const FARPROC proc = ::GetProcAddress(::GetModuleHandleA(dll), name);
    saved = reinterpret_cast<F>(reinterpret_cast<void*>(proc));
    auto* base = reinterpret_cast<unsigned char*>(::GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
        for (auto* slot = reinterpret_cast<uintptr_t*>(base + d->FirstThunk); *slot; ++slot) {
            if (*slot != reinterpret_cast<uintptr_t>(proc))
                continue;
            DWORD old = 0;
            ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
            *slot = reinterpret_cast<uintptr_t>(reinterpret_cast<void*>(fake));
            ::VirtualProtect(slot, sizeof *slot, old, &old);
        }
    }
}
