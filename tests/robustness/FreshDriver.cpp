// Drives one run inside a Wine prefix for fresh_prefix.py (which compares the
// prefix before and after):
//   corvane-robust-driver walk EXE      the installer: Next to step 5, Finish
//   corvane-robust-driver trivial EXE   a trivial program: wait for its
//                                       window, close it (the baseline)
// Both run on the same private desktop, so the driver's own traces are the
// same in both. Exit code 0 when the run went as expected.
#include "e2e/Process.h"

#include <cstdio>
#include <string>

using namespace e2e;

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: corvane-robust-driver walk|trivial EXE\n");
        return 2;
    }
    const std::wstring mode = argv[1];
    const std::wstring exe = ToWindowsPath(argv[2]);
    if (!UsePrivateDesktop(L"corvane-robust-fresh")) {
        std::fprintf(stderr, "no private desktop\n");
        return 1;
    }
    Process process;
    std::wstring error;
    if (!process.Start(exe, L"", {}, &error)) {
        std::fprintf(stderr, "cannot start %ls: %ls\n", exe.c_str(), error.c_str());
        return 1;
    }
    if (mode == L"trivial") {
        HWND shown = nullptr;
        WaitUntil(
            [&] {
                for (HWND hwnd : TopLevelWindows(process.Id()))
                    if (::IsWindowVisible(hwnd))
                        shown = hwnd;
                return shown != nullptr;
            },
            kStartTimeoutMs);
        if (shown == nullptr) {
            std::fprintf(stderr, "the trivial program showed no window\n");
            return 1;
        }
        ::PostMessageW(shown, WM_COMMAND, IDOK, 0);
    } else {
        const HWND sheet = WaitForWizard(process);
        if (sheet == nullptr || !WaitForStep(sheet, 1)) {
            std::fprintf(stderr, "no wizard at step 1\n");
            return 1;
        }
        for (int step = 1; step < 5; ++step) {
            if (!ClickButton(sheet, kNextButton) || !WaitForStep(sheet, step + 1)) {
                std::fprintf(stderr, "Next on step %d: %s\n", step, DescribeSheet(sheet).c_str());
                return 1;
            }
        }
        if (!ClickButton(sheet, kFinishButton)) {
            std::fprintf(stderr, "Finish: %s\n", DescribeSheet(sheet).c_str());
            return 1;
        }
    }
    if (!process.WaitForExit(kExitTimeoutMs)) {
        std::fprintf(stderr, "the program did not end\n");
        return 1;
    }
    std::printf("ended with %lu\n", process.ExitCode());
    return process.ExitCode() == 0 ? 0 : 1;
}
