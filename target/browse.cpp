// Picking the target with the system's file-open dialog or folder browser.
#include "app/replace_dlg.h"

void CReplaceDlg::OnBrowse() {}
