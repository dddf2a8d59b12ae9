// A stand-in for the driver package installer (DPInst.exe / DPInst_64.exe):
// records how it was started and exits 0 at once. Each start appends one
// UTF-8 line to the log
//
//     <its own full path> TAB <its command line> TAB <its current directory> LF
//
// The log is the file named by CORVANE_STANDIN_LOG, or else
// dpinst-standin.log in the stand-in's own folder.
#include <windows.h>

#include <string>

namespace {

std::wstring ModulePath()
{
    std::wstring path(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n < path.size() ? n : 0);
    return path;
}

std::wstring CurrentDirectory()
{
    const DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    if (n == 0)
        return std::wstring();
    std::wstring dir(n, L'\0');
    const DWORD written = ::GetCurrentDirectoryW(n, dir.data());
    dir.resize(written < n ? written : 0);
    return dir;
}

std::wstring LogPath(const std::wstring& self)
{
    const DWORD n = ::GetEnvironmentVariableW(L"CORVANE_STANDIN_LOG", nullptr, 0);
    if (n > 1) {
        std::wstring log(n, L'\0');
        const DWORD written = ::GetEnvironmentVariableW(L"CORVANE_STANDIN_LOG", log.data(), n);
        log.resize(written < n ? written : 0);
        if (!log.empty())
            return log;
    }
    const size_t slash = self.find_last_of(L'\\');
    return (slash == std::wstring::npos ? std::wstring() : self.substr(0, slash + 1)) +
           L"dpinst-standin.log";
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string result(n > 0 ? n : 0, '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                              result.data(), n, nullptr, nullptr);
    return result;
}

// Appends line with one write, retrying while another start holds the file.
void Append(const std::wstring& log, const std::string& line)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const HANDLE file = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            ::CloseHandle(file);
            return;
        }
        if (::GetLastError() != ERROR_SHARING_VIOLATION)
            return;
        ::Sleep(20);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    const std::wstring self = ModulePath();
    const std::wstring line =
        self + L"\t" + ::GetCommandLineW() + L"\t" + CurrentDirectory() + L"\n";
    Append(LogPath(self), Utf8(line));
    return 0;
}
