#include "LinkFixture.h"

#include "app/CorvaneInst.h"

#include <shellapi.h>

#include <algorithm>

using namespace testing_support;

namespace link_test {

namespace {

Record g_record;
bool g_failFonts = false;

ImportPatch* g_createFont = nullptr;
ImportPatch* g_deleteObject = nullptr;
ImportPatch* g_getDC = nullptr;
ImportPatch* g_releaseDC = nullptr;
ImportPatch* g_textOut = nullptr;

std::wstring Text(LPCWSTR s)
{
    return s != nullptr ? std::wstring(s) : std::wstring();
}

HFONT WINAPI FakeCreateFontIndirectW(const LOGFONTW* lf)
{
    HFONT font = nullptr;
    if (!g_failFonts)
        font = g_createFont->Original<HFONT(WINAPI*)(const LOGFONTW*)>()(lf);
    g_record.fonts.push_back({font, *lf});
    if (font != nullptr) {
        g_record.fontEvents.push_back({true, font});
        g_record.live.insert(font);
    }
    return font;
}

BOOL WINAPI FakeDeleteObject(HGDIOBJ object)
{
    if (g_record.live.erase(object) != 0)
        g_record.fontEvents.push_back({false, object});
    return g_deleteObject->Original<BOOL(WINAPI*)(HGDIOBJ)>()(object);
}

HDC WINAPI FakeGetDC(HWND hwnd)
{
    g_record.getDC.push_back(hwnd);
    return g_getDC->Original<HDC(WINAPI*)(HWND)>()(hwnd);
}

int WINAPI FakeReleaseDC(HWND hwnd, HDC hdc)
{
    ++g_record.releaseDC;
    return g_releaseDC->Original<int(WINAPI*)(HWND, HDC)>()(hwnd, hdc);
}

BOOL WINAPI FakeTextOutW(HDC hdc, int x, int y, LPCWSTR text, int count)
{
    g_record.textOuts.push_back({hdc, x, y, std::wstring(text, count > 0 ? count : 0),
                                 ::GetBkMode(hdc), ::GetBkColor(hdc)});
    return g_textOut->Original<BOOL(WINAPI*)(HDC, int, int, LPCWSTR, int)>()(hdc, x, y, text, count);
}

HINSTANCE WINAPI FakeShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR params,
                                   LPCWSTR dir, INT show)
{
    const std::wstring name = Text(file);
    if (name.find(L"DPInst") != std::wstring::npos) {
        ++g_record.driverStarts;
    } else {
        g_record.shell.push_back({owner, verb == nullptr, file == nullptr, params == nullptr,
                                  dir == nullptr, Text(verb), name, Text(params), Text(dir), show});
    }
    return reinterpret_cast<HINSTANCE>(42);
}

LRESULT CALLBACK WatchSetFont(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const CWPSTRUCT* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (msg->message == WM_SETFONT)
            g_record.setFont.push_back({msg->hwnd, reinterpret_cast<HFONT>(msg->wParam),
                                        static_cast<BOOL>(LOWORD(msg->lParam))});
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

HWND NthChildWithId(HWND page, int id, int n)
{
    for (HWND child = ::GetWindow(page, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::GetDlgCtrlID(child) == id && n-- == 0)
            return child;
    }
    return nullptr;
}

}  // namespace

void Record::Reset()
{
    fonts.clear();
    fontEvents.clear();
    getDC.clear();
    releaseDC = 0;
    textOuts.clear();
    shell.clear();
    driverStarts = 0;
    setFont.clear();
}

Record& Calls()
{
    return g_record;
}

std::vector<HGDIOBJ> LiveFontsOfHeight(LONG height)
{
    std::vector<HGDIOBJ> result;
    for (HGDIOBJ font : g_record.live) {
        LOGFONTW lf{};
        if (::GetObjectW(font, sizeof(lf), &lf) == sizeof(lf) && lf.lfHeight == height)
            result.push_back(font);
    }
    return result;
}

LOGFONTW FontOf(HFONT font)
{
    LOGFONTW lf{};
    EXPECT_NE(font, nullptr);
    EXPECT_EQ(::GetObjectW(font, sizeof(lf), &lf), static_cast<int>(sizeof(lf)))
        << "no font description for " << font;
    return lf;
}

HFONT GetFont(HWND hwnd)
{
    return reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0));
}

LOGFONTW WindowFont(HWND hwnd)
{
    return FontOf(GetFont(hwnd));
}

