// Windows: the C++ object for a window, and message dispatch through its map.
#pragma once

#include "Object.h"
#include "Gdi.h"

// A window. An object is attached to its window (m_hWnd) either permanently,
// when the framework routes the window's messages through it (dialogs,
// sheets, pages), or temporarily, as a handle wrapper that FromHandle hands
// out for any other window (a control found with GetDlgItem, say).
class CWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CWnd)

public:
    HWND m_hWnd = nullptr;

    CWnd() = default;
    ~CWnd() override;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object attached to hWnd: the permanent one if there is one, else a
    // temporary wrapper, valid while the current message is handled (until
    // the modal loop next goes idle, or sixteen other windows have been
    // wrapped). nullptr for nullptr.
    static CWnd* FromHandle(HWND hWnd);
    // The permanently attached object, or nullptr.
    static CWnd* FromHandlePermanent(HWND hWnd);
    // Drops the temporary wrappers; modal loops call this when idle.
    static void DeleteTempMap();

    // Attaches this object to hWnd and routes the window's messages through
    // WindowProc; the previous window procedure becomes the default. FALSE
    // when the window has an object already, or 64 windows have one.
    BOOL SubclassWindow(HWND hWnd);

    // Window access, each a thin call of the system function of that name.
    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    CWnd* GetParent() const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    void GetWindowRect(LPRECT lpRect) const;
    void GetClientRect(LPRECT lpRect) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    BOOL IsIconic() const;
    BOOL RedrawWindow(const RECT* lpRectUpdate, UINT flags);
    int MessageBox(LPCWSTR lpszText, LPCWSTR lpszCaption = nullptr, UINT nType = MB_OK);
    // Moves data between the window and its object; the installer's windows
    // exchange none, so this succeeds without doing anything.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

protected:
    // Every message of an attached window comes here first.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Runs the handler that the message map has for a message; FALSE when none.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // WM_COMMAND: runs the mapped handler of a command or control notification.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY: notifications from child windows; none handled here.
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // The window procedure that was in place before SubclassWindow.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The default processing of the message currently being handled.
    LRESULT Default();

    // Default handlers that map entries of derived classes name.
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);

    static const AFX_MSGMAP* GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override;

private:
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    void Detach();
    WNDPROC m_pfnSuper = nullptr;
};

// The window procedure of every window with a permanent object.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Runs a modal loop until *pbContinue turns FALSE; hDlg's keyboard
// navigation is handled as in any dialog.
void AfxRunModalLoop(HWND hDlg, const BOOL* pbContinue);
