// The HEX views: canonical text in place, decoding, and reformatting while typing.
#include "app/replace_dlg.h"

#include "pattern/hex_text.h"
#include "app/static_buffers.h"

size_t CReplaceDlg::FormatHexText(char* text)
{
    return ::FormatHexText(text, kStaticBufferSize, g_szWork);
}

int CReplaceDlg::HexTextToBytes(char* buf)
{
    return ::HexTextToBytes(buf, g_szWork);
}

void CReplaceDlg::ReformatHexField(int id)
{
    // One place right of where the user typed, since a space may have been inserted
    // before it; the control clamps the caret to the end of its text.
    DWORD caret = CaretEnd(id);
    if (caret != 0)
        ++caret;
    ReadText(id, g_szText);
    FormatHexText(g_szText);
    SetText(id, g_szText);
    SetCaret(id, caret);
}
