// Modal dialogs on a dialog template.
#pragma once

#include "Wnd.h"

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)

public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Creates the dialog from its template and runs it until EndDialog.
    // The window is shown only once its initialisation has been handled, and
    // never when the dialog ended itself during it. Returns the value given
    // to EndDialog, or -1 when the template cannot be found or the window
    // cannot be created.
    virtual INT_PTR DoModal();
    // Ends the modal run with nResult as DoModal's result.
    void EndDialog(int nResult);

    // WM_INITDIALOG; the result tells whether the system sets the focus.
    virtual BOOL OnInitDialog();
    // The OK command: ends the dialog with IDOK once its data is saved.
    virtual void OnOK();
    // The Cancel command: ends the dialog with IDCANCEL.
    virtual void OnCancel();

protected:
    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    BOOL m_bContinueModal = FALSE;
    INT_PTR m_nModalResult = -1;

    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};
