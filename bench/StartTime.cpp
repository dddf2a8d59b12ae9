// Start to first step visible, side by side: starts each of two programs N
// times, alternately, and measures from CreateProcess until a visible
// top-level window of that process is titled "Step1"; then closes it.
//   corvane-bench-start N <exe A> <exe B>
// Prints one line per start ("start <A|B> <i> <ms>") and a summary per
// program. Runs on a private desktop of its own (tests/e2e/Process.h).
#include "tests/e2e/Process.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

HWND VisibleStep1(DWORD processId)
{
    for (HWND hwnd : e2e::TopLevelWindows(processId)) {
        wchar_t title[32] = L"";
        if (::IsWindowVisible(hwnd) && ::GetWindowTextW(hwnd, title, 32) > 0 &&
            std::wcscmp(title, L"Step1") == 0)
            return hwnd;
    }
    return nullptr;
}

// One start; the time in ms, or a negative number on failure.
double TimeOneStart(const std::wstring& exe)
{
    e2e::Process process;
    std::wstring error;
    const double t0 = Now();
    if (!process.Start(exe, L"", {}, &error)) {
        std::fprintf(stderr, "cannot start %ls: %ls\n", exe.c_str(), error.c_str());
        return -1;
    }
    HWND shown = nullptr;
    while ((shown = VisibleStep1(process.Id())) == nullptr) {
        if (!process.Running() || Now() - t0 > 20000) {
            std::fprintf(stderr, "%ls showed no Step1 window\n", exe.c_str());
            return -1;
        }
        ::Sleep(1);
    }
    const double elapsed = Now() - t0;
    ::PostMessageW(shown, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (!process.WaitForExit(5000))
        std::fprintf(stderr, "%ls did not end on close; terminated\n", exe.c_str());
    process.Terminate();
    return elapsed;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: corvane-bench-start N EXE_A EXE_B\n");
        return 2;
    }
    const int n = _wtoi(argv[1]);
    const std::wstring exes[2] = {e2e::ToWindowsPath(argv[2]), e2e::ToWindowsPath(argv[3])};
    if (!e2e::UsePrivateDesktop(L"corvane-bench")) {
        std::fprintf(stderr, "no private desktop\n");
        return 1;
    }
    // One start of each first, not counted: the file cache and Wine's
    // first-start work.
    TimeOneStart(exes[0]);
    TimeOneStart(exes[1]);

    std::vector<double> times[2];
    for (int i = 0; i < n; ++i) {
        // Alternate the order too, so that neither always runs second.
        for (int k = 0; k < 2; ++k) {
            const int which = (i % 2 == 0) ? k : 1 - k;
            const double ms = TimeOneStart(exes[which]);
            if (ms < 0)
                return 1;
            times[which].push_back(ms);
            std::printf("start %c %d %.2f\n", which == 0 ? 'A' : 'B', i, ms);
        }
    }
    for (int k = 0; k < 2; ++k) {
        std::vector<double> sorted = times[k];
        std::sort(sorted.begin(), sorted.end());
        std::printf("summary %c median %.2f min %.2f max %.2f n %d\n", k == 0 ? 'A' : 'B',
                    Median(times[k]), sorted.front(), sorted.back(), n);
    }
    std::fflush(stdout);
    return 0;
}
