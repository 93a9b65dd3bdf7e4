// The four views of each pattern group, kept in step as the user types. The HEX view is
// the hub: an edited text view is turned into hex first, and the other views are then
// derived from the hex, which is what the search and the replacement use.
#include "app/replace_dlg.h"

#include "framework/scoped_flag.h"
#include "pattern/hex_text.h"
#include "app/static_buffers.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace {

// The hex of a UNICODE view covers at most this many code units: 65 give 260 digits,
// one more than a HEX view read keeps.
constexpr size_t kUnicodeUnitsToHex = 65;
// The UTF-8 form of a view is held to what an 8-bit field read could hold.
constexpr int kUtf8Bytes = kFieldReadCapacity - 1;

wchar_t* Wide(char* buffer)
{
    return reinterpret_cast<wchar_t*>(buffer);
}

const unsigned char* Bytes(const void* buffer)
{
    return static_cast<const unsigned char*>(buffer);
}

bool IsHighSurrogate(wchar_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Encodes the longest run of whole characters from the start of text (len code units)
// whose UTF-8 form fits in capacity bytes, into out (capacity + 1 bytes with the
// terminator). Measured character by character: the conversion fails outright when
// the whole text does not fit, and must never split a character.
int Utf8PrefixOf(const wchar_t* text, int len, char* out, int capacity)
{
    int units = 0;
    int bytes = 0;
    while (units < len) {
        const int n = IsHighSurrogate(text[units]) && units + 1 < len && IsLowSurrogate(text[units + 1]) ? 2 : 1;
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, text + units, n, nullptr, 0, nullptr, nullptr);
        if (size <= 0 || bytes + size > capacity)
            break;
        bytes += size;
        units += n;
    }
    const int written =
        units > 0 ? ::WideCharToMultiByte(CP_UTF8, 0, text, units, out, capacity, nullptr, nullptr) : 0;
    out[written] = '\0';
    return written;
}

// Shows the digits collected in g_szWork, in canonical form, as the text of hex.
void ShowHexDigits(CReplaceDlg& dlg, int hex)
{
    std::memcpy(g_szText, g_szWork, std::strlen(g_szWork) + 1);
    dlg.FormatHexText(g_szText);
    dlg.SetText(hex, g_szText);
}

}  // namespace

void CReplaceDlg::AnsiFieldToHex(int src, int hex)
{
    g_szWork[0] = '\0';
    ReadText(src, g_szText);
    // 259 bytes give 518 digits: well within the work buffer.
    HexDigitsOf(Bytes(g_szText), std::strlen(g_szText), g_szWork, kStaticBufferSize);
    ShowHexDigits(*this, hex);
}

void CReplaceDlg::Utf8FieldToHex(int src, int hex)
{
    g_szText[0] = '\0';
    wchar_t* text = Wide(g_szWork);
    ReadTextW(src, text);
    const int len = static_cast<int>(std::wcslen(text));
    // 259 code units can need up to 777 bytes; only whole characters that fit are kept.
    const int bytes = Utf8PrefixOf(text, len, g_szText, kUtf8Bytes);
    HexDigitsOf(Bytes(g_szText), bytes, g_szWork, kStaticBufferSize);
    ShowHexDigits(*this, hex);
}

void CReplaceDlg::UnicodeFieldToHex(int src, int hex)
{
    g_szWork[0] = '\0';
    const wchar_t* text = Wide(g_szText);
    ReadTextW(src, Wide(g_szText));
    // Each code unit as it lies in memory, low byte first.
    const size_t units = std::min(std::wcslen(text), kUnicodeUnitsToHex);
    HexDigitsOf(Bytes(text), units * sizeof(wchar_t), g_szWork, kStaticBufferSize);
    SetText(hex, g_szWork);
    // Inserts the spaces and keeps the first 259 digits, as any edit of the view does.
    ReformatHexField(hex);
}

