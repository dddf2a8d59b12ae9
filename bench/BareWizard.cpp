// The bare wizard: the installer's five page templates, icon and manifest
// shown with a plain PropertySheetW, no framework and no host dialog. What
// a start of the real installer is measured against (the limit for a
// property-sheet wizard with these resources).
#include "res/resource.h"

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

namespace {

// Buttons of each step, as the installer offers them.
const DWORD kButtons[5] = {PSWIZB_NEXT, PSWIZB_BACK | PSWIZB_NEXT, PSWIZB_NEXT,
                           PSWIZB_BACK | PSWIZB_NEXT, PSWIZB_BACK | PSWIZB_FINISH};

INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
        return TRUE;
    }
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == PSN_SETACTIVE) {
        const LONG_PTR step = ::GetWindowLongPtrW(hwnd, GWLP_USERDATA);
        ::PostMessageW(::GetParent(hwnd), PSM_SETWIZBUTTONS, 0, kButtons[step]);
        ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);

    PROPSHEETPAGEW pages[5] = {};
    for (int i = 0; i < 5; ++i) {
        pages[i].dwSize = sizeof(PROPSHEETPAGEW);
        pages[i].dwFlags = PSP_DEFAULT;
        pages[i].hInstance = instance;
        pages[i].pszTemplate = MAKEINTRESOURCEW(IDD_PAGE1 + i);
        pages[i].pfnDlgProc = &PageProc;
        pages[i].lParam = i;
    }
    PROPSHEETHEADERW psh = {};
    psh.dwSize = sizeof(psh);
    psh.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD | PSH_NOAPPLYNOW | PSH_USEHICON;
    psh.hInstance = instance;
    psh.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    psh.pszCaption = L"Corvane Installer";
    psh.nPages = 5;
    psh.ppsp = pages;
    ::PropertySheetW(&psh);
    return 0;
}
