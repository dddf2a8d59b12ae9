// Helpers for tests that start the real installer as a separate process and
// drive it from outside through its windows, as a user would: paths from the
// test environment, throw-away folders, child processes that are always
// ended, and lookups of the wizard's windows and buttons.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// Identifiers of the property sheet's buttons.
constexpr int kBackButton = 0x3023;
constexpr int kNextButton = 0x3024;
constexpr int kFinishButton = 0x3025;
constexpr int kCancelButton = IDCANCEL;
constexpr int kApplyButton = 0x3021;
constexpr int kHelpButton = IDHELP;

// Default waits: long enough for Wine's first start in a new prefix (it
// builds its caches) on a loaded machine, short enough that a hang fails
// the test within a minute. Waits end as soon as their condition holds.
constexpr DWORD kStartTimeoutMs = 60000;
constexpr DWORD kStepTimeoutMs = 20000;
constexpr DWORD kExitTimeoutMs = 20000;

// ---------------------------------------------------------------------------
// Environment and files

// The value of an environment variable; empty when it is not set.
std::wstring GetEnv(const wchar_t* name);

// A path that Windows functions accept: a Unix path ("/a/b") becomes the
// matching path on Wine's drive Z: ("Z:\a\b"); other paths are returned
// with forward slashes turned into backslashes.
std::wstring ToWindowsPath(const std::wstring& path);

// The 64-bit installer under test (CORVANE_EXE) and the folder of the built
// tools (CORVANE_TOOLS_DIR), as Windows paths; empty when not set.
std::wstring InstallerPath();
std::wstring ToolsDir();

bool FileExists(const std::wstring& path);

// A new empty folder under the temporary folder, removed with everything in
// it when the object goes. Copy files into it to place them beside a program.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool Valid() const { return !m_path.empty(); }
    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }
    // Copies the file at from into the folder as name; false on failure.
    bool CopyIn(const std::wstring& from, const std::wstring& name) const;

private:
    std::wstring m_path;
};

// The built recording stand-in for the driver package installers
// (tools/dpinst-standin) under name, DPInst.exe or DPInst_64.exe: its path
// under the tools folder, whether or not it exists; empty when
// CORVANE_TOOLS_DIR is not set.
std::wstring RecordingStandIn(const wchar_t* name = L"DPInst_64.exe");

// Puts a stand-in for the driver package installer (any program named
// DPInst_64.exe) into folder: tools\dpinst-standin\DPInst_64.exe when it has
// been built, else tools\walker\corvane-noop.exe (a program that only exits).
// Returns false when neither could be copied.
bool PlaceInstallerStandIn(const TempFolder& folder);

// One start as the recording stand-in logs it, from a line
// "<its full path> TAB <its command line> TAB <its current directory>". A
// line without two tabs gives the whole line as program and
// "<malformed log line>" as command line.
struct StandInStart {
    std::wstring program, commandLine, directory;
};

// The starts in a recording stand-in's log: complete lines only. Empty when
// there is no log.
std::vector<StandInStart> ReadStandInLog(const std::wstring& path);

// The starts, one a line, for failure messages.
std::string DescribeStarts(const std::vector<StandInStart>& starts);

// Paths compare as Windows compares them: without regard to case, and with
// or without a trailing backslash.
bool SamePath(std::wstring a, std::wstring b);

// ---------------------------------------------------------------------------
// Processes

// Moves the calling thread onto a desktop of its own, name, and makes every
// Process start its program there (its windows are then the only ones that
// EnumWindows and FindWindow of this thread see). Under Wine the desktop is
// a virtual one of the given size, with title bars, and without the two
// seconds that Wine under a bare X server (no window manager) waits for
// each closed top-level window. Call it before this thread makes any
// window; repeated calls with the same name do nothing. False on failure.
bool UsePrivateDesktop(const std::wstring& name = L"corvane-e2e",
                       const std::wstring& size = L"1024x768");

// Environment variables as name/value pairs.
using EnvironmentVars = std::vector<std::pair<std::wstring, std::wstring>>;

// An environment block for CreateProcessW: this process's environment with
// the given variables set (replacing any of the same name).
std::vector<wchar_t> EnvironmentWith(const EnvironmentVars& vars);

