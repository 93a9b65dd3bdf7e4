// Paths offered from outside the dialog: the command line and drops.
#include "app/replace_dlg.h"

#include "pattern/static_buffers.h"

#include <shellapi.h>

void CReplaceDlg::SetTargetPath(const char* path)
{
    const DWORD attributes = ::GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetCheck(IDC_OPEN_DIR, (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0);
    SetText(IDC_PATH, path);
}

void CReplaceDlg::OnDropFiles(HDROP drop)
{
    Default();
    if (::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) != 0) {
        ::DragQueryFileA(drop, 0, g_szText, kFieldReadCapacity);
        SetTargetPath(g_szText);
    }
    ::DragFinish(drop);
}
