#include "Process.h"

#include <commctrl.h>
#include <prsht.h>
#include <tlhelp32.h>

#include <cwchar>
#include <cwctype>
#include <map>

namespace e2e {

// ---------------------------------------------------------------------------
// Environment and files

std::wstring GetEnv(const wchar_t* name)
{
    const DWORD n = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0)
        return std::wstring();
    std::wstring value(n, L'\0');
    const DWORD written = ::GetEnvironmentVariableW(name, value.data(), n);
    value.resize(written < n ? written : 0);
    return value;
}

std::wstring ToWindowsPath(const std::wstring& path)
{
    std::wstring result = path;
    for (wchar_t& c : result)
        if (c == L'/')
            c = L'\\';
    if (!path.empty() && path[0] == L'/')
        result = L"Z:" + result;
    return result;
}

std::wstring InstallerPath()
{
    const std::wstring exe = GetEnv(L"CORVANE_EXE");
    return exe.empty() ? exe : ToWindowsPath(exe);
}

std::wstring ToolsDir()
{
    const std::wstring dir = GetEnv(L"CORVANE_TOOLS_DIR");
    return dir.empty() ? dir : ToWindowsPath(dir);
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    const HANDLE hFind = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(hFind, &data));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

TempFolder::TempFolder()
{
    wchar_t base[MAX_PATH];
    const DWORD n = ::GetTempPathW(MAX_PATH, base);
    if (n == 0 || n >= MAX_PATH)
        return;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        wchar_t name[64];
        std::swprintf(name, 64, L"corvane-e2e-%lu-%lu-%u", ::GetCurrentProcessId(),
                      ::GetTickCount(), attempt);
        std::wstring path = std::wstring(base) + name;
        if (::CreateDirectoryW(path.c_str(), nullptr)) {
            m_path = path;
            return;
        }
    }
}

TempFolder::~TempFolder()
{
    if (!m_path.empty())
        RemoveTree(m_path);
}

bool TempFolder::CopyIn(const std::wstring& from, const std::wstring& name) const
{
    return Valid() && ::CopyFileW(from.c_str(), File(name).c_str(), FALSE) != 0;
}

std::wstring RecordingStandIn(const wchar_t* name)
{
    const std::wstring tools = ToolsDir();
    return tools.empty() ? tools : tools + L"\\dpinst-standin\\" + name;
}

bool PlaceInstallerStandIn(const TempFolder& folder)
{
    const std::wstring tools = ToolsDir();
    if (tools.empty())
        return false;
    for (const std::wstring& path : {RecordingStandIn(), tools + L"\\walker\\corvane-noop.exe"}) {
        if (FileExists(path) && folder.CopyIn(path, L"DPInst_64.exe"))
            return true;
    }
    return false;
}

std::vector<StandInStart> ReadStandInLog(const std::wstring& path)
{
    std::vector<StandInStart> starts;
    for (const std::wstring& line : ReadLogLines(path)) {
        const size_t first = line.find(L'\t');
        const size_t last = line.rfind(L'\t');
        if (first == std::wstring::npos || first == last) {
            starts.push_back({line, L"<malformed log line>", L""});
            continue;
        }
        starts.push_back({line.substr(0, first), line.substr(first + 1, last - first - 1),
                          line.substr(last + 1)});
    }
    return starts;
}

std::string DescribeStarts(const std::vector<StandInStart>& starts)
{
    std::string text = std::to_string(starts.size()) + " start(s)";
    for (const StandInStart& s : starts)
        text += "\n  " + Narrow(s.program) + " | " + Narrow(s.commandLine) + " | " + Narrow(s.directory);
    return text;
}

