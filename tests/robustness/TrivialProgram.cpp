// A trivial Windows program for the fresh-prefix baseline: one message box,
// closed by the driver. What Wine writes into a prefix when any program with
// a window starts and ends is what this program makes it write.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    ::MessageBoxW(nullptr, L"Baseline", L"Step1", MB_OK);
    return 0;
}
