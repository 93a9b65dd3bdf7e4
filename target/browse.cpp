// Picking the target with the system's file-open dialog or folder browser.
//
// Both dialogs are used through their wide interfaces: the program's own texts then read
// the same whatever the ANSI code page, and a path passes through unchanged. The path is
// held in g_szText, used as UTF-16 text.
#include "app/replace_dlg.h"

#include "app/static_buffers.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cstddef>
#include <memory>

namespace {

constexpr wchar_t kFolderTitle[] = L"选择路径";
// One pair, "全部文件" / "*.*", ended by a second zero (the literal's own).
constexpr wchar_t kFilter[] = L"全部文件\0*.*\0";
// The record as the dialog knew it before the fields added for later systems
// (OPENFILENAME_SIZE_VERSION_400W): 76 bytes on 32-bit Windows.
constexpr DWORD kOpenFileNameSize = offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR);
#ifndef _WIN64
static_assert(kOpenFileNameSize == 76, "the old record size on 32-bit Windows");
#endif

// Frees what the shell allocated for the caller.
struct TaskMemFree {
    void operator()(void* memory) const { ::CoTaskMemFree(memory); }
};

// Up to 259 code units and a terminator.
wchar_t* PathBuffer()
{
    static_assert(kStaticBufferSize / sizeof(wchar_t) >= kFieldReadCapacity, "room for a path");
    return reinterpret_cast<wchar_t*>(g_szText);
}

// Centres the browser over the main dialog and opens it at the path in lpData.
int CALLBACK BrowseCallbackProc(HWND hwnd, UINT uMsg, LPARAM, LPARAM lpData)
{
    if (uMsg == BFFM_INITIALIZED) {
        CWnd browser;
        browser.Attach(hwnd);
        browser.CenterWindow();
        browser.Detach();
        ::SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, lpData);
    }
    return 0;
}

}  // namespace

void CReplaceDlg::OnBrowse()
{
    // During a run, no box but the run's own (a press sent by another program).
    if (m_bRunning)
        return;
    if (IsChecked(IDC_OPEN_DIR))
        BrowseForFolder();
    else
        BrowseForFile();
}

void CReplaceDlg::BrowseForFolder()
{
    wchar_t* const path = PathBuffer();
    ReadTextW(IDC_PATH, path);

    BROWSEINFOW info{};
    info.hwndOwner = m_hWnd;
    info.lpszTitle = kFolderTitle;  // above the tree; the caption stays the system's
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallbackProc;
    info.lParam = reinterpret_cast<LPARAM>(path);

    const std::unique_ptr<ITEMIDLIST, TaskMemFree> item(::SHBrowseForFolderW(&info));
    if (!item)
        return;
    ::SHGetPathFromIDListW(item.get(), path);
    SetTextW(IDC_PATH, path);
}

void CReplaceDlg::BrowseForFile()
{
    wchar_t* const path = PathBuffer();
    // A drive root or less is no file name to start from.
    if (TextLength(IDC_PATH) > 3)
        ReadTextW(IDC_PATH, path);
    else
        path[0] = L'\0';

    OPENFILENAMEW ofn{};
    ofn.lStructSize = kOpenFileNameSize;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = kFilter;
    ofn.lpstrFile = path;
    ofn.nMaxFile = kFieldReadCapacity;
    ofn.Flags = OFN_FORCESHOWHIDDEN | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!::GetOpenFileNameW(&ofn))
        return;
    SetTextW(IDC_PATH, path);
}