bool SamePath(std::wstring a, std::wstring b)
{
    while (a.size() > 3 && a.back() == L'\\')
        a.pop_back();
    while (b.size() > 3 && b.back() == L'\\')
        b.pop_back();
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// ---------------------------------------------------------------------------
// Processes

std::vector<wchar_t> EnvironmentWith(const EnvironmentVars& vars)
{
    // Names compare without regard to case, as Windows does.
    struct Less {
        bool operator()(const std::wstring& a, const std::wstring& b) const
        {
            return _wcsicmp(a.c_str(), b.c_str()) < 0;
        }
    };
    std::map<std::wstring, std::wstring, Less> entries;
    std::vector<std::wstring> hidden;  // entries such as "=C:=C:\x"
    if (wchar_t* block = ::GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p != L'\0'; p += std::wcslen(p) + 1) {
            const std::wstring entry = p;
            const size_t eq = entry.find(L'=', 1);
            if (entry[0] == L'=' || eq == std::wstring::npos)
                hidden.push_back(entry);
            else
                entries[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
        ::FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : vars)
        entries[name] = value;

    std::vector<wchar_t> result;
    for (const std::wstring& entry : hidden)
        result.insert(result.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    for (const auto& [name, value] : entries) {
        const std::wstring entry = name + L"=" + value;
        result.insert(result.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    }
    result.push_back(L'\0');
    return result;
}

Process::~Process()
{
    Terminate();
}

namespace {
std::wstring g_desktop;       // set by UsePrivateDesktop
std::wstring g_desktopSize;
}  // namespace

bool UsePrivateDesktop(const std::wstring& name, const std::wstring& size)
{
    if (g_desktop == name)
        return true;
    // Wine makes a desktop virtual when the registry gives it a size.
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Explorer\\Desktops", 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(size.c_str()),
                         static_cast<DWORD>((size.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
    }
    const HDESK desktop = ::CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (desktop == nullptr || !::SetThreadDesktop(desktop))
        return false;
    g_desktop = name;
    g_desktopSize = size;
    return true;
}

bool RunningUnderWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

namespace {

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void SetError(std::wstring* error, const wchar_t* what, DWORD code)
{
    if (error != nullptr) {
        wchar_t text[160];
        std::swprintf(text, 160, L"%ls, error %lu", what, code);
        *error = text;
    }
}

}  // namespace

std::optional<std::vector<DWORD>> ProcessesOfImage(const std::wstring& path)
{
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::vector<DWORD> found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry)) {
        const HANDLE process =
            ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (process == nullptr)
            continue;
        wchar_t image[MAX_PATH * 2];
        DWORD size = MAX_PATH * 2;
        if (::QueryFullProcessImageNameW(process, 0, image, &size) &&
            _wcsicmp(image, path.c_str()) == 0)
            found.push_back(entry.th32ProcessID);
        ::CloseHandle(process);
    }
    ::CloseHandle(snapshot);
    return found;
}

bool Process::Start(const std::wstring& exe, const std::wstring& arguments,
                    const EnvironmentVars& vars, std::wstring* error)
{
    Terminate();
    if (!vars.empty() && RunningUnderWine())
        return StartThroughUnix(exe, arguments, vars, error);

    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    const std::wstring folder = FolderOf(exe);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    std::wstring desktop = g_desktop;
    if (!desktop.empty())
        si.lpDesktop = desktop.data();
    std::vector<wchar_t> mutableLine(commandLine.c_str(), commandLine.c_str() + commandLine.size() + 1);
    std::vector<wchar_t> environment;
    if (!vars.empty())
        environment = EnvironmentWith(vars);
    if (!::CreateProcessW(exe.c_str(), mutableLine.data(), nullptr, nullptr, FALSE,
                          CREATE_UNICODE_ENVIRONMENT,
                          environment.empty() ? nullptr : environment.data(),
                          folder.empty() ? nullptr : folder.c_str(), &si, &m_pi)) {
        SetError(error, L"CreateProcessW failed", ::GetLastError());
        m_pi = PROCESS_INFORMATION{};
        return false;
    }
    return true;
}

bool Process::StartThroughUnix(const std::wstring& exe, const std::wstring& arguments,
                               const EnvironmentVars& vars, std::wstring* error)
{
    std::wstring loader = GetEnv(L"WINELOADER");
    if (loader.empty())
        loader = L"/usr/lib/wine/wine64";
    std::wstring commandLine = L"/usr/bin/env";
    for (const auto& [name, value] : vars)
        commandLine += L" \"" + name + L"=" + value + L"\"";
    commandLine += L" \"" + loader + L"\"";
    if (!g_desktop.empty())
        commandLine += L" explorer.exe /desktop=" + g_desktop + L"," + g_desktopSize;
    commandLine += L" \"" + exe + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    const std::wstring folder = FolderOf(exe);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    std::vector<wchar_t> mutableLine(commandLine.c_str(), commandLine.c_str() + commandLine.size() + 1);
    PROCESS_INFORMATION spawned{};
    if (!::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &si, &spawned)) {
        SetError(error, L"starting the program through the Unix side failed", ::GetLastError());
        return false;
    }
    // A Unix program gets no Windows process handle: attach to the Windows
    // process once the loader has started it.
    if (spawned.hProcess != nullptr)
        ::CloseHandle(spawned.hProcess);
    if (spawned.hThread != nullptr)
        ::CloseHandle(spawned.hThread);
    DWORD pid = 0;
    WaitUntil(
        [&] {
            const auto found = ProcessesOfImage(exe);
            pid = found && !found->empty() ? found->front() : 0;
            return pid != 0;
        },
        kStartTimeoutMs);
    const HANDLE process =
        pid != 0 ? ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                                 FALSE, pid)
                 : nullptr;
    if (process == nullptr) {
        SetError(error, L"the program started through the Unix side did not appear",
                 ::GetLastError());
        return false;
    }
    m_pi.hProcess = process;
    m_pi.dwProcessId = pid;
    return true;
}

bool Process::Running() const
{
    return m_pi.hProcess != nullptr && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeoutMs) const
{
    return m_pi.hProcess != nullptr &&
           ::WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (m_pi.hProcess != nullptr)
        ::GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
}

void Process::Terminate()
{
    if (m_pi.hProcess != nullptr) {
        if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_pi.hProcess, 0xDEAD);
            ::WaitForSingleObject(m_pi.hProcess, 5000);
        }
        ::CloseHandle(m_pi.hProcess);
    }
    if (m_pi.hThread != nullptr)
        ::CloseHandle(m_pi.hThread);
    m_pi = PROCESS_INFORMATION{};
}

