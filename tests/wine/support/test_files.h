// Files and folders for tests, made in a fresh folder under the temp directory.
#pragma once

#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

Bytes BytesOf(const std::string& text);
// 8-bit text of the ANSI code page as UTF-16.
std::wstring Wide(const std::string& ansi);
// Files are named in UTF-16; 8-bit names are in the ANSI code page.
Bytes ReadFileBytes(const std::wstring& path);
Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::wstring& path, const Bytes& bytes);
void WriteFileBytes(const std::string& path, const Bytes& bytes);
bool FileExists(const std::string& path);
// Removes a folder and everything in it; a link is removed, never followed.
void RemoveTree(const std::string& dir);

// A folder that exists for the life of the object; removed with its contents after.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // Full path of a name inside the folder ("a\\b.bin"); sub-folders are made as needed.
    std::string File(const std::string& name, const Bytes& content) const;
    std::string Dir(const std::string& name) const;
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};
