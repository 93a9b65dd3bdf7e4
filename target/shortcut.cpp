#include "target/shortcut.h"

#include "framework/com.h"
#include "app/static_buffers.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>


HRESULT ResolveShortcut(HWND hwnd, const char* linkPath, char* outPath)
{
    const CComInit com;
    outPath[0] = '\0';

    CComPtr<IShellLinkA> link;
    HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.Out());
    if (FAILED(hr))
        return hr;
    CComPtr<IPersistFile> file;
    hr = link->QueryInterface(IID_IPersistFile, file.Out());
    if (FAILED(hr))
        return hr;
    wchar_t wideLink[kFieldReadCapacity] = {};
    ::MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wideLink, kFieldReadCapacity);
    hr = file->Load(wideLink, STGM_READ);
    if (SUCCEEDED(hr))
        hr = link->Resolve(hwnd, 0);
    if (FAILED(hr))
        return hr;
    // The target as stored: environment references stay unexpanded.
    char target[kFieldReadCapacity] = {};
    WIN32_FIND_DATAA found;
    link->GetPath(target, kFieldReadCapacity, &found, SLGP_RAWPATH);
    char description[kFieldReadCapacity];
    hr = link->GetDescription(description, kFieldReadCapacity);
    ::lstrcpyA(outPath, target);
    return hr;
}
