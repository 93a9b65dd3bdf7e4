#include "tests/wine/support/beep_counter.h"

namespace {

// The import address table slot of this program that holds target, or nullptr.
FARPROC* FindImportSlot(FARPROC target)
{
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0)
        return nullptr;
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
        for (auto* slot = reinterpret_cast<FARPROC*>(base + imp->FirstThunk); *slot; ++slot) {
            if (*slot == target)
                return slot;
        }
    }
    return nullptr;
}

void WriteSlot(FARPROC* slot, FARPROC value)
{
    DWORD old = 0;
    ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    *slot = value;
    ::VirtualProtect(slot, sizeof *slot, old, &old);
}

}  // namespace

int BeepCounter::s_count = 0;
UINT BeepCounter::s_lastType = 0;

BeepCounter::BeepCounter()
{
    s_count = 0;
    s_lastType = 0;
    m_original = ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "MessageBeep");
    m_slot = FindImportSlot(m_original);
    if (m_slot)
        WriteSlot(m_slot, reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&BeepCounter::Counted)));
}

BeepCounter::~BeepCounter()
{
    if (m_slot)
        WriteSlot(m_slot, m_original);
}

BOOL WINAPI BeepCounter::Counted(UINT type)
{
    ++s_count;
    s_lastType = type;
    return TRUE;
}
