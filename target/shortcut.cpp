#include "target/shortcut.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

namespace {
constexpr int kPathCapacity = MAX_PATH;  // 260, terminator included
}

HRESULT ResolveShortcut(HWND hwnd, const char* linkPath, char* outPath)
{
    // COM may already be set up on this thread in another mode; then it is not ours to end.
    const HRESULT init = ::CoInitialize(nullptr);
    outPath[0] = '\0';

    IShellLinkA* link = nullptr;
    HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&link));
    if (SUCCEEDED(hr)) {
        IPersistFile* file = nullptr;
        hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        if (SUCCEEDED(hr)) {
            wchar_t wideLink[kPathCapacity] = {};
            ::MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wideLink, kPathCapacity);
            hr = file->Load(wideLink, STGM_READ);
            if (SUCCEEDED(hr))
                hr = link->Resolve(hwnd, 0);
            if (SUCCEEDED(hr)) {
                // The target as stored: environment references stay unexpanded.
                char target[kPathCapacity] = {};
                WIN32_FIND_DATAA found;
                link->GetPath(target, kPathCapacity, &found, SLGP_RAWPATH);
                char description[kPathCapacity];
                hr = link->GetDescription(description, kPathCapacity);
                ::lstrcpyA(outPath, target);
            }
            file->Release();
        }
        link->Release();
    }

    if (SUCCEEDED(init))
        ::CoUninitialize();
    return hr;
}
