#include "engine/file_patch.h"

#include "app/framework/handle.h"

namespace {

bool WriteAt(HANDLE file, int64_t offset, const unsigned char* bytes, DWORD count)
{
    LARGE_INTEGER pos;
    pos.QuadPart = offset;
    DWORD written = 0;
    return ::SetFilePointerEx(file, pos, nullptr, FILE_BEGIN) &&
           (count == 0 || (::WriteFile(file, bytes, count, &written, nullptr) && written == count));
}

// Gives the file back its old length.
void CutBack(HANDLE file, int64_t length)
{
    LARGE_INTEGER cut;
    cut.QuadPart = length;
    if (::SetFilePointerEx(file, cut, nullptr, FILE_BEGIN))
        ::SetEndOfFile(file);
}

// Writes the bytes; the part past the end of the file first, so that when the disk
// is full the file can be cut back to its old length and keeps its old bytes. A write
// that lengthened the file and then failed in place is cut back the same way.
bool WriteKeepingOldBytesOnFailure(HANDLE file, int64_t offset, const unsigned char* bytes, int32_t count)
{
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size))
        return false;
    const int64_t oldLength = size.QuadPart;
    const bool lengthens = offset + count > oldLength;

    int32_t inPlace = count;
    bool ok = true;
    if (lengthens && oldLength >= offset) {
        inPlace = static_cast<int32_t>(oldLength - offset);
        ok = WriteAt(file, oldLength, bytes + inPlace, static_cast<DWORD>(count - inPlace));
    }
    ok = ok && WriteAt(file, offset, bytes, static_cast<DWORD>(inPlace));
    if (!ok && lengthens)
        CutBack(file, oldLength);
    return ok;
}

}  // namespace

bool WriteReplacement(const char* path, int64_t offset, const void* bytes, int32_t count)
{
    // Shared like a C runtime update stream, so other readers of the file are not refused.
    CHandle file(::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    const bool written =
        count <= 0 || WriteKeepingOldBytesOnFailure(file.Get(), offset, static_cast<const unsigned char*>(bytes), count);
    return file.Close() && written;
}
