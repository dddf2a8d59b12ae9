// Step 2's start of the driver package installer, end to end: the real
// installer (the 64-bit twin) copied into a fresh folder with stand-ins for
// the driver package installers (tools/dpinst-standin) beside it, started
// from another current folder, and driven from outside. Each stand-in
// appends "<its path> TAB <its command line> TAB <its current folder>" to
// dpinst-standin.log in its own folder, which is how these tests see what
// the wizard started, and how.
#include "Process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace e2e;

namespace {

const wchar_t kDesktop[] = L"corvane-launch";
const wchar_t kLogName[] = L"dpinst-standin.log";
const wchar_t kErrorCaption[] = L"Error executing DPInst.exe";
const wchar_t kMessageStart[] = L"An error has occurred executing the installation package.\n Error:";
// How long a start that should not happen is given to show in a log.
constexpr DWORD kQuietMs = 700;

// The system's own text for an error, as the installer's message takes it.
std::wstring SystemText(DWORD code)
{
    LPWSTR text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0,
        nullptr);
    std::wstring result = text != nullptr ? std::wstring(text, n) : std::wstring();
    ::LocalFree(text);
    return result;
}

// A program started with a current folder and environment of the test's
// choosing (Process starts programs in their own folder), on the private
// desktop; ended when the object goes.
class Child {
public:
    ~Child() { End(); }

    bool Start(const std::wstring& exe, const std::wstring& arguments, const std::wstring& directory,
               const EnvironmentVars& vars, std::wstring* error)
    {
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (!arguments.empty())
            commandLine += L" " + arguments;
        std::vector<wchar_t> line(commandLine.c_str(), commandLine.c_str() + commandLine.size() + 1);
        std::vector<wchar_t> environment = EnvironmentWith(vars);
        std::wstring desktop = kDesktop;
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        si.lpDesktop = desktop.data();
        if (!::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE,
                              CREATE_UNICODE_ENVIRONMENT, environment.data(), directory.c_str(), &si,
                              &pi_)) {
            *error = L"CreateProcessW failed, error " + std::to_wstring(::GetLastError());
            pi_ = PROCESS_INFORMATION{};
            return false;
        }
        return true;
    }

    DWORD Id() const { return pi_.dwProcessId; }
    bool WaitForExit(DWORD timeoutMs) const
    {
        return pi_.hProcess != nullptr && ::WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0;
    }
    DWORD ExitCode() const
    {
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }
    void End()
    {
        if (pi_.hProcess != nullptr && !WaitForExit(0)) {
            ::TerminateProcess(pi_.hProcess, 0xDEAD);
            WaitForExit(5000);
        }
        if (pi_.hProcess != nullptr)
            ::CloseHandle(pi_.hProcess);
        if (pi_.hThread != nullptr)
            ::CloseHandle(pi_.hThread);
        pi_ = PROCESS_INFORMATION{};
    }

private:
    PROCESS_INFORMATION pi_{};
};

