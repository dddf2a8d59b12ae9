// In-process figures of the real wizard (framework, application, wizard and
// resources linked in), driven from a thread timer inside its modal loop:
//   - WM_SETCURSOR over step 5 that changes nothing, against the same message
//     on a dialog of the same template handled by the default procedures;
//   - GDI and USER object counts after one full walk, after Back/Next cycles
//     and after hover transitions on the link.
// Prints "name value" lines. The driver installer is never started: the
// wizard's ShellExecuteW is redirected to a stand-in that reports success.
#include "GuiObjects.h"

#include "app/CorvaneInst.h"
#include "res/resource.h"
#include "support/ImportPatch.h"
#include "support/Windows.h"
#include "tests/e2e/Process.h"

#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <cstdlib>

using namespace testing_support;

namespace {

int g_shellStarts = 0;
int g_failures = 0;
long g_messages = 200000;
long g_cycles = 1000;
long g_hovers = 10000;

HINSTANCE WINAPI FakeShellExecuteW(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT)
{
    ++g_shellStarts;
    return reinterpret_cast<HINSTANCE>(42);
}

void Fail(const char* what)
{
    ++g_failures;
    std::printf("failure %s\n", what);
}

void Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void Press(HWND sheet, int button)
{
    ::SendMessageW(sheet, PSM_PRESSBUTTON, button, 0);
    Pump();
}

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
}

void PrintCounts(const char* when, const GuiObjectCounts& c)
{
    std::printf("gdi_%s %ld\nuser_%s %ld\ngditypes_%s %s\n", when, c.gdi, when, c.user, when,
                c.gdiTypes.empty() ? "-" : c.gdiTypes.c_str());
}

bool LinkUnderlined(HWND link)
{
    LOGFONTW lf{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(link, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
    return lf.lfUnderline != 0;
}

INT_PTR CALLBACK ReferenceProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;  // everything to the default dialog procedure
}

// Sends count WM_SETCURSOR messages (over the window itself, client area,
// mouse move) to target; returns nanoseconds taken.
double SendSetCursor(HWND target, long count)
{
    const LPARAM lParam = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
    const WPARAM wParam = reinterpret_cast<WPARAM>(target);
    const double t0 = Now();
    for (long i = 0; i < count; ++i)
        ::SendMessageW(target, WM_SETCURSOR, wParam, lParam);
    return Now() - t0;
}

void RunFigures(HWND sheet)
{
    std::printf("gui_gdi_source %s\ngui_user_source %s\n", CountOwnGuiObjects().gdiSource.c_str(),
                CountOwnGuiObjects().userSource.c_str());
    PrintCounts("step1", CountOwnGuiObjects());

    // One full walk: steps 1 to 5.
    for (int step = 1; step < 5; ++step)
        Press(sheet, PSBTN_NEXT);
    if (CurrentStep(sheet) != 5 || g_shellStarts != 1) {
        Fail("the walk did not reach step 5 with one installer start");
        return;
    }
    const GuiObjectCounts afterWalk = CountOwnGuiObjects();
    PrintCounts("walk", afterWalk);

    // WM_SETCURSOR that changes nothing: pointer over the page, link not
    // hovered (state already 0).
    const HWND page = CurrentPage(sheet);
    const HWND link = ::GetDlgItem(page, IDC_LINK);
    ::SendMessageW(page, WM_SETCURSOR, reinterpret_cast<WPARAM>(page), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    Pump();
    const HFONT fontBefore = reinterpret_cast<HFONT>(::SendMessageW(link, WM_GETFONT, 0, 0));
    // The same message on a dialog of the same template, a child of the
    // same sheet at the same place, handled by DefDlgProcW/DefWindowProcW.
    const HWND reference = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PAGE5),
                                                sheet, &ReferenceProc, 0);
    if (reference == nullptr) {
        Fail("no reference dialog");
        return;
    }
    RECT rc = e2e::RectInParent(page, sheet);
    ::SetWindowPos(reference, page, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                   SWP_NOACTIVATE | SWP_SHOWWINDOW);
    Pump();
    SendSetCursor(page, 2000);  // warm-up
    SendSetCursor(reference, 2000);
    double nsPage = 0, nsReference = 0;
    const int rounds = 10;
    for (int r = 0; r < rounds; ++r) {
        // Alternate the order of the two in each round.
        if (r % 2 == 0) {
            nsPage += SendSetCursor(page, g_messages / rounds);
            nsReference += SendSetCursor(reference, g_messages / rounds);
        } else {
            nsReference += SendSetCursor(reference, g_messages / rounds);
            nsPage += SendSetCursor(page, g_messages / rounds);
        }
    }
    ::DestroyWindow(reference);
    Pump();
    const long sent = (g_messages / rounds) * rounds;
    std::printf("setcursor_messages %ld\nsetcursor_page_ns %.1f\nsetcursor_default_ns %.1f\n", sent,
                nsPage / sent, nsReference / sent);
    if (reinterpret_cast<HFONT>(::SendMessageW(link, WM_GETFONT, 0, 0)) != fontBefore ||
        LinkUnderlined(link))
        Fail("WM_SETCURSOR over the page changed the link");

    // Back/Next cycles between steps 5 and 4.
    int wrong = 0;
    for (long i = 0; i < g_cycles; ++i) {
        Press(sheet, PSBTN_BACK);
        wrong += CurrentStep(sheet) != 4;
        Press(sheet, PSBTN_NEXT);
        wrong += CurrentStep(sheet) != 5;
        if (i == 9)
            PrintCounts("cycles10", CountOwnGuiObjects());
    }
    std::printf("cycles %ld\ncycles_wrong_step %d\n", g_cycles, wrong);
    if (wrong != 0)
        Fail("Back/Next cycles did not alternate steps 4 and 5");
    PrintCounts("cycles", CountOwnGuiObjects());

    // Hover transitions: pointer over the link, then over the page.
    const HWND page5 = CurrentPage(sheet);
    const HWND link5 = ::GetDlgItem(page5, IDC_LINK);
    int mismatched = 0;
    for (long i = 0; i < g_hovers; ++i) {
        const bool over = i % 2 == 0;
        ::SendMessageW(page5, WM_SETCURSOR, reinterpret_cast<WPARAM>(over ? link5 : page5),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        mismatched += LinkUnderlined(link5) != over;
        if (i % 64 == 63)
            Pump();
        if (i == 99) {
            Pump();
            PrintCounts("hover100", CountOwnGuiObjects());
        }
    }
    Pump();
    std::printf("hovers %ld\nhovers_not_shown %d\n", g_hovers, mismatched);
    if (mismatched != 0)
        Fail("hover transitions did not switch the underline");
    PrintCounts("hover", CountOwnGuiObjects());
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    const HWND sheet = FindSheet();
    if (sheet == nullptr || CurrentStep(sheet) != 1 || !ButtonAvailable(sheet, kNext))
        return;  // not yet
    ::KillTimer(nullptr, id);
    RunFigures(sheet);
    std::fflush(stdout);
    ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 4) {
        g_messages = std::atol(argv[1]);
        g_cycles = std::atol(argv[2]);
        g_hovers = std::atol(argv[3]);
    }
    if (!e2e::UsePrivateDesktop(L"corvane-bench-inproc")) {
        std::printf("failure no private desktop\n");
        return 1;
    }
    ImportPatch shell("shell32.dll", "ShellExecuteW", reinterpret_cast<void*>(&FakeShellExecuteW));
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, &OnTimer);
    theApp.InitInstance();
    ::KillTimer(nullptr, timer);
    std::printf("failures %d\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
