#include "Dialog.h"
#include "DialogTemplate.h"
#include "WinApp.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

INT_PTR CDialog::DoModal()
{
    HINSTANCE hInst = AfxGetResourceHandle();
    DWORD cbTemplate = 0;
    const BYTE* pRes = AfxLoadDialogTemplate(hInst, MAKEINTRESOURCEW(m_nIDTemplate), &cbTemplate);
    if (pRes == nullptr)
        return -1;

    // Create the window hidden, whatever the template says; it is shown
    // only when the modal loop starts.
    BYTE* pTemplate = static_cast<BYTE*>(::LocalAlloc(LMEM_FIXED, cbTemplate));
    if (pTemplate == nullptr)
        return -1;
    ::CopyMemory(pTemplate, pRes, cbTemplate);
    *AfxTemplateStyle(pTemplate) &= ~WS_VISIBLE;

    HWND hParent = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    const BOOL bParentEnabled = hParent && ::IsWindowEnabled(hParent);
    if (bParentEnabled)
        ::EnableWindow(hParent, FALSE);

    m_bContinueModal = TRUE;
    m_nModalResult = -1;
    HWND hWnd = ::CreateDialogIndirectParamW(
        hInst, reinterpret_cast<LPCDLGTEMPLATEW>(pTemplate), hParent, &DialogProc,
        reinterpret_cast<LPARAM>(this));
    ::LocalFree(pTemplate);
    if (hWnd != nullptr && m_bContinueModal) {
        ::ShowWindow(hWnd, SW_SHOWNORMAL);
        AfxRunModalLoop(hWnd, &m_bContinueModal);
    }

    if (bParentEnabled)
        ::EnableWindow(hParent, TRUE);
    if (hWnd != nullptr) {
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::DestroyWindow(hWnd);
    }
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bContinueModal = FALSE;
    if (m_hWnd != nullptr)
        PostMessage(WM_NULL);
}

BOOL CDialog::OnInitDialog()
{
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (CWnd::OnCommand(wParam, lParam))
        return TRUE;
    if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDOK) {
        OnOK();
        return TRUE;
    }
    if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM /*wParam*/, LPARAM lParam)
{
    // Every other message reaches the object through its window procedure
    // first; what comes here has been left to the default processing.
    if (message != WM_INITDIALOG)
        return FALSE;
    CDialog* pDlg = reinterpret_cast<CDialog*>(lParam);
    pDlg->SubclassWindow(hWnd);
    return pDlg->OnInitDialog();
}
