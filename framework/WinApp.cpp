#include "WinApp.h"

namespace {

CWinApp* g_pApp = nullptr;
HINSTANCE g_hInstResource = nullptr;

}  // namespace

CWinApp::CWinApp(LPCWSTR lpszAppName) : m_pszAppName(lpszAppName)
{
    g_pApp = this;
    m_hInstance = ::GetModuleHandleW(nullptr);
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    ExitInstance();
    return static_cast<int>(msg.wParam);
}

int CWinApp::ExitInstance()
{
    return 0;
}

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    return ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nIDResource));
}

HCURSOR CWinApp::LoadCursor(UINT nIDResource) const
{
    return ::LoadCursorW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nIDResource));
}

void CWinApp::SetRegistryKey(LPCWSTR lpszRegistryKey)
{
    m_pszRegistryKey = lpszRegistryKey;
}

void CWinApp::OnHelp()
{
}

CWinAppEx::CWinAppEx(BOOL bResourceSmartUpdate) : m_bResourceSmartUpdate(bResourceSmartUpdate)
{
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

CWnd* AfxGetMainWnd()
{
    return g_pApp ? g_pApp->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_pApp ? g_pApp->m_hInstance : ::GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle()
{
    return g_hInstResource ? g_hInstResource : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE hInstResource)
{
    g_hInstResource = hInstResource;
}

void AfxEnableControlContainer()
{
}

BOOL AfxHelpEnabled()
{
    return g_pApp != nullptr &&
           AfxFindMessageEntry(g_pApp->GetMessageMap(), WM_COMMAND, 0, ID_HELP) != nullptr;
}

int AfxWinMain(HINSTANCE hInstance)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return -1;
    pApp->m_hInstance = hInstance;
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