// Whether this process runs under Wine.
bool RunningUnderWine();

// The ids of the running processes whose program is the file at path (by
// full image path, without regard to case); nothing when the process list
// cannot be read (std::nullopt).
std::optional<std::vector<DWORD>> ProcessesOfImage(const std::wstring& path);

// A child process, terminated (if still running) when the object goes.
class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts exe with the command line "<quoted exe> <arguments>" (arguments
    // verbatim), in the exe's folder, with this process's environment plus
    // vars. On failure returns false and puts the reason into *error.
    //
    // On Windows vars go into the child's environment block. Under Wine a
    // Windows parent's block reaches the child's Windows environment but not
    // the Unix environment from which Wine takes the locale (a child given
    // LC_ALL=ja_JP.UTF-8 that way still reports UI language 0x409), so with
    // vars the child is started from the Unix side instead:
    // "/usr/bin/env NAME=VALUE... $WINELOADER exe arguments" (through
    // "explorer /desktop=..." with UsePrivateDesktop), and this
    // object then attaches to the Windows process running exe (found by
    // its full path, which should be unique, e.g. a copy in a TempFolder).
    bool Start(const std::wstring& exe, const std::wstring& arguments = L"",
               const EnvironmentVars& vars = {}, std::wstring* error = nullptr);

    DWORD Id() const { return m_pi.dwProcessId; }
    HANDLE Handle() const { return m_pi.hProcess; }
    bool Running() const;
    // Waits for the process to end; true when it has ended.
    bool WaitForExit(DWORD timeoutMs) const;
    DWORD ExitCode() const;
    // Ends the process if it still runs and waits for it; safe to repeat.
    void Terminate();

private:
    bool StartThroughUnix(const std::wstring& exe, const std::wstring& arguments,
                          const EnvironmentVars& vars, std::wstring* error);

    PROCESS_INFORMATION m_pi{};
};

// ---------------------------------------------------------------------------
// Windows

// Polls condition every pollMs until it holds or timeoutMs pass; returns
// whether it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 15);

std::wstring ClassName(HWND hwnd);
std::wstring WindowText(HWND hwnd);
std::vector<HWND> TopLevelWindows(DWORD processId);
std::vector<HWND> ChildWindows(HWND parent);

// The wizard: a visible top-level dialog ("#32770") of the process that has
// a Next button. NULL when there is none.
HWND FindWizard(DWORD processId);
HWND WaitForWizard(const Process& process, DWORD timeoutMs = kStartTimeoutMs);

// A visible top-level dialog of the process with the given caption (a
// message box, for example); NULL when there is none.
HWND FindDialogByCaption(DWORD processId, const std::wstring& caption);

// The sheet's button with this id (a direct child); NULL when missing.
HWND SheetButton(HWND sheet, int id);
bool IsShown(HWND hwnd);                 // exists and is visible
bool IsShownAndEnabled(HWND hwnd);       // exists, visible, enabled

// The page window the sheet shows now (PSM_GETCURRENTPAGEHWND).
HWND CurrentPage(HWND sheet);

// Presses the button as a click would (BM_CLICK, posted so that a message
// box it opens does not block the caller). False when the button is
// missing, hidden or disabled.
bool ClickButton(HWND sheet, int id);

// Waits until the wizard shows step n (1 to 5): the title "Step<n>", the
// page shown, and the buttons of that step settled (Back, Next/Finish as
// the wizard sets them). False on timeout.
bool WaitForStep(HWND sheet, int step, DWORD timeoutMs = kStepTimeoutMs);

// A readable summary of the sheet's state, for failure messages.
std::string DescribeSheet(HWND sheet);

// Window rectangle of child relative to parent's client area.
RECT RectInParent(HWND child, HWND parent);

std::string Narrow(const std::wstring& text);

// The complete lines of a UTF-8 log file (a stand-in's); empty when there is
// none.
std::vector<std::wstring> ReadLogLines(const std::wstring& path);

// Dialog base units of a page, from its heading: a static 177 x 32 units in
// every page template. The units are whole numbers; these are the ones that
// map the heading to its size in pixels as MapDialogRect does.
bool HeadingBaseUnits(HWND page, int* unitX, int* unitY);

}  // namespace e2e