HWND Heading(HWND page)
{
    return NthChildWithId(page, -1, 0);
}

HWND Picture(HWND page)
{
    return NthChildWithId(page, -1, 1);
}

HWND Link(HWND page)
{
    return ::GetDlgItem(page, 1003);
}

::testing::AssertionResult SameExceptHeightWeightUnderlineFace(const LOGFONTW& a, const LOGFONTW& b)
{
#define CORVANE_SAME(field)                                                              \
    if (a.field != b.field)                                                              \
        return ::testing::AssertionFailure() << #field << " differs: " << static_cast<long>(a.field) \
                                             << " vs " << static_cast<long>(b.field);
    CORVANE_SAME(lfWidth)
    CORVANE_SAME(lfEscapement)
    CORVANE_SAME(lfOrientation)
    CORVANE_SAME(lfItalic)
    CORVANE_SAME(lfStrikeOut)
    CORVANE_SAME(lfCharSet)
    CORVANE_SAME(lfOutPrecision)
    CORVANE_SAME(lfClipPrecision)
    CORVANE_SAME(lfQuality)
    CORVANE_SAME(lfPitchAndFamily)
#undef CORVANE_SAME
    return ::testing::AssertionSuccess();
}

void LinkTest::SetUp()
{
    g_record = Record();
    g_failFonts = false;
    // Keep the pointer away from the wizard: a pointer resting over a page
    // would send it WM_SETCURSOR messages of its own.
    ::SetCursorPos(0, 0);

    auto patch = [this](const char* dll, const char* fn, void* fake) {
        patches_.push_back(std::make_unique<ImportPatch>(dll, fn, fake));
        return patches_.back().get();
    };
    g_createFont = patch("gdi32.dll", "CreateFontIndirectW", reinterpret_cast<void*>(&FakeCreateFontIndirectW));
    g_deleteObject = patch("gdi32.dll", "DeleteObject", reinterpret_cast<void*>(&FakeDeleteObject));
    g_textOut = patch("gdi32.dll", "TextOutW", reinterpret_cast<void*>(&FakeTextOutW));
    g_getDC = patch("user32.dll", "GetDC", reinterpret_cast<void*>(&FakeGetDC));
    g_releaseDC = patch("user32.dll", "ReleaseDC", reinterpret_cast<void*>(&FakeReleaseDC));
    patch("shell32.dll", "ShellExecuteW", reinterpret_cast<void*>(&FakeShellExecuteW));
    hook_ = ::SetWindowsHookExW(WH_CALLWNDPROC, &WatchSetFont, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook_, nullptr);
}

void LinkTest::TearDown()
{
    ::UnhookWindowsHookEx(hook_);
    patches_.clear();
    g_failFonts = false;
    EXPECT_EQ(FindSheet(), nullptr);
    // Every font the installer made is gone with its pages.
    EXPECT_TRUE(g_record.live.empty()) << g_record.live.size() << " font(s) never deleted";
    g_record = Record();
}

void LinkTest::FailFontCreation(bool fail)
{
    g_failFonts = fail;
}

HWND LinkTest::Sheet()
{
    return FindSheet();
}

HWND LinkTest::Page(int step)
{
    return reinterpret_cast<HWND>(::SendMessageW(FindSheet(), PSM_INDEXTOHWND, step - 1, 0));
}

void LinkTest::Press(WizardScript& script, int button, int expectedStep)
{
    script.Then([button] { Click(FindSheet(), button); });
    script.Then([expectedStep] { ASSERT_EQ(CurrentStep(FindSheet()), expectedStep); });
}

void LinkTest::AddWalkToStep5(WizardScript& script)
{
    script.WaitUntil([] { return FindSheet() != nullptr && CurrentStep(FindSheet()) == 1; });
    for (int step = 2; step <= 5; ++step)
        Press(script, kNext, step);
}

void LinkTest::RunWizard(WizardScript& script)
{
    script.Run([] { theApp.InitInstance(); });
}

HCURSOR HandCursor()
{
    return ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(143));
}

std::wstring ShortAddress(const std::wstring& url)
{
    std::wstring s = url;
    for (const wchar_t* prefix : {L"https://", L"http://", L"www."}) {
        const std::wstring p = prefix;
        if (s.compare(0, p.size(), p) == 0)
            s = s.substr(p.size());
    }
    return s;
}

}  // namespace link_test
