// CDialog: a dialog window driven by its own modal loop, with a static message map.
//
// A derived dialog lists its handlers in a plain table read top to bottom; each entry
// names the message (WM_COMMAND with notification code and control id for control
// notifications) and an adapter that unpacks the parameters for the member handler.
#pragma once

#include "framework/wnd.h"

#include <shellapi.h>

class CDialog;

struct MessageMapEntry {
    UINT message;  // window message; WM_CTLCOLOR stands for all WM_CTLCOLORxxx
    UINT code;     // notification code, for WM_COMMAND
    UINT id;       // control identifier, for WM_COMMAND
    INT_PTR (*handler)(CDialog& dlg, UINT msg, WPARAM wp, LPARAM lp);
};

// OnCtlColor's kind is CTLCOLOR_MSGBOX .. CTLCOLOR_STATIC, in the order of
// WM_CTLCOLORMSGBOX .. WM_CTLCOLORSTATIC; WM_CTLCOLOR keys them in message maps.
#ifndef WM_CTLCOLOR
#define WM_CTLCOLOR 0x0019
#endif

// Posted by the system for the F1 key; the dialog manager turns it into WM_HELP. The
// SDK's headers leave it out.
constexpr UINT kWmKeyF1 = 0x004D;

class CDialog : public CWnd {
public:
    explicit CDialog(UINT idTemplate, CWnd* parent = nullptr) : m_nIDTemplate(idTemplate), m_pParent(parent) {}
    ~CDialog() override;

    // Shows the dialog and runs its message loop until EndDialog; returns EndDialog's value.
    INT_PTR DoModal();
    // Creates the dialog without running a loop (the caller pumps with RouteMessage).
    BOOL Create();
    void EndDialog(INT_PTR result);

    // One turn of the loop: PreTranslateMessage, then translate and dispatch.
    void RouteMessage(MSG& msg);

    virtual BOOL OnInitDialog() { return TRUE; }
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    // Brush and colours for a control about to be drawn (the application's dialog colours).
    HBRUSH OnCtlColor(HDC dc, HWND wnd, UINT kind);
    // Lets the dialog manager's default handling run after the current handler.
    void Default() { m_bDefault = true; }

    // The control with identifier id. Looked up once and kept: a dialog's controls live
    // as long as it does, and under Wine every lookup asks the server for the
    // dialog's children, which a walk would do for every file.
    HWND GetDlgItem(int id) const;

protected:
    virtual const MessageMapEntry* GetMessageMap() const { return nullptr; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    BOOL HandleInitDialog();

    static constexpr int kMostKeptItems = 32;
    struct KeptItem {
        int id;
        HWND hwnd;
    };

    UINT m_nIDTemplate;
    CWnd* m_pParent;
    mutable KeptItem m_items[kMostKeptItems] = {};
    mutable int m_itemCount = 0;
    bool m_bInLoop = false;
    bool m_bDefault = false;
    INT_PTR m_nModalResult = -1;
};

// Adapters from window messages to member handlers, used in message map tables.
namespace msgmap {

template <class T> struct ClassOf;
template <class C, class R, class... A> struct ClassOf<R (C::*)(A...)> { using type = C; };
template <auto F> using Owner = typename ClassOf<decltype(F)>::type;

// void OnXxx(): control notifications, WM_PAINT, WM_DROPFILES without arguments.
template <auto F> INT_PTR Void(CDialog& d, UINT, WPARAM, LPARAM)
{
    (static_cast<Owner<F>&>(d).*F)();
    return TRUE;
}
// HCURSOR OnQueryDragIcon()
template <auto F> INT_PTR Cursor(CDialog& d, UINT, WPARAM, LPARAM)
{
    return reinterpret_cast<INT_PTR>((static_cast<Owner<F>&>(d).*F)());
}
// HBRUSH OnCtlColor(HDC, HWND, UINT kind)
template <auto F> INT_PTR CtlColor(CDialog& d, UINT msg, WPARAM wp, LPARAM lp)
{
    return reinterpret_cast<INT_PTR>((static_cast<Owner<F>&>(d).*F)(
        reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), msg - WM_CTLCOLORMSGBOX));
}
// void OnLButtonDown(UINT flags, POINT point)
template <auto F> INT_PTR Mouse(CDialog& d, UINT, WPARAM wp, LPARAM lp)
{
    POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    (static_cast<Owner<F>&>(d).*F)(static_cast<UINT>(wp), pt);
    return TRUE;
}
// BOOL OnHelpInfo(HELPINFO*)
template <auto F> INT_PTR Help(CDialog& d, UINT, WPARAM, LPARAM lp)
{
    return (static_cast<Owner<F>&>(d).*F)(reinterpret_cast<HELPINFO*>(lp));
}
// BOOL OnSetCursor(HWND, UINT hitTest, UINT message): the answer goes to the system as
// the message's result.
template <auto F> INT_PTR SetCursor(CDialog& d, UINT, WPARAM wp, LPARAM lp)
{
    const BOOL done = (static_cast<Owner<F>&>(d).*F)(reinterpret_cast<HWND>(wp), LOWORD(lp), HIWORD(lp));
    ::SetWindowLongPtrW(d.GetSafeHwnd(), DWLP_MSGRESULT, done);
    return done;
}
// void OnDropFiles(HDROP)
template <auto F> INT_PTR Drop(CDialog& d, UINT, WPARAM wp, LPARAM)
{
    (static_cast<Owner<F>&>(d).*F)(reinterpret_cast<HDROP>(wp));
    return TRUE;
}

}  // namespace msgmap
