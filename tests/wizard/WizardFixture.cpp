#include "WizardFixture.h"

#include "framework/Afx.h"
#include "wizard/Sheet.h"

#include <shellapi.h>

using namespace testing_support;

namespace {

int g_shellStarts = 0;
std::map<HWND, int> g_initDialogs;
bool g_hostShown = false;

HINSTANCE WINAPI FakeShellExecuteW(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT)
{
    ++g_shellStarts;
    return reinterpret_cast<HINSTANCE>(42);
}

bool IsHostDialog(HWND hwnd)
{
    return ClassName(hwnd) == L"#32770" && WindowText(hwnd) == L"CorvaneInst";
}

LRESULT CALLBACK WatchMessages(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const CWPSTRUCT* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (msg->message == WM_INITDIALOG)
            ++g_initDialogs[msg->hwnd];
        if (msg->message == WM_SHOWWINDOW && msg->wParam && IsHostDialog(msg->hwnd))
            g_hostShown = true;
        if (msg->message == WM_WINDOWPOSCHANGING && IsHostDialog(msg->hwnd) &&
            (reinterpret_cast<const WINDOWPOS*>(msg->lParam)->flags & SWP_SHOWWINDOW))
            g_hostShown = true;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void WizardTest::SetUp()
{
    g_shellStarts = 0;
    g_initDialogs.clear();
    g_hostShown = false;
    shell_ = std::make_unique<ImportPatch>("shell32.dll", "ShellExecuteW",
                                           reinterpret_cast<void*>(&FakeShellExecuteW));
    hook_ = ::SetWindowsHookExW(WH_CALLWNDPROC, &WatchMessages, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook_, nullptr);
}

void WizardTest::TearDown()
{
    ::UnhookWindowsHookEx(hook_);
    shell_.reset();
    // Nothing of the wizard may outlive its run.
    EXPECT_EQ(FindSheet(), nullptr);
    EXPECT_EQ(FindHostDialog(), nullptr);
}

int WizardTest::ShellStarts()
{
    return g_shellStarts;
}

int WizardTest::InitDialogCount(HWND hwnd)
{
    auto it = g_initDialogs.find(hwnd);
    return it == g_initDialogs.end() ? 0 : it->second;
}

bool WizardTest::HostDialogShown()
{
    return g_hostShown;
}

size_t WizardTest::DialogsInitialised()
{
    return g_initDialogs.size();
}

void WizardTest::ExpectPageNotCutOff(HWND sheet, HWND page)
{
    RECT rcPage, rcSheet, rcBack;
    ::GetWindowRect(page, &rcPage);
    ::GetClientRect(sheet, &rcSheet);
    ::MapWindowPoints(sheet, nullptr, reinterpret_cast<POINT*>(&rcSheet), 2);
    ::GetWindowRect(::GetDlgItem(sheet, kBack), &rcBack);

    EXPECT_GE(rcPage.left, rcSheet.left);
    EXPECT_GE(rcPage.top, rcSheet.top);
    EXPECT_LE(rcPage.right, rcSheet.right);
    EXPECT_LE(rcPage.bottom, rcBack.top) << "the page runs into the wizard's buttons";

    // The page window is as large as its template says (the template that
    // the resource loader picks, as the sheet did).
    const int templateId = 129 + CurrentStep(sheet) - 1;
    HRSRC res = ::FindResourceW(nullptr, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5));
    ASSERT_NE(res, nullptr);
    const BYTE* tpl = static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, res)));
    const short cx = *reinterpret_cast<const short*>(tpl + 22);
    const short cy = *reinterpret_cast<const short*>(tpl + 24);
    const RECT full = DialogUnitsToPixels(page, 0, 0, cx, cy);
    RECT client;
    ::GetClientRect(page, &client);
    EXPECT_GE(client.right, full.right) << "page width cut off";
    EXPECT_GE(client.bottom, full.bottom) << "page height cut off";

    for (HWND child = ::GetWindow(page, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT rc;
        ::GetWindowRect(child, &rc);
        EXPECT_GE(rc.left, rcPage.left) << "control " << ::GetDlgCtrlID(child);
        EXPECT_GE(rc.top, rcPage.top) << "control " << ::GetDlgCtrlID(child);
        EXPECT_LE(rc.right, rcPage.right) << "control " << ::GetDlgCtrlID(child);
        EXPECT_LE(rc.bottom, rcPage.bottom) << "control " << ::GetDlgCtrlID(child);
        EXPECT_LE(rc.bottom, rcBack.top) << "control " << ::GetDlgCtrlID(child);
    }
}

void WizardTest::ExpectStep(int step)
{
    struct Expected {
        bool back, next, finish;
        const wchar_t* title;
        const CRuntimeClass* pageClass;
    };
    const Expected table[] = {
        {false, true, false, L"Step1", RUNTIME_CLASS(CPage1)},
        {true, true, false, L"Step2", RUNTIME_CLASS(CPage2)},
        {false, true, false, L"Step3", RUNTIME_CLASS(CPage3)},
        {true, true, false, L"Step4", RUNTIME_CLASS(CPage4)},
        {true, false, true, L"Step5", RUNTIME_CLASS(CPage5)},
    };
    ASSERT_GE(step, 1);
    ASSERT_LE(step, 5);
    const Expected& e = table[step - 1];

    HWND sheet = FindSheet();
    ASSERT_NE(sheet, nullptr) << "no wizard at step " << step;
    ASSERT_EQ(CurrentStep(sheet), step);
    HWND page = CurrentPage(sheet);
    CWnd* pPage = CWnd::FromHandlePermanent(page);
    ASSERT_NE(pPage, nullptr);
    EXPECT_STREQ(pPage->GetRuntimeClass()->m_lpszClassName, e.pageClass->m_lpszClassName);

    SCOPED_TRACE(::testing::Message() << "step " << step);
    EXPECT_EQ(ButtonAvailable(sheet, kBack), e.back);
    EXPECT_EQ(ButtonAvailable(sheet, kNext), e.next);
    EXPECT_EQ(ButtonAvailable(sheet, kFinish), e.finish);
    EXPECT_TRUE(ButtonAvailable(sheet, kCancel));
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(sheet, kHelp)));
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(sheet, kApply)));

    EXPECT_EQ(WindowText(sheet), e.title);
    const HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(135));
    ASSERT_NE(icon, nullptr);
    const HICON shown = reinterpret_cast<HICON>(::SendMessageW(sheet, WM_GETICON, ICON_BIG, 0));
    const HICON shownSmall = reinterpret_cast<HICON>(::SendMessageW(sheet, WM_GETICON, ICON_SMALL, 0));
    EXPECT_TRUE(shown == icon || shownSmall == icon) << "the wizard does not show icon 135";

    HWND host = FindHostDialog();
    ASSERT_NE(host, nullptr);
    EXPECT_FALSE(::IsWindowVisible(host));
    EXPECT_FALSE(::IsWindowEnabled(host)) << "the owner stays enabled while the wizard runs";
    EXPECT_EQ(::GetWindow(sheet, GW_OWNER), host);
    EXPECT_FALSE(HostDialogShown());

    ExpectPageNotCutOff(sheet, page);
}
