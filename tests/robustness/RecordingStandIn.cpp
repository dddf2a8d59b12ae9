// A stand-in for the driver package installer, placed beside the installer
// as DPInst_64.exe by the robustness tests: it appends one line per start,
// "<process id> <command line>", to the file that CORVANE_STANDIN_LOG names
// (else dpinst-standin.log beside itself), then exits 0.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    wchar_t path[MAX_PATH * 2] = L"";
    if (::GetEnvironmentVariableW(L"CORVANE_STANDIN_LOG", path, MAX_PATH * 2) == 0) {
        ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        wchar_t* slash = std::wcsrchr(path, L'\\');
        if (slash != nullptr)
            std::wcscpy(slash + 1, L"dpinst-standin.log");
    }
    std::wstring line = std::to_wstring(::GetCurrentProcessId()) + L" " + ::GetCommandLineW() + L"\n";
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string utf8(n, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), n,
                          nullptr, nullptr);
    const HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    ::CloseHandle(file);
    return 0;
}
