#include "Wnd.h"

namespace {

// The framework's windows live on the program's one window thread, so its
// state needs no locking. The objects attached to windows are few (a dialog,
// a sheet, its pages): a small table, searched in turn, finds them faster
// than any call to the system could. Temporary wrappers come from a small
// ring that modal loops empty whenever they go idle.
struct Attachment {
    HWND hWnd;
    CWnd* pWnd;
};
constexpr int kAttachments = 64;
Attachment g_attached[kAttachments] = {};
constexpr int kTemporaries = 16;
CWnd g_temporaries[kTemporaries];
int g_nextTemporary = 0;
MSG g_current = {};

Attachment* FindAttachment(HWND hWnd)
{
    for (Attachment& a : g_attached) {
        if (a.hWnd == hWnd)
            return &a;
    }
    return nullptr;
}

}  // namespace

IMPLEMENT_DYNAMIC(CWnd, CObject)

CWnd::~CWnd()
{
    if (m_hWnd != nullptr && m_pfnSuper != nullptr) {
        // The object goes before its window: hand the window back.
        SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        Detach();
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    const Attachment* a = hWnd ? FindAttachment(hWnd) : nullptr;
    return a ? a->pWnd : nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (hWnd == nullptr)
        return nullptr;
    if (CWnd* p = FromHandlePermanent(hWnd))
        return p;
    for (CWnd& temporary : g_temporaries) {
        if (temporary.m_hWnd == hWnd)
            return &temporary;
    }
    CWnd* p = &g_temporaries[g_nextTemporary];
    g_nextTemporary = (g_nextTemporary + 1) % kTemporaries;
    p->m_hWnd = hWnd;
    return p;
}

void CWnd::DeleteTempMap()
{
    for (CWnd& temporary : g_temporaries)
        temporary.m_hWnd = nullptr;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (hWnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hWnd) != nullptr)
        return FALSE;
    Attachment* slot = FindAttachment(nullptr);
    if (slot == nullptr)
        return FALSE;
    *slot = {hWnd, this};
    m_hWnd = hWnd;
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    return TRUE;
}

void CWnd::Detach()
{
    if (Attachment* a = FindAttachment(m_hWnd))
        *a = {nullptr, nullptr};
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
}

CWnd* CWnd::GetDlgItem(int nID) const
{
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

int CWnd::GetDlgCtrlID() const
{
    return ::GetDlgCtrlID(m_hWnd);
}

CWnd* CWnd::GetParent() const
{
    return FromHandle(::GetParent(m_hWnd));
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw)
{
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(pFont->GetSafeHandle()), bRedraw);
}

void CWnd::GetWindowRect(LPRECT lpRect) const
{
    ::GetWindowRect(m_hWnd, lpRect);
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    ::GetClientRect(m_hWnd, lpRect);
}

void CWnd::ScreenToClient(LPPOINT lpPoint) const
{
    ::ScreenToClient(m_hWnd, lpPoint);
}

BOOL CWnd::IsIconic() const
{
    return ::IsIconic(m_hWnd);
}

BOOL CWnd::RedrawWindow(const RECT* lpRectUpdate, UINT flags)
{
    return ::RedrawWindow(m_hWnd, lpRectUpdate, nullptr, flags);
}

int CWnd::MessageBox(LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType)
{
    return ::MessageBoxW(m_hWnd, lpszText, lpszCaption, nType);
}

BOOL CWnd::UpdateData(BOOL /*bSaveAndValidate*/)
{
    return TRUE;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);

    const MSG saved = g_current;
    g_current.hwnd = hWnd;
    g_current.message = message;
    g_current.wParam = wParam;
    g_current.lParam = lParam;
    LRESULT lResult = pWnd->WindowProc(message, wParam, lParam);
    g_current = saved;

    if (message == WM_NCDESTROY) {
        // The window is gone; the object may live on and be used again.
        SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pWnd->m_pfnSuper));
        pWnd->Detach();
    }
    return lResult;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult))
        lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(g_current.message, g_current.wParam, g_current.lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM /*lParam*/)
{
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
}

BOOL CWnd::OnNotify(WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT* /*pResult*/)
{
    return FALSE;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND)
        return OnCommand(wParam, lParam);
    if (message == WM_NOTIFY)
        return OnNotify(wParam, lParam, pResult);

    UINT nCtlColor = 0;
    UINT nMapped = message;
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        nCtlColor = message - WM_CTLCOLORMSGBOX;
        nMapped = WM_CTLCOLOR;
    }
    const AFX_MSGMAP_ENTRY* e = AfxFindMessageEntry(GetMessageMap(), nMapped, 0, 0);
    if (e == nullptr)
        return FALSE;

    switch (e->nSig) {
    case AfxSig_vv:
        (this->*e->handler.pfn)();
        *pResult = 0;
        return TRUE;
    case AfxSig_hv: {
        *pResult = reinterpret_cast<LRESULT>((this->*e->handler.pfn_hv)());
        return TRUE;
    }
    case AfxSig_hDWu: {
        CDC dc;
        dc.Attach(reinterpret_cast<HDC>(wParam));
        HBRUSH hbr = (this->*e->handler.pfn_hDWu)(&dc, FromHandle(reinterpret_cast<HWND>(lParam)), nCtlColor);
        dc.Detach();
        *pResult = reinterpret_cast<LRESULT>(hbr);
        return TRUE;
    }
    case AfxSig_bWuu: {
        *pResult = (this->*e->handler.pfn_bWuu)(FromHandle(reinterpret_cast<HWND>(wParam)),
                                                LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void CWnd::OnPaint()
{
    Default();
}

HCURSOR CWnd::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(Default());
}

HBRUSH CWnd::OnCtlColor(CDC* /*pDC*/, CWnd* /*pWnd*/, UINT /*nCtlColor*/)
{
    return reinterpret_cast<HBRUSH>(Default());
}

BOOL CWnd::OnSetCursor(CWnd* /*pWnd*/, UINT /*nHitTest*/, UINT /*message*/)
{
    return static_cast<BOOL>(Default());
}

const AFX_MSGMAP* CWnd::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, AfxSig_end, {nullptr}}};
    static const AFX_MSGMAP map = {&CCmdTarget::GetThisMessageMap, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const
{
    return GetThisMessageMap();
}

void AfxRunModalLoop(HWND hDlg, const BOOL* pbContinue)
{
    MSG msg;
    while (*pbContinue) {
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            CWnd::DeleteTempMap();
        if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!::IsDialogMessageW(hDlg, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}
