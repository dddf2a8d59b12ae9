// Step 5's web link, end to end: the real installer (the 64-bit twin) in a
// fresh folder, driven from outside with real pointer input on a private
// Wine virtual desktop. A browser stand-in (tools/url-recorder) registered
// for http and https in the test's Wine prefix records the address that a
// click opens; screenshots of the link, plain and hovered, are saved as BMP
// files under the build folder (link-screens) and checked pixel by pixel.
#include "Process.h"
#include "common/ScreenCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const wchar_t kDesktop[] = L"corvane-link";
const wchar_t kProductUrl[] = L"https://www.corvane.com/printer";
const wchar_t kRecorderName[] = L"url-recorder.exe";
const wchar_t kLogName[] = L"url-recorder.log";
constexpr int kLinkId = 1003;
constexpr UINT kHandCursorId = 143;
// How long a start that should not happen is given to show in the log.
constexpr DWORD kQuietMs = 1500;

// ---------------------------------------------------------------------------
// The browser stand-in

// The open command of a URL scheme (HKCR\<scheme>\shell\open\command) set
// for as long as the object lives; the previous one is put back after.
class SchemeCommand {
public:
    SchemeCommand(const std::wstring& scheme, const std::wstring& command)
        : m_key(scheme + L"\\shell\\open\\command")
    {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, m_key.c_str(), 0, nullptr, 0,
                              KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return;
        wchar_t old[2048] = {};
        DWORD size = sizeof(old) - sizeof(wchar_t);
        DWORD type = 0;
        m_hadOld = ::RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(old),
                                      &size) == ERROR_SUCCESS;
        m_old = old;
        m_set = ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) ==
                ERROR_SUCCESS;
        ::RegCloseKey(key);
    }
    ~SchemeCommand()
    {
        HKEY key = nullptr;
        if (!m_set || ::RegOpenKeyExW(HKEY_CLASSES_ROOT, m_key.c_str(), 0, KEY_SET_VALUE, &key) !=
                          ERROR_SUCCESS)
            return;
        if (m_hadOld)
            ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(m_old.c_str()),
                             static_cast<DWORD>((m_old.size() + 1) * sizeof(wchar_t)));
        else
            ::RegDeleteValueW(key, nullptr);
        ::RegCloseKey(key);
    }
    bool Set() const { return m_set; }

private:
    std::wstring m_key, m_old;
    bool m_hadOld = false;
    bool m_set = false;
};

// ---------------------------------------------------------------------------
// The pointer

