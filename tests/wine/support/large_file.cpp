#include "tests/wine/support/large_file.h"

#include <windows.h>
#include <winioctl.h>

namespace {

HANDLE Open(const std::string& path, DWORD access, DWORD disposition = OPEN_EXISTING)
{
    return ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition, 0, nullptr);
}

bool Seek(HANDLE file, int64_t offset)
{
    LARGE_INTEGER pos;
    pos.QuadPart = offset;
    return ::SetFilePointerEx(file, pos, nullptr, FILE_BEGIN) != FALSE;
}

}  // namespace

void MakeSparseFile(const std::string& path, int64_t size)
{
    HANDLE file = Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE)
        return;
    // Without this, the file system would have to write zeros up to every byte a test
    // writes far into the file.
    DWORD got = 0;
    ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &got, nullptr);
    if (Seek(file, size))
        ::SetEndOfFile(file);
    ::CloseHandle(file);
}

void WriteBytesAt(const std::string& path, int64_t offset, const Bytes& bytes)
{
    HANDLE file = Open(path, GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD put = 0;
    if (Seek(file, offset))
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    ::CloseHandle(file);
}

Bytes ReadBytesAt(const std::string& path, int64_t offset, size_t count)
{
    Bytes bytes(count);
    DWORD got = 0;
    HANDLE file = Open(path, GENERIC_READ);
    if (file != INVALID_HANDLE_VALUE) {
        if (Seek(file, offset))
            ::ReadFile(file, bytes.data(), static_cast<DWORD>(count), &got, nullptr);
        ::CloseHandle(file);
    }
    bytes.resize(got);
    return bytes;
}

int64_t FileLength(const std::string& path)
{
    HANDLE file = Open(path, FILE_READ_ATTRIBUTES);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    LARGE_INTEGER size;
    const bool known = ::GetFileSizeEx(file, &size) != FALSE;
    ::CloseHandle(file);
    return known ? size.QuadPart : -1;
}

const std::string& SharedLargeFile()
{
    static TempDir dir;
    static const std::string path = [] {
        const std::string p = dir / "shared-large.bin";
        MakeSparseFile(p, kLargeFileBytes);
        return p;
    }();
    return path;
}