void CReplaceDlg::HexToAnsiField(int hex, int dst)
{
    ReadText(hex, g_szText);
    HexTextToBytes(g_szText);
    SetText(dst, g_szText);  // the text ends at the first zero byte
}

void CReplaceDlg::HexToUtf8Field(int hex, int dst)
{
    ReadText(hex, g_szText);
    HexTextToBytes(g_szText);
    // Up to the first zero byte, counted: a sequence cut off by the terminator must not
    // take it in and read on. Ill-formed sequences become U+FFFD; at most 86 bytes
    // decode, far below capacity.
    wchar_t* text = Wide(g_szWork);
    const int bytes = static_cast<int>(std::strlen(g_szText));
    const int units = bytes > 0 ? ::MultiByteToWideChar(CP_UTF8, 0, g_szText, bytes, text, kFieldReadCapacity - 1) : 0;
    text[units] = L'\0';
    SetTextW(dst, text);
}

void CReplaceDlg::HexToUnicodeField(int hex, int dst)
{
    ReadText(hex, g_szText);
    // The zero bytes behind the decoded bytes end the text even when their count is odd.
    HexTextToBytes(g_szText);
    SetTextW(dst, Wide(g_szText));
}

// Writing a view raises its change notification inside the write: the guard turns the
// notifications of a synchronisation's own writes into nothing. The edited view is
// turned into hex first where it is a text view; the other views are then derived from
// the HEX view, each from the HEX view afresh, so their order does not matter. The
// edited text view itself is never rewritten.
void CReplaceDlg::Synchronise(const PatternGroup& g, int edited)
{
    if (m_bUpdating)
        return;
    // Cleared however the synchronisation ends: a conversion that fails must not leave
    // the views out of step for good.
    const CScopedFlag updating(m_bUpdating);
    if (edited == g.hex)
        ReformatHexField(g.hex);
    else if (edited == g.ascii)
        AnsiFieldToHex(g.ascii, g.hex);
    else if (edited == g.utf8)
        Utf8FieldToHex(g.utf8, g.hex);
    else
        UnicodeFieldToHex(g.unicode, g.hex);
    if (edited != g.ascii)
        HexToAnsiField(g.hex, g.ascii);
    if (edited != g.unicode)
        HexToUnicodeField(g.hex, g.unicode);
    if (edited != g.utf8)
        HexToUtf8Field(g.hex, g.utf8);
}

void CReplaceDlg::OnChangeFindHex() { Synchronise(kFindGroup, kFindGroup.hex); }
void CReplaceDlg::OnChangeFindAscii() { Synchronise(kFindGroup, kFindGroup.ascii); }
void CReplaceDlg::OnChangeFindUtf8() { Synchronise(kFindGroup, kFindGroup.utf8); }
void CReplaceDlg::OnChangeFindUnicode() { Synchronise(kFindGroup, kFindGroup.unicode); }
void CReplaceDlg::OnChangeReplaceHex() { Synchronise(kReplaceGroup, kReplaceGroup.hex); }
void CReplaceDlg::OnChangeReplaceAscii() { Synchronise(kReplaceGroup, kReplaceGroup.ascii); }
void CReplaceDlg::OnChangeReplaceUtf8() { Synchronise(kReplaceGroup, kReplaceGroup.utf8); }
void CReplaceDlg::OnChangeReplaceUnicode() { Synchronise(kReplaceGroup, kReplaceGroup.unicode); }

// Digits and backspace pass, lower-case digits as upper case; anything else is
// swallowed with a beep. Only called while Control is neither down nor toggled, so
// Ctrl+V and the other editing chords reach the view.
BOOL CReplaceDlg::FilterHexKeystroke(MSG* msg)
{
    const WPARAM c = msg->wParam;  // a UTF-16 code unit
    if (c == VK_BACK)
        return FALSE;
    if (c < 0x80 && IsHexDigit(static_cast<unsigned char>(c))) {
        if (c >= 'a')
            msg->wParam = c - ('a' - 'A');
        return FALSE;
    }
    Beep();
    return TRUE;
}
