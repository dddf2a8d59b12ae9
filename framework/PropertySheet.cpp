#include "PropertySheet.h"
#include "DialogTemplate.h"
#include "WinApp.h"


// ---------------------------------------------------------------------------
// CPropertyPage

IMPLEMENT_DYNAMIC(CPropertyPage, CDialog)

CPropertyPage::CPropertyPage(UINT nIDTemplate, UINT nIDCaption, DWORD nSize)
    : CDialog(nIDTemplate)
{
    ZeroMemory(&m_psp, sizeof(m_psp));
    m_psp.dwSize = nSize;
    m_psp.dwFlags = PSP_DEFAULT;
    if (AfxHelpEnabled())
        m_psp.dwFlags |= PSP_HASHELP;
    if (nIDCaption != 0) {
        m_psp.dwFlags |= PSP_USETITLE;
        m_psp.pszTitle = MAKEINTRESOURCEW(nIDCaption);
    }
    m_psp.hInstance = AfxGetResourceHandle();
    m_psp.pszTemplate = MAKEINTRESOURCEW(nIDTemplate);
    m_psp.pfnDlgProc = &PageProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(this);
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND hWnd, UINT message, WPARAM /*wParam*/, LPARAM lParam)
{
    // As with dialogs, only the initialisation comes here; the object's
    // window procedure sees every later message first.
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* pPage = reinterpret_cast<CPropertyPage*>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
    pPage->SubclassWindow(hWnd);
    return pPage->OnInitDialog();
}

BOOL CPropertyPage::OnNotify(WPARAM /*wParam*/, LPARAM lParam, LRESULT* pResult)
{
    const NMHDR* pHdr = reinterpret_cast<const NMHDR*>(lParam);
    switch (pHdr->code) {
    case PSN_SETACTIVE:
        *pResult = OnSetActive() ? 0 : -1;
        break;
    case PSN_KILLACTIVE:
        *pResult = !OnKillActive();
        break;
    case PSN_WIZBACK:
        *pResult = OnWizardBack();
        break;
    case PSN_WIZNEXT:
        *pResult = OnWizardNext();
        break;
    case PSN_WIZFINISH:
        *pResult = !OnWizardFinish();
        break;
    case PSN_QUERYCANCEL:
        *pResult = !OnQueryCancel();
        break;
    case PSN_RESET:
        OnReset();
        *pResult = 0;
        break;
    default:
        return FALSE;
    }
    // A dialog's notification result also goes into DWLP_MSGRESULT.
    ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, *pResult);
    return TRUE;
}

BOOL CPropertyPage::OnSetActive()
{
    if (m_bFirstSetActive)
        m_bFirstSetActive = FALSE;
    else
        UpdateData(FALSE);
    return TRUE;
}

BOOL CPropertyPage::OnKillActive()
{
    return UpdateData(TRUE);
}

LRESULT CPropertyPage::OnWizardBack()
{
    return 0;
}

LRESULT CPropertyPage::OnWizardNext()
{
    return 0;
}

BOOL CPropertyPage::OnWizardFinish()
{
    return TRUE;
}

BOOL CPropertyPage::OnQueryCancel()
{
    return TRUE;
}

void CPropertyPage::OnReset()
{
}

// ---------------------------------------------------------------------------
// CPropertySheet

IMPLEMENT_DYNAMIC(CPropertySheet, CWnd)

namespace {

// The sheet whose window is being created, for the system's callbacks,
// which carry no pointer of their own.
CPropertySheet* g_pSheetInCreation = nullptr;

}  // namespace

CPropertySheet::CPropertySheet(LPCWSTR pszCaption, CWnd* pParentWnd, UINT iSelectPage)
    : m_pParentWnd(pParentWnd)
{
    ZeroMemory(&m_psh, sizeof(m_psh));
    m_psh.dwSize = sizeof(m_psh);
    m_psh.dwFlags = PSH_PROPSHEETPAGE;
    if (AfxHelpEnabled())
        m_psh.dwFlags |= PSH_HASHELP;
    m_psh.hInstance = AfxGetResourceHandle();
    m_psh.pszCaption = pszCaption;
    m_psh.nStartPage = iSelectPage;
}

BOOL CPropertySheet::AddPage(CPropertyPage* pPage)
{
    if (m_nPages == kMaxPages)
        return FALSE;
    m_pages[m_nPages++] = pPage;
    return TRUE;
}

