#include "tests/wine/support/test_files.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

Bytes BytesOf(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

std::wstring Wide(const std::string& ansi)
{
    wchar_t buf[1024] = {};
    ::MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, buf, 1024);
    return buf;
}

Bytes ReadFileBytes(const std::wstring& path)
{
    Bytes bytes;
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return bytes;
    LARGE_INTEGER size{};
    ::GetFileSizeEx(h, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty())
        ::ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    bytes.resize(got);
    ::CloseHandle(h);
    return bytes;
}

Bytes ReadFileBytes(const std::string& path)
{
    return ReadFileBytes(Wide(path));
}

void WriteFileBytes(const std::wstring& path, const Bytes& bytes)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    if (!bytes.empty())
        ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    ::CloseHandle(h);
}

void WriteFileBytes(const std::string& path, const Bytes& bytes)
{
    WriteFileBytes(Wide(path), bytes);
}

bool FileExists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// Wide throughout, so names the ANSI code page cannot spell are removed too.
void RemoveTree(const std::wstring& dir)
{
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = dir + L"\\" + name;
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            // A link is removed, never followed.
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(path);
            else if (!::DeleteFileW(path.c_str()))
                ::RemoveDirectoryW(path.c_str());
        } while (::FindNextFileW(find, &fd));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(dir.c_str());
}

}  // namespace

void RemoveTree(const std::string& dir)
{
    RemoveTree(Wide(dir));
}

TempDir::TempDir()
{
    static std::atomic<int> counter{0};
    char base[MAX_PATH];
    ::GetTempPathA(MAX_PATH, base);
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%sbytewren-test-%lu-%d", base, ::GetCurrentProcessId(), counter++);
    m_path = name;
    RemoveTree(m_path);
    ::CreateDirectoryA(m_path.c_str(), nullptr);
}

TempDir::~TempDir()
{
    RemoveTree(m_path);
}

std::string TempDir::Dir(const std::string& name) const
{
    std::string path = m_path;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('\\', start);
        if (end == std::string::npos)
            end = name.size();
        path += "\\" + name.substr(start, end - start);
        ::CreateDirectoryA(path.c_str(), nullptr);
        start = end + 1;
    }
    return path;
}

std::string TempDir::File(const std::string& name, const Bytes& content) const
{
    const size_t slash = name.rfind('\\');
    if (slash != std::string::npos)
        Dir(name.substr(0, slash));
    const std::string path = m_path + "\\" + name;
    WriteFileBytes(path, content);
    return path;
}