// Moves the pointer to a screen point with real input (SendInput); true once
// the pointer is there.
bool MovePointer(POINT to)
{
    const int cx = ::GetSystemMetrics(SM_CXSCREEN);
    const int cy = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = ::MulDiv(to.x, 65535, cx - 1);
    input.mi.dy = ::MulDiv(to.y, 65535, cy - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    if (::SendInput(1, &input, sizeof(input)) != 1)
        return false;
    return WaitUntil([&] {
        POINT at{};
        return ::GetCursorPos(&at) && std::abs(at.x - to.x) <= 1 && std::abs(at.y - to.y) <= 1;
    }, kStepTimeoutMs);
}

bool ClickPointer(int clicks)
{
    std::vector<INPUT> inputs;
    for (int i = 0; i < clicks; ++i) {
        for (DWORD flags : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
            INPUT input{};
            input.type = INPUT_MOUSE;
            input.mi.dwFlags = flags;
            inputs.push_back(input);
        }
    }
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

// The cursor shown now, as any process sees it.
HCURSOR ShownCursor()
{
    CURSORINFO info{};
    info.cbSize = sizeof(info);
    return ::GetCursorInfo(&info) ? info.hCursor : nullptr;
}

// Resource id and module of a cursor (GetIconInfoExW); false when the
// system tells neither.
bool CursorOrigin(HCURSOR cursor, UINT* resId, std::wstring* module)
{
    ICONINFOEXW info{};
    info.cbSize = sizeof(info);
    if (!::GetIconInfoExW(cursor, &info))
        return false;
    if (info.hbmMask)
        ::DeleteObject(info.hbmMask);
    if (info.hbmColor)
        ::DeleteObject(info.hbmColor);
    *resId = info.wResID;
    *module = info.szModName;
    return true;
}

// ---------------------------------------------------------------------------
// Screenshots

// Captured and saved with the screenshot helpers shared with the walker
// (tools/common/ScreenCapture.h): the screen, 24-bit, top-down rows, read
// pixel by pixel with At(x, y).
using Screen = screencapture::ScreenImage;
using screencapture::CaptureScreen;
using screencapture::SaveBmp;

// The blue ink of the link in a screen area: how many clearly blue pixels,
// their horizontal extent, and the longest unbroken blue run in one row (an
// underline spans the whole text; letters alone never do).
struct Ink {
    int pixels = 0;
    int left = 0, right = -1;
    int longestRun = 0;
    int runRow = -1;
    int Extent() const { return right - left + 1; }
    bool Underlined() const { return pixels > 0 && longestRun * 10 >= Extent() * 7; }
};

bool IsLinkBlue(COLORREF c)
{
    return GetBValue(c) >= 160 && GetRValue(c) <= 110 && GetGValue(c) <= 110;
}

Ink BlueInk(const Screen& screen, RECT r)
{
    Ink ink;
    ink.left = r.right;
    for (int y = std::max<LONG>(r.top, 0); y < std::min<LONG>(r.bottom, screen.height); ++y) {
        int run = 0;
        for (int x = std::max<LONG>(r.left, 0); x < std::min<LONG>(r.right, screen.width); ++x) {
            if (!IsLinkBlue(screen.At(x, y))) {
                run = 0;
                continue;
            }
            ++ink.pixels;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            if (++run > ink.longestRun) {
                ink.longestRun = run;
                ink.runRow = y;
            }
        }
    }
    return ink;
}

std::string Describe(const Ink& ink)
{
    return std::to_string(ink.pixels) + " blue pixels over " + std::to_string(ink.Extent()) +
           " px, longest row run " + std::to_string(ink.longestRun) + " at y " +
           std::to_string(ink.runRow);
}

// The folder for screenshots: link-screens beside the installer under test
// (the build folder); created if missing.
std::wstring ScreenshotFolder()
{
    std::wstring folder = InstallerPath();
    const size_t slash = folder.find_last_of(L'\\');
    folder = (slash == std::wstring::npos ? std::wstring(L".") : folder.substr(0, slash)) + L"\\link-screens";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

RECT ScreenRect(HWND hwnd)
{
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

POINT Center(const RECT& r)
{
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// ---------------------------------------------------------------------------

class E2eLink : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(UsePrivateDesktop(kDesktop)); }

    void SetUp() override
    {
        ASSERT_TRUE(m_folder.Valid());
        const std::wstring recorder = ToolsDir() + L"\\url-recorder\\corvane-url-recorder.exe";
        ASSERT_TRUE(m_folder.CopyIn(recorder, kRecorderName)) << "no " << Narrow(recorder);
        const std::wstring command = L"\"" + m_folder.File(kRecorderName) + L"\" \"%1\"";
        m_http = std::make_unique<SchemeCommand>(L"http", command);
        m_https = std::make_unique<SchemeCommand>(L"https", command);
        ASSERT_TRUE(m_http->Set() && m_https->Set()) << "cannot register the browser stand-in";
    }

    void TearDown() override
    {
        m_process.Terminate();
        m_http.reset();
        m_https.reset();
    }

    // Starts the installer and walks it to step 5; m_page and m_link then
    // name the page and the link.
    void LaunchToStep5(const EnvironmentVars& vars = {})
    {
        const std::wstring exe = InstallerPath();
        ASSERT_FALSE(exe.empty()) << "CORVANE_EXE is not set";
        ASSERT_TRUE(m_folder.CopyIn(exe, L"CorvaneInst.exe"));
        ASSERT_TRUE(PlaceInstallerStandIn(m_folder));
        // Out of the way while the wizard comes up.
        ::SetCursorPos(0, 0);
        std::wstring error;
        ASSERT_TRUE(m_process.Start(m_folder.File(L"CorvaneInst.exe"), L"", vars, &error)) << Narrow(error);
        m_sheet = WaitForWizard(m_process);
        ASSERT_NE(m_sheet, nullptr);
        ASSERT_TRUE(WaitForStep(m_sheet, 1)) << DescribeSheet(m_sheet);
        for (int step = 1; step < 5; ++step) {
            ASSERT_TRUE(ClickButton(m_sheet, kNextButton)) << DescribeSheet(m_sheet);
            ASSERT_TRUE(WaitForStep(m_sheet, step + 1)) << DescribeSheet(m_sheet);
        }
        m_page = CurrentPage(m_sheet);
        m_link = ::GetDlgItem(m_page, kLinkId);
        ASSERT_NE(m_link, nullptr) << "no link on step 5";
        ASSERT_TRUE(IsShown(m_link));
    }

    // A point on the page well away from the link (the picture's top left).
    POINT OffTheLink() const
    {
        const RECT page = ScreenRect(m_page);
        return POINT{page.left + 20, page.top + 120};
    }

    // Moves the pointer and waits for the cursor to settle on what it shows
    // there (it may not change at all); returns it.
    HCURSOR MoveAndSettle(POINT to, HCURSOR expectNot = nullptr)
    {
        EXPECT_TRUE(MovePointer(to)) << "the pointer did not reach " << to.x << "," << to.y;
        if (expectNot != nullptr)
            WaitUntil([&] { return ShownCursor() != expectNot; }, kStepTimeoutMs);
        ::Sleep(300);   // let the page redraw
        return ShownCursor();
    }

    std::wstring Log() const { return m_folder.File(kLogName); }

    TempFolder m_folder;
    Process m_process;
    std::unique_ptr<SchemeCommand> m_http, m_https;
    HWND m_sheet = nullptr, m_page = nullptr, m_link = nullptr;
};

TEST_F(E2eLink, PointerOnTheLinkShowsTheHandAndUnderlinesItOnlyWhileThere)
{
    // The link's place in each language's template, in dialog units.
    const struct {
        const char* language;
        const wchar_t* tag;
        EnvironmentVars vars;
        int x, y, cx, cy;
    } cases[] = {
        {"English", L"en", {}, 212, 260, 82, 15},
        {"Japanese (LC_ALL=ja_JP.UTF-8)", L"ja", {{L"LC_ALL", L"ja_JP.UTF-8"}}, 177, 268, 83, 12},
    };
    const std::wstring folder = ScreenshotFolder();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        m_process.Terminate();
        LaunchToStep5(c.vars);
        ASSERT_FALSE(HasFatalFailure());

        int ux = 0, uy = 0;
        ASSERT_TRUE(HeadingBaseUnits(m_page, &ux, &uy));
        const RECT at = RectInParent(m_link, m_page);
        EXPECT_EQ(at.left, ::MulDiv(c.x, ux, 4)) << "base units " << ux << "x" << uy;
        EXPECT_EQ(at.top, ::MulDiv(c.y, uy, 8));
        EXPECT_EQ(at.right - at.left, ::MulDiv(c.cx, ux, 4));
        EXPECT_EQ(at.bottom - at.top, ::MulDiv(c.cy, uy, 8));

        const RECT link = ScreenRect(m_link);
        // The area the link and its two strips of blanks may touch.
        const RECT area = {link.left - 4, link.top - 4, link.right + 40, link.bottom + 12};
        const RECT shot = {link.left - 60, link.top - 50, link.right + 100, link.bottom + 30};

        const HCURSOR arrow = MoveAndSettle(OffTheLink());
        Screen plain;
        ASSERT_TRUE(CaptureScreen(&plain));
        const HCURSOR hand = MoveAndSettle(Center(link), arrow);
        Screen hovered;
        ASSERT_TRUE(CaptureScreen(&hovered));
        const HCURSOR back = MoveAndSettle(OffTheLink(), hand);
        Screen after;
        ASSERT_TRUE(CaptureScreen(&after));
        // Once more over the link's other end: the hand again.
        const HCURSOR handAgain = MoveAndSettle(POINT{link.left + 3, link.top + 3}, back);

        for (const auto& [name, screen] : {std::pair{L"plain", &plain}, {L"hovered", &hovered},
                                          {L"after", &after}}) {
            const std::wstring path = folder + L"\\" + c.tag + L"-" + name + L".bmp";
            EXPECT_TRUE(SaveBmp(*screen, shot, path)) << Narrow(path);
        }
        // The whole page once, plain, to see the link in its place.
        EXPECT_TRUE(SaveBmp(plain, ScreenRect(m_page), folder + L"\\" + c.tag + L"-page.bmp"));

        // The cursor: another one over the link than off it, the same each
        // time, and the earlier one again once the pointer leaves. Under
        // Wine GetCursorInfo does see the installer's cursor, but its handle
        // belongs to the installer's process: GetIconInfo(Ex) and CopyIcon
        // refuse it (ERROR_INVALID_CURSOR_HANDLE), so which cursor it is
        // (143, the hand) is checked in process (tests/link); where the
        // system tells it (Windows), it is checked here too.
        ASSERT_NE(arrow, nullptr) << "GetCursorInfo tells no cursor";
        EXPECT_NE(hand, arrow) << "the cursor did not change over the link";
        EXPECT_EQ(back, arrow) << "the cursor did not come back off the link";
        EXPECT_EQ(handAgain, hand);
        UINT id = 0;
        std::wstring module;
        if (CursorOrigin(hand, &id, &module)) {
            EXPECT_EQ(id, kHandCursorId) << "module " << Narrow(module);
            EXPECT_NE(module.find(L"CorvaneInst.exe"), std::wstring::npos) << Narrow(module);
        }
        if (CursorOrigin(arrow, &id, &module)) {
            EXPECT_NE(id, kHandCursorId) << "the hand off the link";
        }

        // The link: blue, underlined only while the pointer is on it.
        const Ink inkPlain = BlueInk(plain, area);
        const Ink inkHovered = BlueInk(hovered, area);
        const Ink inkAfter = BlueInk(after, area);
        EXPECT_GE(inkPlain.pixels, 100) << "no blue link: " << Describe(inkPlain);
        EXPECT_FALSE(inkPlain.Underlined()) << Describe(inkPlain);
        EXPECT_TRUE(inkHovered.Underlined()) << Describe(inkHovered);
        // Nothing of the underline left: no row has a longer blue run than
        // before the pointer came.
        EXPECT_LE(inkAfter.longestRun, inkPlain.longestRun + 2)
            << "leftover underline: " << Describe(inkAfter) << "; before: " << Describe(inkPlain);
        EXPECT_GE(inkAfter.pixels, 100) << Describe(inkAfter);
        // All of it inside the link's window.
        for (const Ink* ink : {&inkPlain, &inkHovered, &inkAfter}) {
            EXPECT_GE(ink->left, link.left);
            EXPECT_LT(ink->right, link.right);
        }
        EXPECT_TRUE(inkHovered.runRow >= link.top && inkHovered.runRow < link.bottom)
            << "underline row " << inkHovered.runRow << " outside the link " << link.top << ".."
            << link.bottom;
        ASSERT_FALSE(HasFatalFailure());
    }
}

TEST_F(E2eLink, AClickOnTheLinkOpensTheProductPageInTheBrowserOnce)
{
    const struct {
        const char* name;
        int clicks;
    } cases[] = {{"single click", 1}, {"double click", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_process.Terminate();
        ::DeleteFileW(Log().c_str());
        LaunchToStep5();
        ASSERT_FALSE(HasFatalFailure());
        const RECT link = ScreenRect(m_link);
        // Onto the link from the picture above it, and click only once the
        // wizard has taken the pointer over (its cursor changed): a click
        // sent sooner can reach the window that was under the pointer before.
        const HCURSOR offLink = MoveAndSettle(POINT{link.left - 40, link.top - 40});
        const HCURSOR onLink = MoveAndSettle(Center(link), offLink);
        ASSERT_NE(onLink, offLink) << "the pointer never came over the link";
        ASSERT_TRUE(ClickPointer(c.clicks));
        EXPECT_TRUE(WaitUntil([&] { return !ReadLogLines(Log()).empty(); }, kStartTimeoutMs))
            << "the browser stand-in was not started";
        ::Sleep(kQuietMs);
        const std::vector<std::wstring> lines = ReadLogLines(Log());
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], kProductUrl);
        // The wizard stays at step 5 and finishes as before.
        EXPECT_EQ(WindowText(m_sheet), L"Step5");
        ASSERT_TRUE(ClickButton(m_sheet, kFinishButton));
        EXPECT_TRUE(m_process.WaitForExit(kExitTimeoutMs));
        EXPECT_EQ(ReadLogLines(Log()).size(), 1u);
    }
}

}  // namespace
