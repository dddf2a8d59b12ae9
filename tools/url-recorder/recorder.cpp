// A stand-in for the web browser: registered as the command of the http and
// https schemes ("<this program>" "%1"), it records what it was asked to open
// and exits 0 at once. Each start appends one UTF-8 line to
// url-recorder.log in the program's own folder: its arguments (without the
// program's name) as the command line splits them, joined by single spaces.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::wstring LogPath()
{
    std::wstring path(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n < path.size() ? n : 0);
    const size_t slash = path.find_last_of(L'\\');
    return (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) +
           L"url-recorder.log";
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
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::wstring line;
    for (int i = 1; argv != nullptr && i < argc; ++i)
        line += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
    if (argv != nullptr)
        ::LocalFree(argv);
    Append(LogPath(), Utf8(line + L"\n"));
    return 0;
}
