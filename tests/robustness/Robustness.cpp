// Robustness of the real installer (the 64-bit twin, CORVANE_EXE) under
// Wine, driven from outside as a separate process (tests/e2e/Process.h):
// every way of ending it on every step, arguments it must ignore, a
// read-only program folder, and long Back/Next and hover sessions in both
// user interface languages without growth of GDI/USER objects.
//
// The driver package installer beside it is the project's recording
// stand-in (tools/dpinst-standin), logging into a fresh file for each start
// of the installer, so each test knows how often, as which program and with
// which command line, it was started.
#include "bench/GuiObjects.h"
#include "e2e/Process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace e2e;

namespace {

constexpr int kLinkId = 1003;  // the web link of step 5 (IDC_LINK)

// Waits for the wizard to show step and its buttons, polling every
// millisecond (WaitForStep polls every 15 ms: too slow for hundreds of moves).
bool QuickWaitForStep(HWND sheet, int step)
{
    const std::wstring title = L"Step" + std::to_wstring(step);
    const int forward = step == 5 ? kFinishButton : kNextButton;
    return WaitUntil(
        [&] {
            return WindowText(sheet) == title && WindowText(CurrentPage(sheet)) == title &&
                   IsShownAndEnabled(SheetButton(sheet, forward)) &&
                   (step != 4 || IsShownAndEnabled(SheetButton(sheet, kBackButton)));
        },
        kStepTimeoutMs, 1);
}

class RobustBase : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(UsePrivateDesktop(L"corvane-robust")); }

    void TearDown() override { m_process.Terminate(); }

    // Places the installer and the recording stand-in (as DPInst_64.exe)
    // into folder. Not through PlaceInstallerStandIn: that falls back to a
    // program that logs nothing, with which a test that wants no start would
    // pass without looking.
    static void Populate(const TempFolder& folder)
    {
        const std::wstring exe = InstallerPath();
        ASSERT_FALSE(exe.empty()) << "CORVANE_EXE is not set";
        ASSERT_TRUE(folder.Valid());
        ASSERT_TRUE(folder.CopyIn(exe, L"CorvaneInst.exe")) << "cannot copy " << Narrow(exe);
        const std::wstring standIn = RecordingStandIn();
        ASSERT_TRUE(FileExists(standIn)) << "stand-in not built: " << Narrow(standIn);
        ASSERT_TRUE(folder.CopyIn(standIn, L"DPInst_64.exe")) << "cannot copy " << Narrow(standIn);
    }

    // Starts the installer from folder and waits for step 1. The stand-in
    // records into a log in m_logFolder (never in the program folder).
    void Launch(const TempFolder& folder, const std::wstring& arguments = L"",
                EnvironmentVars vars = {})
    {
        ASSERT_TRUE(m_logFolder.Valid());
        m_log = m_logFolder.File(L"standin-" + std::to_wstring(++m_launches) + L".log");
        ::SetEnvironmentVariableW(L"CORVANE_STANDIN_LOG", m_log.c_str());
        if (!vars.empty())  // started through the Unix side: give it there too
            vars.emplace_back(L"CORVANE_STANDIN_LOG", m_log);
        m_exe = folder.File(L"CorvaneInst.exe");
        std::wstring error;
        ASSERT_TRUE(m_process.Start(m_exe, arguments, vars, &error)) << Narrow(error);
        m_sheet = WaitForWizard(m_process);
        ASSERT_NE(m_sheet, nullptr) << "no wizard; process " << (m_process.Running() ? "running" : "ended");
        ASSERT_TRUE(WaitForStep(m_sheet, 1)) << DescribeSheet(m_sheet);
    }

    void NextUntil(int from, int to)
    {
        for (int step = from; step < to; ++step) {
            ASSERT_TRUE(ClickButton(m_sheet, kNextButton)) << "step " << step << ": " << DescribeSheet(m_sheet);
            ASSERT_TRUE(WaitForStep(m_sheet, step + 1)) << "after Next on step " << step << ": "
                                                         << DescribeSheet(m_sheet);
        }
    }

    // The stand-in's starts so far, from this launch's log (each launch has
    // a log of its own, so every line is a start by this installer).
    std::vector<StandInStart> StandInStarts() const { return ReadStandInLog(m_log); }

    // Waits a little for a stand-in started by the last Next to record itself.
    std::vector<StandInStart> StandInStartsSettled(size_t expected) const
    {
        WaitUntil([&] { return StandInStarts().size() >= expected; }, kStepTimeoutMs);
        ::Sleep(50);  // a second, unexpected start would show up now
        return StandInStarts();
    }

    // From step 1 to step 5 with Next, then Finish: the process ends at once
    // and the installer stand-in has started once; its starts, settled.
    std::vector<StandInStart> WalkToFinish()
    {
        NextUntil(1, 5);
        if (HasFatalFailure())
            return {};
        EXPECT_TRUE(ClickButton(m_sheet, kFinishButton)) << DescribeSheet(m_sheet);
        ExpectEndedAtOnce("Finish");
        return StandInStartsSettled(1);
    }

    // The process ended at once with code 0 and left nothing behind.
    void ExpectEndedAtOnce(const char* how)
    {
        EXPECT_TRUE(m_process.WaitForExit(kExitTimeoutMs))
            << "still running " << kExitTimeoutMs / 1000 << " s after " << how;
        EXPECT_EQ(m_process.ExitCode(), 0u) << "exit code after " << how;
        const auto left = ProcessesOfImage(m_exe);  // nothing when the list cannot be read
        EXPECT_EQ(left ? static_cast<int>(left->size()) : -1, 0)
            << "a process of the installer is left after " << how;
        EXPECT_TRUE(TopLevelWindows(m_process.Id()).empty()) << "windows left after " << how;
    }

    TempFolder m_folder;
    TempFolder m_logFolder;
    Process m_process;
    HWND m_sheet = nullptr;
    std::wstring m_exe;
    std::wstring m_log;
    int m_launches = 0;
};

