// corvane-walker: drives a running Corvane Installer from outside, as a user
// would, and saves a screenshot of the whole screen at each step.
//
//   corvane-walker [--out FOLDER] [--timeout SECONDS] [--desktop NAME]
//
// --desktop NAME works on that desktop (for example Wine's virtual desktop
// started by "explorer /desktop=NAME,WxH"), where the wizard runs.
// Waits for the wizard window (a top-level "#32770" dialog with a Next
// button and a title "Step1"), then for each of the five steps waits until
// the step is shown and settled, saves FOLDER\stepN.bmp (24-bit) and presses
// Next, and on step 5 Finish. Exits 0 once the wizard has closed; on a
// timeout or any other fault prints what it waited for and exits 1 (2 for
// bad arguments).
#include "common/ScreenCapture.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kNext = 0x3024;
constexpr int kFinish = 0x3025;
constexpr UINT kGetCurrentPage = WM_USER + 118;  // PSM_GETCURRENTPAGEHWND
const wchar_t kLaunchErrorCaption[] = L"Error executing DPInst.exe";

DWORD g_timeoutMs = 20000;

void Fail(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::fwprintf(stderr, L"corvane-walker: ");
    std::vfwprintf(stderr, format, args);
    std::fwprintf(stderr, L"\n");
    va_end(args);
    std::fflush(stderr);
}

std::wstring Text(HWND hwnd)
{
    wchar_t text[256] = L"";
    DWORD_PTR n = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text),
                               SMTO_ABORTIFHUNG, 1000, &n))
        return std::wstring();
    return text;
}

std::wstring Class(HWND hwnd)
{
    wchar_t name[64] = L"";
    ::GetClassNameW(hwnd, name, 64);
    return name;
}

HWND Button(HWND sheet, int id)
{
    const HWND button = ::GetDlgItem(sheet, id);
    return (button != nullptr && ::GetParent(button) == sheet) ? button : nullptr;
}

bool Active(HWND hwnd)
{
    return hwnd != nullptr && ::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd);
}

template <class Condition>
bool WaitFor(Condition condition, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(20);
    }
}

// A visible top-level dialog with the given caption, or (caption empty) the
// wizard: a visible top-level dialog with a Next button.
HWND FindTopDialog(const wchar_t* caption)
{
    struct Search {
        const wchar_t* caption;
        HWND found;
    } search{caption, nullptr};
    ::EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            if (!::IsWindowVisible(hwnd) || Class(hwnd) != L"#32770")
                return TRUE;
            const bool match = s->caption != nullptr ? Text(hwnd) == s->caption
                                                     : Button(hwnd, kNext) != nullptr;
            if (match) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Step n is shown: title "Step<n>", its page visible, and the forward button
// (Next, Finish on step 5) ready.
bool StepShown(HWND sheet, int step)
{
    wchar_t title[16];
    std::swprintf(title, 16, L"Step%d", step);
    if (!::IsWindow(sheet) || Text(sheet) != title)
        return false;
    DWORD_PTR page = 0;
    if (!::SendMessageTimeoutW(sheet, kGetCurrentPage, 0, 0, SMTO_ABORTIFHUNG, 1000, &page) ||
        !::IsWindowVisible(reinterpret_cast<HWND>(page)))
        return false;
    return Active(Button(sheet, step == 5 ? kFinish : kNext));
}

// Saves the whole screen as a 24-bit BMP file.
bool SaveScreen(const std::wstring& path)
{
    screencapture::ScreenImage screen;
    if (!screencapture::CaptureScreen(&screen))
        return false;
    return screencapture::SaveBmp(screen, RECT{0, 0, screen.width, screen.height}, path);
}

// Lets the wizard's thread finish what it has queued (painting included).
void LetSettle(HWND sheet)
{
    DWORD_PTR ignored;
    for (int i = 0; i < 3; ++i) {
        ::SendMessageTimeoutW(sheet, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored);
        ::Sleep(100);
    }
}

int Usage()
{
    Fail(L"usage: corvane-walker [--out FOLDER] [--timeout SECONDS] [--desktop NAME]");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring folder = L".";
    std::wstring desktop;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--out" && i + 1 < argc) {
            folder = argv[++i];
        } else if (arg == L"--timeout" && i + 1 < argc) {
            const long seconds = std::wcstol(argv[++i], nullptr, 10);
            if (seconds <= 0)
                return Usage();
            g_timeoutMs = static_cast<DWORD>(seconds) * 1000;
        } else if (arg == L"--desktop" && i + 1 < argc) {
            desktop = argv[++i];
        } else {
            return Usage();
        }
    }
    if (!desktop.empty()) {
        // The desktop may still be starting: wait for it.
        HDESK hDesktop = nullptr;
        WaitFor([&] { return (hDesktop = ::OpenDesktopW(desktop.c_str(), 0, FALSE, GENERIC_ALL)) != nullptr; },
                g_timeoutMs);
        if (hDesktop == nullptr || !::SetThreadDesktop(hDesktop)) {
            Fail(L"cannot work on the desktop \"%ls\" (error %lu)", desktop.c_str(), ::GetLastError());
            return 1;
        }
    }
    ::CreateDirectoryW(folder.c_str(), nullptr);

    HWND sheet = nullptr;
    if (!WaitFor([&] { return (sheet = FindTopDialog(nullptr)) != nullptr; }, g_timeoutMs)) {
        Fail(L"timed out after %lu s waiting for the wizard window (a dialog with a Next button)",
             g_timeoutMs / 1000);
        return 1;
    }

    for (int step = 1; step <= 5; ++step) {
        if (!WaitFor([&] { return StepShown(sheet, step); }, g_timeoutMs)) {
            if (FindTopDialog(kLaunchErrorCaption) != nullptr)
                Fail(L"the wizard shows \"%ls\": is there a DPInst_64.exe beside the program?",
                     kLaunchErrorCaption);
            Fail(L"timed out after %lu s waiting for step %d (window title now \"%ls\")",
                 g_timeoutMs / 1000, step, ::IsWindow(sheet) ? Text(sheet).c_str() : L"(closed)");
            return 1;
        }
        LetSettle(sheet);
        wchar_t name[16];
        std::swprintf(name, 16, L"step%d.bmp", step);
        const std::wstring path = folder + L"\\" + name;
        if (!SaveScreen(path)) {
            Fail(L"could not save the screenshot %ls (error %lu)", path.c_str(), ::GetLastError());
            return 1;
        }
        std::wprintf(L"step %d: %ls\n", step, path.c_str());
        std::fflush(stdout);
        ::PostMessageW(Button(sheet, step == 5 ? kFinish : kNext), BM_CLICK, 0, 0);
    }

    if (!WaitFor([&] { return !::IsWindow(sheet); }, g_timeoutMs)) {
        Fail(L"timed out after %lu s waiting for the wizard to close after Finish",
             g_timeoutMs / 1000);
        return 1;
    }
    std::wprintf(L"done: the wizard closed after Finish\n");
    return 0;
}