// ---------------------------------------------------------------------------
// Windows

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(pollMs);
    }
}

std::wstring ClassName(HWND hwnd)
{
    wchar_t name[256] = L"";
    ::GetClassNameW(hwnd, name, 256);
    return name;
}

std::wstring WindowText(HWND hwnd)
{
    // WM_GETTEXT with a timeout: a hung window must not hang the test.
    wchar_t text[512] = L"";
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text),
                               SMTO_ABORTIFHUNG, 1000, &copied))
        return std::wstring();
    return std::wstring(text, copied < 512 ? copied : 511);
}

std::vector<HWND> TopLevelWindows(DWORD processId)
{
    struct Search {
        DWORD processId;
        std::vector<HWND> found;
    } search{processId, {}};
    ::EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(hwnd, &pid);
            if (pid == s->processId)
                s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> ChildWindows(HWND parent)
{
    std::vector<HWND> found;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT))
        found.push_back(child);
    return found;
}

HWND FindWizard(DWORD processId)
{
    for (HWND hwnd : TopLevelWindows(processId)) {
        if (::IsWindowVisible(hwnd) && ClassName(hwnd) == L"#32770" &&
            SheetButton(hwnd, kNextButton) != nullptr)
            return hwnd;
    }
    return nullptr;
}

HWND WaitForWizard(const Process& process, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = FindWizard(process.Id());
            return found != nullptr || !process.Running();
        },
        timeoutMs);
    return found;
}

HWND FindDialogByCaption(DWORD processId, const std::wstring& caption)
{
    for (HWND hwnd : TopLevelWindows(processId)) {
        if (::IsWindowVisible(hwnd) && ClassName(hwnd) == L"#32770" && WindowText(hwnd) == caption)
            return hwnd;
    }
    return nullptr;
}

HWND SheetButton(HWND sheet, int id)
{
    const HWND button = ::GetDlgItem(sheet, id);
    if (button == nullptr || ::GetParent(button) != sheet)
        return nullptr;
    return button;
}

bool IsShown(HWND hwnd)
{
    return hwnd != nullptr && ::IsWindowVisible(hwnd);
}

bool IsShownAndEnabled(HWND hwnd)
{
    return IsShown(hwnd) && ::IsWindowEnabled(hwnd);
}

HWND CurrentPage(HWND sheet)
{
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 1000,
                               &result))
        return nullptr;
    return reinterpret_cast<HWND>(result);
}