// ---------------------------------------------------------------------------
// Ending: Cancel, Escape and the window's close command on every step.

enum class Ending { CancelButton, EscapeKey, CloseCommand };

void End(HWND sheet, DWORD threadId, Ending how)
{
    switch (how) {
    case Ending::CancelButton:
        ASSERT_TRUE(ClickButton(sheet, kCancelButton)) << DescribeSheet(sheet);
        break;
    case Ending::EscapeKey: {
        // The key as the wizard's message loop receives it: to the window
        // that has the keyboard focus in the wizard's thread.
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        HWND target = sheet;
        if (::GetGUIThreadInfo(threadId, &info) && info.hwndFocus != nullptr)
            target = info.hwndFocus;
        const UINT scan = ::MapVirtualKeyW(VK_ESCAPE, MAPVK_VK_TO_VSC);
        ASSERT_TRUE(::PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1 | (scan << 16)));
        ASSERT_TRUE(::PostMessageW(target, WM_KEYUP, VK_ESCAPE, 1 | (scan << 16) | 0xC0000000u));
        break;
    }
    case Ending::CloseCommand:
        ASSERT_TRUE(::PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0));
        break;
    }
}

class RobustEnd : public RobustBase {
protected:
    void EndOnEveryStep(Ending how, const char* name)
    {
        for (int step = 1; step <= 5; ++step) {
            SCOPED_TRACE(std::string(name) + " on step " + std::to_string(step));
            TempFolder folder;
            Populate(folder);
            ASSERT_FALSE(HasFatalFailure());
            Launch(folder);
            ASSERT_FALSE(HasFatalFailure());
            NextUntil(1, step);
            ASSERT_FALSE(HasFatalFailure());
            End(m_sheet, ::GetWindowThreadProcessId(m_sheet, nullptr), how);
            ASSERT_FALSE(HasFatalFailure());
            ExpectEndedAtOnce(name);
            // The driver installer starts on step 2's Next only (it may run on).
            const std::vector<StandInStart> starts = StandInStartsSettled(step > 2 ? 1 : 0);
            EXPECT_EQ(starts.size(), step > 2 ? 1u : 0u) << DescribeStarts(starts);
            m_process.Terminate();
        }
    }
};

TEST_F(RobustEnd, CancelButtonOnEveryStep) { EndOnEveryStep(Ending::CancelButton, "Cancel"); }
TEST_F(RobustEnd, EscapeKeyOnEveryStep) { EndOnEveryStep(Ending::EscapeKey, "Escape"); }
TEST_F(RobustEnd, CloseCommandOnEveryStep) { EndOnEveryStep(Ending::CloseCommand, "SC_CLOSE"); }

