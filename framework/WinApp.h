// The application object and the process entry.
#pragma once

#include "Wnd.h"

// The one application object. Its constructor registers it; the entry point
// then calls InitInstance, and either ExitInstance at once (InitInstance
// returned FALSE) or Run, the message loop, which ends in ExitInstance.
class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCWSTR lpszAppName = nullptr);
    ~CWinApp() override;

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    LPCWSTR m_pszAppName;
    LPCWSTR m_pszRegistryKey = nullptr;

    // The start routine; FALSE ends the process without a message loop.
    virtual BOOL InitInstance();
    // The message loop, for applications whose start routine returns TRUE.
    virtual int Run();
    // The exit routine; its result is the process's exit code.
    virtual int ExitInstance();

    // Resources from the resource module (AfxGetResourceHandle).
    HICON LoadIcon(UINT nIDResource) const;
    HCURSOR LoadCursor(UINT nIDResource) const;

    // Names the registry key under which settings would be kept. Only the
    // name is stored: nothing is created until a setting is written, and the
    // framework writes none.
    void SetRegistryKey(LPCWSTR lpszRegistryKey);

    // The ID_HELP command. No help file ships, so there is nothing to open.
    void OnHelp();
};

class CWinAppEx : public CWinApp {
public:
    // bResourceSmartUpdate only matters to frame windows that restore a saved
    // layout; it is kept for them.
    explicit CWinAppEx(BOOL bResourceSmartUpdate = FALSE);

    BOOL m_bResourceSmartUpdate;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// The program's own module.
HINSTANCE AfxGetInstanceHandle();
// The module that dialog templates, icons and cursors are loaded from: the
// program's own unless AfxSetResourceHandle said otherwise.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);
// Support for hosted controls; no control in the installer's templates needs
// it, so it has nothing to set up.
void AfxEnableControlContainer();
// Whether the application maps the ID_HELP command: sheets and pages built
// then carry a Help button unless told otherwise.
BOOL AfxHelpEnabled();

// The process entry, called from WinMain.
int AfxWinMain(HINSTANCE hInstance);