bool ClickButton(HWND sheet, int id)
{
    const HWND button = SheetButton(sheet, id);
    if (!IsShownAndEnabled(button))
        return false;
    return ::PostMessageW(button, BM_CLICK, 0, 0) != 0;
}

namespace {

// What the wizard shows on each step: Back on steps 2, 4 and 5; Next on
// steps 1 to 4; Finish (in place of Next) on step 5.
struct StepButtons {
    bool back;
    bool next;
    bool finish;
};
constexpr StepButtons kStepButtons[5] = {
    {false, true, false}, {true, true, false}, {false, true, false},
    {true, true, false},  {true, false, true},
};

bool ButtonMatches(HWND sheet, int id, bool wanted)
{
    const HWND button = SheetButton(sheet, id);
    if (id == kFinishButton || id == kNextButton)  // the one not wanted is hidden or disabled
        return wanted ? IsShownAndEnabled(button) : !IsShownAndEnabled(button);
    return wanted ? IsShownAndEnabled(button) : (IsShown(button) && !::IsWindowEnabled(button));
}

}  // namespace

bool WaitForStep(HWND sheet, int step, DWORD timeoutMs)
{
    if (step < 1 || step > 5)
        return false;
    wchar_t title[16];
    std::swprintf(title, 16, L"Step%d", step);
    const StepButtons& buttons = kStepButtons[step - 1];
    return WaitUntil(
        [&] {
            if (!::IsWindow(sheet) || WindowText(sheet) != title)
                return false;
            const HWND page = CurrentPage(sheet);
            return IsShown(page) && WindowText(page) == title &&
                   ButtonMatches(sheet, kBackButton, buttons.back) &&
                   ButtonMatches(sheet, kNextButton, buttons.next) &&
                   ButtonMatches(sheet, kFinishButton, buttons.finish);
        },
        timeoutMs);
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string result(n, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), result.data(),
                          n, nullptr, nullptr);
    return result;
}

std::string DescribeSheet(HWND sheet)
{
    if (!::IsWindow(sheet))
        return "(no wizard window)";
    std::string text = "title \"" + Narrow(WindowText(sheet)) + "\"";
    const struct {
        int id;
        const char* name;
    } named[] = {{kBackButton, "Back"},   {kNextButton, "Next"},   {kFinishButton, "Finish"},
                 {kCancelButton, "Cancel"}, {kHelpButton, "Help"}, {kApplyButton, "Apply"}};
    for (const auto& b : named) {
        const HWND button = SheetButton(sheet, b.id);
        text += std::string(", ") + b.name + ": ";
        if (button == nullptr)
            text += "none";
        else
            text += std::string(::IsWindowVisible(button) ? "shown" : "hidden") +
                    (::IsWindowEnabled(button) ? "/enabled" : "/disabled");
    }
    const HWND page = CurrentPage(sheet);
    text += ", page \"" + (page != nullptr ? Narrow(WindowText(page)) : std::string("none")) + "\"";
    return text;
}

RECT RectInParent(HWND child, HWND parent)
{
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<std::wstring> ReadLogLines(const std::wstring& path)
{
    std::vector<std::wstring> lines;
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lines;
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    ::CloseHandle(file);
    std::wstring text(bytes.size(), L'\0');
    text.resize(::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                      text.data(), static_cast<int>(text.size())));
    for (size_t begin = 0, end; (end = text.find(L'\n', begin)) != std::wstring::npos; begin = end + 1)
        lines.push_back(text.substr(begin, end - begin));
    return lines;
}

bool HeadingBaseUnits(HWND page, int* unitX, int* unitY)
{
    for (HWND child : ChildWindows(page)) {
        if (WindowText(child) != L"Corvane Installer")
            continue;
        const RECT r = RectInParent(child, page);
        for (int x = 1; x < 64; ++x) {
            if (::MulDiv(177, x, 4) != r.right - r.left)
                continue;
            for (int y = 1; y < 64; ++y) {
                if (::MulDiv(32, y, 8) == r.bottom - r.top) {
                    *unitX = x;
                    *unitY = y;
                    return true;
                }
            }
        }
    }
    return false;
}

}  // namespace e2e
