#include "app/CorvaneInst.h"
#include "app/CorvaneInstDlg.h"

const wchar_t kRegistryKeyName[] =
    L"\u30A2\u30D7\u30EA\u30B1\u30FC\u30B7\u30E7\u30F3 \u30A6\u30A3\u30B6\u30FC\u30C9\u3067"
    L"\u751F\u6210\u3055\u308C\u305F\u30ED\u30FC\u30AB\u30EB \u30A2\u30D7\u30EA\u30B1\u30FC"
    L"\u30B7\u30E7\u30F3";

BEGIN_MESSAGE_MAP(CCorvaneInstApp, CWinAppEx)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CCorvaneInstApp theApp;

CCorvaneInstApp::CCorvaneInstApp() : CWinAppEx(TRUE)
{
}

BOOL CCorvaneInstApp::InitInstance()
{
    INITCOMMONCONTROLSEX icc;
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&icc);

    CWinAppEx::InitInstance();
    AfxEnableControlContainer();
    SetRegistryKey(kRegistryKeyName);

    CCorvaneInstDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // The dialog object is about to go: leave no pointer to it behind.
    m_pMainWnd = nullptr;
    return FALSE;
}
