#include "engine/file_patch.h"

#include <windows.h>

bool WriteReplacement(const char* path, int64_t offset, const void* bytes, int32_t count)
{
    // Shared like a C runtime update stream, so other readers of the file are not refused.
    HANDLE file = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;

    LARGE_INTEGER pos;
    pos.QuadPart = offset;
    DWORD written = 0;
    bool ok = ::SetFilePointerEx(file, pos, nullptr, FILE_BEGIN) &&
              (count <= 0 || (::WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr) &&
                              written == static_cast<DWORD>(count)));
    ok = ::CloseHandle(file) && ok;
    return ok;
}
