#include "tests/wine/support/shortcuts.h"

#include "tests/wine/support/test_files.h"

#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstdint>

namespace {

void Put16(Bytes& b, uint16_t v)
{
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}

void Put32(Bytes& b, uint32_t v)
{
    Put16(b, static_cast<uint16_t>(v));
    Put16(b, static_cast<uint16_t>(v >> 16));
}

void PutText(Bytes& b, const std::string& text, size_t width)
{
    Bytes field(width, 0);
    std::copy(text.begin(), text.end(), field.begin());
    b.insert(b.end(), field.begin(), field.end());
}

}  // namespace

bool MakeShortcut(const std::string& linkPath, const std::string& target)
{
    const HRESULT init = ::CoInitialize(nullptr);
    bool saved = false;
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                     reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->SetPath(Wide(target).c_str())) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            saved = SUCCEEDED(file->Save(Wide(linkPath).c_str(), TRUE));
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init))
        ::CoUninitialize();
    return saved;
}

void WriteRawShortcut(const std::string& linkPath, const std::string& target)
{
    constexpr uint32_t kHasLinkInfo = 0x2, kIsUnicode = 0x80, kHasExpString = 0x200;
    Bytes b;
    // Header: size, the link class, flags, attributes, three times, size, icon, show, hot key.
    Put32(b, 0x4C);
    const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    b.insert(b.end(), clsid, clsid + 16);
    Put32(b, kHasLinkInfo | kIsUnicode | kHasExpString);
    Put32(b, FILE_ATTRIBUTE_NORMAL);
    b.insert(b.end(), 24, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, SW_SHOWNORMAL);
    Put16(b, 0);
    b.insert(b.end(), 10, 0);

    // Link information: a fixed disk volume without label, the local path, no suffix.
    const uint32_t volumeOffset = 0x1C, volumeSize = 0x11;
    const uint32_t pathOffset = volumeOffset + volumeSize;
    const uint32_t suffixOffset = pathOffset + static_cast<uint32_t>(target.size()) + 1;
    Put32(b, suffixOffset + 1);
    Put32(b, 0x1C);
    Put32(b, 1);  // volume and local path present
    Put32(b, volumeOffset);
    Put32(b, pathOffset);
    Put32(b, 0);
    Put32(b, suffixOffset);
    Put32(b, volumeSize);
    Put32(b, DRIVE_FIXED);
    Put32(b, 0x12345678);
    Put32(b, 0x10);
    b.push_back(0);
    b.insert(b.end(), target.begin(), target.end());
    b.push_back(0);
    b.push_back(0);

    // Environment block: the target in 260 ANSI bytes and 260 UTF-16 code units.
    Put32(b, 0x314);
    Put32(b, 0xA0000001);
    PutText(b, target, 260);
    for (wchar_t ch : Wide(target))
        Put16(b, static_cast<uint16_t>(ch));
    b.insert(b.end(), 520 - 2 * Wide(target).size(), 0);
    Put32(b, 0);  // end of the extra data
    WriteFileBytes(linkPath, b);
}
