// Paths offered from outside the dialog: the command line and drops.
#include "app/replace_dlg.h"

#include "framework/ansi_path.h"
#include "app/static_buffers.h"
#include "target/shortcut.h"

#include <shellapi.h>

#include <cstring>
#include <string>

namespace {

// The index that asks DragQueryFile for the number of items dropped.
constexpr UINT kItemCount = 0xFFFFFFFF;

// A shortcut is named by its extension, taken from the last '.' of the whole path: a
// '.' can never be the trail byte of a double-byte character.
bool IsShortcutName(const char* path)
{
    const char* dot = std::strrchr(path, '.');
    return dot && _stricmp(dot, ".lnk") == 0;
}

}  // namespace

void CReplaceDlg::SetTargetPath(const char* path)
{
    // Longer than a field read can carry: refused as a path that does not exist.
    if (std::strlen(path) >= static_cast<size_t>(kFieldReadCapacity))
        return;
    const DWORD attributes = ::GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;

    char resolved[kStaticBufferSize];
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        SetCheck(IDC_OPEN_DIR, 1);
    } else {
        // Set from the shortcut file itself, whatever its target turns out to be.
        SetCheck(IDC_OPEN_DIR, 0);
        if (IsShortcutName(path)) {
            ResolveShortcut(m_hWnd, path, resolved);
            path = resolved;
        }
    }
    SetText(IDC_PATH, path);
}

void CReplaceDlg::OnDropFiles(HDROP drop)
{
    // Released in every case, as the shell expects of whoever takes the drop.
    const struct Release {
        HDROP drop;
        ~Release() { ::DragFinish(drop); }
    } release{drop};
    Default();
    // During a run the target stays what the run was started with, and no shortcut is
    // resolved (resolving may show the shell's own search for a moved target).
    if (m_bRunning)
        return;
    if (::DragQueryFileW(drop, kItemCount, nullptr, 0) != 0) {
        // Taken as UTF-16 and converted here, never to a look-alike name.
        const UINT units = ::DragQueryFileW(drop, 0, nullptr, 0);
        std::wstring wide(units + 1, L'\0');
        wide.resize(::DragQueryFileW(drop, 0, &wide[0], units + 1));
        const std::string path = AnsiPath(wide);
        // A longer path would have to be cut short, and could name another file.
        if (path.size() < static_cast<size_t>(kFieldReadCapacity)) {
            std::memcpy(g_szText, path.c_str(), path.size() + 1);
            SetTargetPath(g_szText);
        }
    }
}