// ---------------------------------------------------------------------------
// Arguments: kinds that tests/e2e does not try (it has /S, help switches, a
// long string, quotes, a path, non-ASCII text and an empty quoted argument).
// Each must change nothing: the same walk, and the driver installer started
// once with "/S" alone (nothing of the arguments passed on).

class RobustArguments : public RobustBase {};

TEST_F(RobustArguments, OtherKindsAreIgnored)
{
    std::wstring many;
    for (int i = 0; i < 300; ++i)
        many += L" /a" + std::to_wstring(i);
    const struct {
        const char* kind;
        std::wstring arguments;
    } cases[] = {
        {"response file and install folder", L"@C:\\nonexistent.rsp /D=C:\\Corvane /DIR=\"C:\\Program Files\\X\""},
        {"language and uninstall switches", L"/lang=1041 /L 1041 -uninstall /x /u /q /quiet /passive"},
        {"URL and unexpanded variables", L"https://example.invalid/?a=b&c=%TEMP% %PATH% !x!"},
        {"control characters and separators", L"\"a\tb\" \"c\nd\" ; | & < > ^ -- - /"},
        {"hundreds of arguments", many},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        TempFolder folder;
        Populate(folder);
        ASSERT_FALSE(HasFatalFailure());
        Launch(folder, c.arguments);
        ASSERT_FALSE(HasFatalFailure());
        const std::vector<StandInStart> starts = WalkToFinish();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ(starts.size(), 1u) << DescribeStarts(starts);
        // The stand-in beside the program, its command line
        // "<quoted or bare path> /S": it ends in " /S".
        EXPECT_TRUE(SamePath(starts.front().program, folder.File(L"DPInst_64.exe")))
            << DescribeStarts(starts);
        const std::wstring& line = starts.front().commandLine;
        EXPECT_TRUE(line.size() >= 3 && line.compare(line.size() - 3, 3, L" /S") == 0 &&
                    line.find(L"DPInst_64.exe") != std::wstring::npos)
            << "the driver installer's command line: " << DescribeStarts(starts);
        m_process.Terminate();
    }
}

// ---------------------------------------------------------------------------
// A read-only program folder (as on a CD): the walk works and the folder is
// left as it was. The folder is made read-only on the Unix side (chmod a-w);
// Wine then reports it with FILE_ATTRIBUTE_READONLY. (Run as root, the
// system would still let the program write there: so the test also checks
// that the folder holds the same files afterwards.)

using WineUnixFileNameFn = char*(CDECL*)(LPCWSTR, UINT);

std::wstring UnixPathOf(const std::wstring& path)
{
    const auto convert = reinterpret_cast<WineUnixFileNameFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr)
        return std::wstring();
    char* unix = convert(path.c_str(), 0);
    if (unix == nullptr)
        return std::wstring();
    std::string text = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return std::wstring(text.begin(), text.end());  // our temporary paths are ASCII
}

// Runs chmod on the Unix side (no Windows process handle to wait on: the
// caller waits for the effect).
bool UnixChmod(const std::wstring& mode, const std::wstring& unixPath)
{
    std::wstring line = L"/bin/chmod " + mode + L" \"" + unixPath + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hProcess != nullptr) {
        ::WaitForSingleObject(pi.hProcess, 5000);
        ::CloseHandle(pi.hProcess);
    }
    if (pi.hThread != nullptr)
        ::CloseHandle(pi.hThread);
    return true;
}

bool ReadOnly(const std::wstring& folder)
{
    const DWORD a = ::GetFileAttributesW(folder.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) != 0;
}

std::vector<std::wstring> Listing(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            names.push_back(std::wstring(data.cFileName) + L" " + std::to_wstring(data.nFileSizeLow) +
                            L" " + std::to_wstring(data.ftLastWriteTime.dwLowDateTime));
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    return names;
}

class RobustFolder : public RobustBase {};

