// What the test stand-ins share: they record how they were started by
// appending one UTF-8 line to a log file, and exit.
#pragma once

#include <windows.h>

#include <string>

namespace standin {

// This program's full path.
inline std::wstring ModulePath()
{
    std::wstring path(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n < path.size() ? n : 0);
    return path;
}

// The folder of this program, with its trailing backslash.
inline std::wstring ModuleFolder()
{
    const std::wstring path = ModulePath();
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

inline std::string Utf8(const std::wstring& text)
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

// Appends line to the log in UTF-8 with one write, retrying while another
// start holds the file.
inline void AppendLine(const std::wstring& log, const std::wstring& line)
{
    const std::string bytes = Utf8(line + L"\n");
    for (int attempt = 0; attempt < 50; ++attempt) {
        const HANDLE file = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            ::CloseHandle(file);
            return;
        }
        if (::GetLastError() != ERROR_SHARING_VIOLATION)
            return;
        ::Sleep(20);
    }
}

}  // namespace standin