void CPropertySheet::TakePageFont(BYTE* pSheetTemplate) const
{
    if (m_nPages == 0)
        return;
    const PROPSHEETPAGEW& psp = m_pages[0]->m_psp;
    const BYTE* pPageTemplate = AfxLoadDialogTemplate(psp.hInstance, psp.pszTemplate);

    CDialogTemplateFont page, sheet;
    if (pPageTemplate == nullptr || !page.Locate(pPageTemplate) || !sheet.Locate(pSheetTemplate))
        return;
    *sheet.pPointSize = *page.pPointSize;
    if (sheet.pWeight != nullptr && page.pWeight != nullptr) {
        *sheet.pWeight = *page.pWeight;
        *sheet.pItalic = *page.pItalic;
        *sheet.pCharSet = *page.pCharSet;
    }
    // The face can only be replaced in place by one of the same length:
    // the controls follow it in the template.
    if (::lstrlenW(sheet.pFaceName) == ::lstrlenW(page.pFaceName))
        ::CopyMemory(sheet.pFaceName, page.pFaceName, ::lstrlenW(page.pFaceName) * sizeof(WCHAR));
}

int CALLBACK CPropertySheet::SheetCallback(HWND hWnd, UINT message, LPARAM lParam)
{
    CPropertySheet* pSheet = g_pSheetInCreation;
    if (pSheet == nullptr)
        return 0;
    if (message == PSCB_PRECREATE) {
        // The sheet sizes its page area in its own dialog units: give it the
        // pages' font so that whole pages fit.
        pSheet->TakePageFont(reinterpret_cast<BYTE*>(lParam));
    } else if (message == PSCB_INITIALIZED) {
        pSheet->SubclassWindow(hWnd);
    }
    return 0;
}

INT_PTR CPropertySheet::DoModal()
{
    HWND hOwner = nullptr;
    if (m_pParentWnd != nullptr)
        hOwner = m_pParentWnd->GetSafeHwnd();
    else if (CWnd* pMain = AfxGetMainWnd())
        hOwner = pMain->GetSafeHwnd();

    // The page records, one after the other, each of its own size.
    SIZE_T cbRecords = 0;
    for (int i = 0; i < m_nPages; ++i)
        cbRecords += m_pages[i]->m_psp.dwSize;
    BYTE* pRecords = static_cast<BYTE*>(::LocalAlloc(LMEM_FIXED, cbRecords ? cbRecords : 1));
    if (pRecords == nullptr)
        return -1;
    for (int i = 0, offset = 0; i < m_nPages; offset += m_pages[i]->m_psp.dwSize, ++i)
        ::CopyMemory(pRecords + offset, &m_pages[i]->m_psp, m_pages[i]->m_psp.dwSize);

    PROPSHEETHEADERW psh = m_psh;
    psh.hwndParent = hOwner;
    psh.dwFlags |= PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    psh.dwFlags &= ~PSH_MODELESS;
    psh.pfnCallback = &SheetCallback;
    psh.nPages = static_cast<UINT>(m_nPages);
    psh.ppsp = reinterpret_cast<LPCPROPSHEETPAGEW>(pRecords);

    m_nModalResult = IDCANCEL;
    m_bEnding = FALSE;
    CPropertySheet* pOuter = g_pSheetInCreation;
    g_pSheetInCreation = this;
    // The system disables the owner while the sheet runs and enables it
    // again afterwards.
    const INT_PTR nResult = ::PropertySheetW(&psh);
    g_pSheetInCreation = pOuter;
    ::LocalFree(pRecords);
    CWnd::DeleteTempMap();
    return nResult < 0 ? -1 : m_nModalResult;
}

void CPropertySheet::EndDialog(int nEndID)
{
    m_nModalResult = nEndID;
    m_bEnding = TRUE;
    PostMessage(PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

void CPropertySheet::SetWizardButtons(DWORD dwFlags)
{
    PostMessage(PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(dwFlags));
}

BOOL CPropertySheet::OnCommand(WPARAM wParam, LPARAM lParam)
{
    // Note the push button the user clicked; once EndDialog has chosen the
    // result, the Cancel press that it posted does not replace it.
    if (!m_bEnding && HIWORD(wParam) == BN_CLICKED && lParam != 0)
        m_nModalResult = LOWORD(wParam);
    return CWnd::OnCommand(wParam, lParam);
}