TEST_F(RobustFolder, ReadOnlyProgramFolderWalksToFinish)
{
    ASSERT_TRUE(RunningUnderWine()) << "the folder is made read-only through Wine's Unix side";
    TempFolder folder;
    Populate(folder);
    ASSERT_FALSE(HasFatalFailure());
    const std::wstring unixFolder = UnixPathOf(folder.Path());
    ASSERT_FALSE(unixFolder.empty());
    struct Writable {  // gives the folder back its write permission, for its removal
        std::wstring path;
        ~Writable()
        {
            UnixChmod(L"u+w", path);
            WaitUntil([&] { return !ReadOnly(windowsPath); }, kStepTimeoutMs);
        }
        std::wstring windowsPath;
    } restore{unixFolder, folder.Path()};
    ASSERT_TRUE(UnixChmod(L"a-w", unixFolder));
    ASSERT_TRUE(WaitUntil([&] { return ReadOnly(folder.Path()); }, kStepTimeoutMs))
        << "the program folder did not become read-only";
    const std::vector<std::wstring> before = Listing(folder.Path());

    Launch(folder);
    ASSERT_FALSE(HasFatalFailure());
    const std::vector<StandInStart> starts = WalkToFinish();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(starts.size(), 1u) << DescribeStarts(starts);
    EXPECT_TRUE(ReadOnly(folder.Path()));
    EXPECT_EQ(Listing(folder.Path()), before) << "the program folder changed";
}

// ---------------------------------------------------------------------------
// Long sessions in both languages: Back/Next cycles between steps 5 and 4
// and a hover storm over step 5's link (WM_SETCURSOR as pointer moves make it)
// over the link and off it. GDI and USER objects of the installer's process
// must not grow, the user interface must be the language's, and the driver
// installer must have started exactly once when Finish ends the run.

constexpr int kCycles = 200;
constexpr int kHoverTransitions = 200;

HCURSOR ShownCursor()
{
    CURSORINFO info{};
    info.cbSize = sizeof(info);
    return ::GetCursorInfo(&info) ? info.hCursor : nullptr;
}

class RobustSession : public RobustBase {
protected:
    // The installer's counts once it has settled: it paints and measures
    // text asynchronously, and an object in use at the moment of reading
    // (a paint DC, a clip region) is counted too. So the lowest of a few
    // readings spread over 200 ms, after the wizard has answered a message;
    // a leak raises every reading.
    GuiObjectCounts Counts()
    {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(m_sheet, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
        const HANDLE process = OpenForGuiCounts(m_process.Id());
        GuiObjectCounts lowest;
        if (process == nullptr)
            return lowest;
        for (int reading = 0; reading < 5; ++reading) {
            ::Sleep(40);
            const GuiObjectCounts c = CountGuiObjects(process, m_process.Id());
            if (reading == 0 || (c.gdi >= 0 && c.gdi < lowest.gdi))
                lowest.gdi = c.gdi;
            if (reading == 0 || (c.user >= 0 && c.user < lowest.user))
                lowest.user = c.user;
            lowest.gdiSource = c.gdiSource;
            lowest.userSource = c.userSource;
        }
        ::CloseHandle(process);
        return lowest;
    }

    void BackNextCycles(int cycles)
    {
        for (int i = 0; i < cycles; ++i) {
            ASSERT_TRUE(ClickButton(m_sheet, kBackButton)) << "cycle " << i << ": " << DescribeSheet(m_sheet);
            ASSERT_TRUE(QuickWaitForStep(m_sheet, 4)) << "cycle " << i << ": " << DescribeSheet(m_sheet);
            ASSERT_TRUE(ClickButton(m_sheet, kNextButton)) << "cycle " << i << ": " << DescribeSheet(m_sheet);
            ASSERT_TRUE(QuickWaitForStep(m_sheet, 5)) << "cycle " << i << ": " << DescribeSheet(m_sheet);
        }
    }

    // Hover transitions: the pointer over the link, then over the page, as
    // the WM_SETCURSOR messages that such pointer moves make the system send
    // to the page (wParam: the window under the pointer; HTCLIENT;
    // WM_MOUSEMOVE), sent from here and answered before the next one. Real
    // pointer moves (SetCursorPos or SendInput) were tried first: under
    // Wine's virtual desktop one of a few hundred intermittently never
    // reached the link, so the storm would fail for Wine's sake. Each
    // transition is checked by the cursor shown: the same hand over the link
    // every time, the page's own cursor off it (learnt from the installer:
    // Wine gives each process its own arrow handle).
    void HoverStorm(int transitions)
    {
        const HWND page = CurrentPage(m_sheet);
        const HWND link = ::GetDlgItem(page, kLinkId);
        ASSERT_NE(link, nullptr) << "step 5 has no link";
        auto hover = [&](bool overLink) {
            DWORD_PTR handled = 0;
            return ::SendMessageTimeoutW(page, WM_SETCURSOR,
                                         reinterpret_cast<WPARAM>(overLink ? link : page),
                                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE), SMTO_ABORTIFHUNG, 2000,
                                         &handled) != 0;
        };
        ASSERT_TRUE(hover(false));
        const HCURSOR arrow = ShownCursor();
        ASSERT_TRUE(hover(true));
        const HCURSOR hand = ShownCursor();
        ASSERT_NE(hand, arrow) << "the cursor does not change over the link";
        for (int i = 0; i < transitions; ++i) {
            const bool toLink = i % 2 == 0;
            ASSERT_TRUE(hover(toLink)) << "transition " << i << ": the wizard did not answer";
            ASSERT_EQ(ShownCursor(), toLink ? hand : arrow)
                << "transition " << i << (toLink ? ": no hand cursor over the link" : ": the page's cursor does not come back");
        }
    }

