// Property sheets and their pages, wizard mode included.
#pragma once

#include "Dialog.h"

// One page of a property sheet, on a dialog template. The system creates the
// page's window from m_psp the first time the page is shown; m_psp.lParam
// carries the object to the page's dialog procedure.
class CPropertyPage : public CDialog {
    DECLARE_DYNAMIC(CPropertyPage)

public:
    // nIDCaption 0: the page takes its title from its template. nSize is the
    // size of the page record handed to the system.
    explicit CPropertyPage(UINT nIDTemplate, UINT nIDCaption = 0,
                           DWORD nSize = sizeof(PROPSHEETPAGEW));

    PROPSHEETPAGEW m_psp;

    // PSN_SETACTIVE: the page becomes the current one; FALSE refuses.
    virtual BOOL OnSetActive();
    // PSN_KILLACTIVE: the page is about to be left; FALSE keeps it current.
    virtual BOOL OnKillActive();
    // PSN_WIZBACK: 0 goes to the previous page, -1 stays, else a template id.
    virtual LRESULT OnWizardBack();
    // PSN_WIZNEXT: 0 goes to the next page, -1 stays, else a template id.
    virtual LRESULT OnWizardNext();
    // PSN_WIZFINISH: TRUE lets the wizard finish.
    virtual BOOL OnWizardFinish();
    // PSN_QUERYCANCEL: TRUE lets the sheet be cancelled.
    virtual BOOL OnQueryCancel();
    // PSN_RESET: the sheet is being cancelled.
    virtual void OnReset();

protected:
    BOOL m_bFirstSetActive = TRUE;

    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

private:
    static INT_PTR CALLBACK PageProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// A property sheet, run modally in the system's own modal loop.
class CPropertySheet : public CWnd {
    DECLARE_DYNAMIC(CPropertySheet)

public:
    // pszCaption must outlive the sheet (a literal, as a rule).
    explicit CPropertySheet(LPCWSTR pszCaption, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);

    // The most pages that one sheet takes.
    static constexpr int kMaxPages = 16;

    // The sheet's header; DoModal hands it to the system with the pages added.
    PROPSHEETHEADERW m_psh;

    // Adds a page after those already added; the page must outlive the sheet's
    // window. FALSE when the sheet is full.
    BOOL AddPage(CPropertyPage* pPage);
    int GetPageCount() const { return m_nPages; }
    CPropertyPage* GetPage(int nPage) const { return m_pages[nPage]; }

    // Runs the sheet with the parent window, or else the application's main
    // window, as owner, disabled meanwhile. Returns the identifier of the last
    // push button clicked (IDCANCEL when the sheet was closed without one),
    // the value given to EndDialog, or -1 when the sheet cannot be created.
    virtual INT_PTR DoModal();
    // Ends the modal run with nEndID as DoModal's result, by a press of the
    // Cancel button that is posted to the sheet.
    void EndDialog(int nEndID);
    // Sets which of Back, Next and Finish the wizard offers, by posting
    // PSM_SETWIZBUTTONS: the buttons change once the current message is done.
    void SetWizardButtons(DWORD dwFlags);

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    static int CALLBACK SheetCallback(HWND hWnd, UINT message, LPARAM lParam);
    // Gives the sheet's template the font of the first page's template.
    void TakePageFont(BYTE* pSheetTemplate) const;

    CWnd* m_pParentWnd;
    CPropertyPage* m_pages[kMaxPages] = {};
    int m_nPages = 0;
    INT_PTR m_nModalResult = IDCANCEL;
    BOOL m_bEnding = FALSE;
};