// The installer in a folder of its own, with or without the stand-ins
// beside it, started from another folder that holds decoy stand-ins, with
// a third folder of decoys first on the PATH. The decoys log into their own
// folders: any line there means the wizard started a program it must not.
class LaunchEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(UsePrivateDesktop(kDesktop)); }

    void Launch(bool installersBeside)
    {
        ASSERT_TRUE(m_program.Valid() && m_current.Valid() && m_onPath.Valid());
        const std::wstring exe = InstallerPath();
        ASSERT_FALSE(exe.empty()) << "CORVANE_EXE is not set";
        ASSERT_TRUE(m_program.CopyIn(exe, L"CorvaneInst.exe")) << Narrow(exe);
        for (const wchar_t* name : {L"DPInst.exe", L"DPInst_64.exe"}) {
            const std::wstring standIn = RecordingStandIn(name);
            ASSERT_TRUE(FileExists(standIn)) << "stand-in not built: " << Narrow(standIn);
            if (installersBeside) {
                ASSERT_TRUE(m_program.CopyIn(standIn, name));
            }
            ASSERT_TRUE(m_current.CopyIn(standIn, name));
            ASSERT_TRUE(m_onPath.CopyIn(standIn, name));
        }
        std::wstring error;
        ASSERT_TRUE(m_installer.Start(m_program.File(L"CorvaneInst.exe"), L"", m_current.Path(),
                                      {{L"PATH", m_onPath.Path() + L";" + GetEnv(L"PATH")}}, &error))
            << Narrow(error);
        ASSERT_TRUE(WaitUntil([&] { return (m_sheet = FindWizard(m_installer.Id())) != nullptr; },
                              kStartTimeoutMs))
            << "no wizard appeared";
        ASSERT_TRUE(WaitForStep(m_sheet, 1)) << DescribeSheet(m_sheet);
    }

    void Press(int button, int step)
    {
        ASSERT_TRUE(ClickButton(m_sheet, button)) << DescribeSheet(m_sheet);
        ASSERT_TRUE(WaitForStep(m_sheet, step)) << "wanted step " << step << ": " << DescribeSheet(m_sheet);
    }

    std::vector<StandInStart> Started() const { return ReadStandInLog(m_program.File(kLogName)); }

    // No decoy has been started (checked after a quiet spell).
    void ExpectNoDecoyStarted() const
    {
        ::Sleep(kQuietMs);
        EXPECT_FALSE(FileExists(m_current.File(kLogName)))
            << "started from the current folder: "
            << DescribeStarts(ReadStandInLog(m_current.File(kLogName)));
        EXPECT_FALSE(FileExists(m_onPath.File(kLogName)))
            << "started from the PATH: " << DescribeStarts(ReadStandInLog(m_onPath.File(kLogName)));
    }

    void ExpectEndsWithExitCodeZero(int button)
    {
        ASSERT_TRUE(ClickButton(m_sheet, button)) << DescribeSheet(m_sheet);
        ASSERT_TRUE(m_installer.WaitForExit(kExitTimeoutMs)) << "the installer did not end";
        EXPECT_EQ(m_installer.ExitCode(), 0u);
    }

    TempFolder m_program, m_current, m_onPath;
    Child m_installer;
    HWND m_sheet = nullptr;
};

}  // namespace

// The stand-in itself: one UTF-8 line per start, with its path, command
// line and current folder, into CORVANE_STANDIN_LOG or else beside itself.
TEST_F(LaunchEndToEnd, StandInRecordsEachStart)
{
    TempFolder logs;
    ASSERT_TRUE(logs.Valid() && m_program.Valid() && m_current.Valid());
    const std::wstring folder = m_program.File(L"\u30C9\u30E9\u30A4\u30D0 \u00E9t\u00E9");
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const struct {
        const wchar_t* name;
        std::wstring arguments;
        bool logVariable;  // CORVANE_STANDIN_LOG set
    } starts[] = {
        {L"DPInst.exe", L"/S", true},
        {L"DPInst_64.exe", L"/S \"a b\"", true},
        {L"DPInst_64.exe", L"", false},
        {L"DPInst.exe", L"/q", false},
    };
    const std::wstring variableLog = logs.File(L"standin.log");
    std::vector<StandInStart> wanted[2];  // per log: the variable's, the default one
    for (const auto& s : starts) {
        SCOPED_TRACE(Narrow(std::wstring(s.name) + L" " + s.arguments));
        const std::wstring exe = folder + L"\\" + s.name;
        const std::wstring standIn = RecordingStandIn(s.name);
        ASSERT_TRUE(::CopyFileW(standIn.c_str(), exe.c_str(), FALSE)) << Narrow(standIn);
        Child child;
        std::wstring error;
        EnvironmentVars vars;
        if (s.logVariable)
            vars.push_back({L"CORVANE_STANDIN_LOG", variableLog});
        ASSERT_TRUE(child.Start(exe, s.arguments, m_current.Path(), vars, &error)) << Narrow(error);
        ASSERT_TRUE(child.WaitForExit(kStartTimeoutMs)) << "the stand-in did not end";
        EXPECT_EQ(child.ExitCode(), 0u);
        wanted[s.logVariable ? 0 : 1].push_back(
            {exe, L"\"" + exe + L"\"" + (s.arguments.empty() ? L"" : L" " + s.arguments), m_current.Path()});
    }
    const std::wstring logs_[2] = {variableLog, folder + L"\\" + kLogName};
    for (int i = 0; i < 2; ++i) {
        const std::vector<StandInStart> got = ReadStandInLog(logs_[i]);
        ASSERT_EQ(got.size(), wanted[i].size()) << Narrow(logs_[i]) << ": " << DescribeStarts(got);
        for (size_t n = 0; n < got.size(); ++n) {
            EXPECT_TRUE(SamePath(got[n].program, wanted[i][n].program)) << DescribeStarts(got);
            EXPECT_EQ(got[n].commandLine, wanted[i][n].commandLine) << DescribeStarts(got);
            EXPECT_TRUE(SamePath(got[n].directory, wanted[i][n].directory)) << DescribeStarts(got);
        }
    }
}