    // A walk with long Back/Next and hover sessions, in the language that
    // vars select; pageToHeading: the page is that many times as wide as its
    // 177-unit heading (504/177 in English, 431/177 in Japanese).
    void Session(const EnvironmentVars& vars, double pageToHeading)
    {
        TempFolder folder;
        Populate(folder);
        ASSERT_FALSE(HasFatalFailure());
        Launch(folder, L"", vars);
        ASSERT_FALSE(HasFatalFailure());
        NextUntil(1, 5);
        ASSERT_FALSE(HasFatalFailure());

        // The page layout of the language: page width against heading width.
        const HWND page = CurrentPage(m_sheet);
        RECT client{};
        ::GetClientRect(page, &client);
        double ratio = 0;
        for (HWND child : ChildWindows(page))
            if (WindowText(child) == L"Corvane Installer")
                ratio = double(client.right) / (RectInParent(child, page).right - RectInParent(child, page).left);
        EXPECT_NEAR(ratio, pageToHeading, 0.05) << "page width / heading width";

        // Warm-up: the first cycles and hovers make Wine create and cache
        // objects once (a few GDI entries, seen in bench/). Growth is
        // measured after it.
        BackNextCycles(5);
        ASSERT_FALSE(HasFatalFailure());
        HoverStorm(20);
        ASSERT_FALSE(HasFatalFailure());
        const GuiObjectCounts start = Counts();
        ASSERT_GT(start.gdi, 0) << "cannot count the installer's GDI objects";
        ASSERT_GT(start.user, 0) << "cannot count the installer's USER objects";

        BackNextCycles(kCycles);
        ASSERT_FALSE(HasFatalFailure());
        const GuiObjectCounts afterCycles = Counts();
        HoverStorm(kHoverTransitions);
        ASSERT_FALSE(HasFatalFailure());
        const GuiObjectCounts afterHovers = Counts();
        std::printf("GDI %ld / %ld / %ld, USER %ld / %ld / %ld (start / after cycles / after hovers)\n",
                    start.gdi, afterCycles.gdi, afterHovers.gdi, start.user, afterCycles.user,
                    afterHovers.user);
        // A leak of one object per cycle or transition shows as hundreds; a
        // margin of 2 GDI entries allows for Wine's own caches.
        EXPECT_LE(afterCycles.gdi, start.gdi + 2) << kCycles << " Back/Next cycles; " << start.gdiSource;
        EXPECT_EQ(afterCycles.user, start.user) << kCycles << " Back/Next cycles; " << start.userSource;
        EXPECT_LE(afterHovers.gdi, start.gdi + 2) << kHoverTransitions << " hover transitions; " << start.gdiSource;
        EXPECT_EQ(afterHovers.user, start.user) << kHoverTransitions << " hover transitions; " << start.userSource;

        ASSERT_TRUE(ClickButton(m_sheet, kFinishButton)) << DescribeSheet(m_sheet);
        ExpectEndedAtOnce("Finish");
        const std::vector<StandInStart> starts = StandInStartsSettled(1);
        EXPECT_EQ(starts.size(), 1u) << "the driver installer must start exactly once: "
                                     << DescribeStarts(starts);
    }
};

TEST_F(RobustSession, EnglishLongSessionKeepsObjectsAndStartsInstallerOnce)
{
    Session({}, 504.0 / 177.0);
}

TEST_F(RobustSession, JapaneseLongSessionKeepsObjectsAndStartsInstallerOnce)
{
    Session({{L"LC_ALL", L"ja_JP.UTF-8"}}, 431.0 / 177.0);
}

}  // namespace