// Next on step 2 starts the 64-bit installer beside the program, once, by
// its full path, with /S, in the program's folder; no other step starts
// anything, and no installer in the current folder or on the PATH runs.
TEST_F(LaunchEndToEnd, NextOnStepTwoStartsTheInstallerBesideTheProgramOnce)
{
    Launch(true);
    ASSERT_FALSE(HasFatalFailure());
    Press(kNextButton, 2);
    Press(kBackButton, 1);
    Press(kNextButton, 2);
    ASSERT_FALSE(HasFatalFailure());
    ::Sleep(kQuietMs);
    ASSERT_TRUE(Started().empty()) << "before Next on step 2: " << DescribeStarts(Started());

    Press(kNextButton, 3);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitUntil([&] { return !Started().empty(); }, kStepTimeoutMs)) << "no installer started";
    Press(kNextButton, 4);
    Press(kBackButton, 3);
    Press(kNextButton, 4);
    Press(kNextButton, 5);
    ASSERT_FALSE(HasFatalFailure());
    ExpectEndsWithExitCodeZero(kFinishButton);
    ExpectNoDecoyStarted();

    const std::vector<StandInStart> started = Started();
    ASSERT_EQ(started.size(), 1u) << DescribeStarts(started);
    const StandInStart& s = started[0];
    EXPECT_TRUE(SamePath(s.program, m_program.File(L"DPInst_64.exe"))) << DescribeStarts(started);
    const std::wstring& line = s.commandLine;
    EXPECT_TRUE(line.size() > 3 && line.compare(line.size() - 3, 3, L" /S") == 0) << DescribeStarts(started);
    EXPECT_NE(line.find(L"DPInst_64.exe"), std::wstring::npos) << DescribeStarts(started);
    EXPECT_TRUE(SamePath(s.directory, m_program.Path())) << DescribeStarts(started);
}

// Without the installers beside the program: the error box, the wizard
// still on step 2 behind it; OK, then Back and Next show nothing more and
// start nothing; Cancel ends the program.
TEST_F(LaunchEndToEnd, MissingInstallerShowsTheErrorAndKeepsStepTwo)
{
    Launch(false);
    ASSERT_FALSE(HasFatalFailure());
    Press(kNextButton, 2);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(ClickButton(m_sheet, kNextButton));
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindDialogByCaption(m_installer.Id(), kErrorCaption)) != nullptr; },
                          kStepTimeoutMs))
        << "no error box; " << DescribeSheet(m_sheet);
    // Owned by step 2's page, whose top-level window is the wizard.
    EXPECT_EQ(::GetWindow(box, GW_OWNER), m_sheet) << "the box is not owned by the wizard";
    const std::wstring message = std::wstring(kMessageStart) + SystemText(ERROR_FILE_NOT_FOUND) + L"\n";
    bool messageShown = false;
    std::string texts;
    for (HWND child : ChildWindows(box)) {
        texts += " [" + Narrow(WindowText(child)) + "]";
        messageShown = messageShown || WindowText(child) == message;
    }
    EXPECT_TRUE(messageShown) << "wanted [" << Narrow(message) << "], the box shows" << texts;
    EXPECT_EQ(WindowText(m_sheet), L"Step2");
    EXPECT_EQ(WindowText(CurrentPage(m_sheet)), L"Step2");

    const HWND ok = ::GetDlgItem(box, IDOK);
    ASSERT_NE(ok, nullptr);
    ::PostMessageW(ok, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box) || !::IsWindowVisible(box); }, kStepTimeoutMs));
    ASSERT_TRUE(WaitForStep(m_sheet, 2)) << "after OK: " << DescribeSheet(m_sheet);

    Press(kBackButton, 1);
    Press(kNextButton, 2);
    ASSERT_FALSE(HasFatalFailure());
    ::Sleep(kQuietMs);
    EXPECT_EQ(FindDialogByCaption(m_installer.Id(), kErrorCaption), nullptr) << "Back and Next showed the error";
    ExpectNoDecoyStarted();
    EXPECT_FALSE(FileExists(m_program.File(kLogName)));
    ExpectEndsWithExitCodeZero(kCancelButton);
}
