// The installer as a user meets it: the real program (the 64-bit twin,
// CORVANE_EXE) copied into a fresh folder per test, started as a process of
// its own and driven from outside through its windows.
#include "Process.h"

#include <gtest/gtest.h>

#include <string>

using namespace e2e;

namespace {

// One started installer: a private copy of the program (with a driver
// installer stand-in beside it, so that step 2 can move on), its process
// (always ended when the test ends) and its wizard window.
class E2eWizard : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(UsePrivateDesktop()); }

    // Starts the installer and waits for its wizard at step 1.
    void Launch(const std::wstring& arguments = L"", const EnvironmentVars& vars = {})
    {
        const std::wstring exe = InstallerPath();
        ASSERT_FALSE(exe.empty()) << "CORVANE_EXE is not set";
        ASSERT_TRUE(m_folder.Valid()) << "no temporary folder";
        // A test that starts the program again reuses its folder: the copies
        // made the first time stay (a stand-in started before may still run).
        if (!FileExists(m_folder.File(L"CorvaneInst.exe"))) {
            ASSERT_TRUE(m_folder.CopyIn(exe, L"CorvaneInst.exe")) << "cannot copy " << Narrow(exe);
        }
        if (!FileExists(m_folder.File(L"DPInst_64.exe"))) {
            ASSERT_TRUE(PlaceInstallerStandIn(m_folder))
                << "no DPInst_64.exe stand-in in CORVANE_TOOLS_DIR (" << Narrow(ToolsDir()) << ")";
        }
        std::wstring error;
        ASSERT_TRUE(m_process.Start(m_folder.File(L"CorvaneInst.exe"), arguments, vars, &error))
            << Narrow(error);
        m_sheet = WaitForWizard(m_process);
        ASSERT_NE(m_sheet, nullptr) << "no wizard window appeared; process "
                                    << (m_process.Running() ? "still running" : "ended");
        ASSERT_TRUE(WaitForStep(m_sheet, 1)) << DescribeSheet(m_sheet);
    }

    // From the step shown (from), presses Next until step to is shown.
    void NextUntil(int from, int to)
    {
        for (int step = from; step < to; ++step) {
            ASSERT_TRUE(ClickButton(m_sheet, kNextButton))
                << "Next not pressable on step " << step << ": " << DescribeSheet(m_sheet);
            ASSERT_TRUE(WaitForStep(m_sheet, step + 1))
                << "after Next on step " << step << ": " << DescribeSheet(m_sheet);
        }
    }

    // Presses button and expects the process to end.
    void PressAndExpectExit(int button, const char* name)
    {
        ASSERT_TRUE(ClickButton(m_sheet, button))
            << name << " not pressable: " << DescribeSheet(m_sheet);
        EXPECT_TRUE(m_process.WaitForExit(kExitTimeoutMs))
            << "still running " << kExitTimeoutMs << " ms after " << name;
        EXPECT_EQ(m_process.ExitCode(), 0u) << "after " << name;
    }

    void WalkToFinish()
    {
        NextUntil(1, 5);
        ASSERT_FALSE(HasFatalFailure());
        PressAndExpectExit(kFinishButton, "Finish");
    }

    TempFolder m_folder;
    Process m_process;
    HWND m_sheet = nullptr;
};

TEST_F(E2eWizard, OpensAtStepOneWithOnlyNextAndCancel)
{
    Launch();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(WindowText(m_sheet), L"Step1");
    EXPECT_EQ(WindowText(CurrentPage(m_sheet)), L"Step1");
    const HWND back = SheetButton(m_sheet, kBackButton);
    EXPECT_TRUE(IsShown(back) && !::IsWindowEnabled(back)) << DescribeSheet(m_sheet);
    EXPECT_TRUE(IsShownAndEnabled(SheetButton(m_sheet, kNextButton))) << DescribeSheet(m_sheet);
    EXPECT_TRUE(IsShownAndEnabled(SheetButton(m_sheet, kCancelButton))) << DescribeSheet(m_sheet);
    EXPECT_FALSE(IsShown(SheetButton(m_sheet, kFinishButton))) << DescribeSheet(m_sheet);
    EXPECT_FALSE(IsShown(SheetButton(m_sheet, kHelpButton))) << DescribeSheet(m_sheet);
    EXPECT_FALSE(IsShown(SheetButton(m_sheet, kApplyButton))) << DescribeSheet(m_sheet);
    // The wizard is the only window the program shows.
    int shown = 0;
    for (HWND hwnd : TopLevelWindows(m_process.Id()))
        shown += ::IsWindowVisible(hwnd) ? 1 : 0;
    EXPECT_EQ(shown, 1);
}

TEST_F(E2eWizard, NextWalksThroughFiveStepsAndFinishEndsTheProgram)
{
    Launch();
    ASSERT_FALSE(HasFatalFailure());
    WalkToFinish();
}

TEST_F(E2eWizard, CancelEndsTheProgramOnEveryStep)
{
    for (int step = 1; step <= 5; ++step) {
        SCOPED_TRACE("Cancel on step " + std::to_string(step));
        m_process.Terminate();
        Launch();
        ASSERT_FALSE(HasFatalFailure());
        NextUntil(1, step);
        ASSERT_FALSE(HasFatalFailure());
        PressAndExpectExit(kCancelButton, "Cancel");
    }
}

TEST_F(E2eWizard, CommandLineArgumentsChangeNothing)
{
    const struct {
        const char* kind;
        std::wstring arguments;
    } cases[] = {
        {"silent switch", L"/S"},
        {"help switches", L"--help /? -h"},
        {"long string", std::wstring(4000, L'x')},
        {"quotes", L"\"a b\" \"c\\\"d\" \" '"},
        {"a path", L"C:\\Windows\\system32\\notepad.exe"},
        {"non-ASCII text", L"\u30C9\u30E9\u30A4\u30D0 \u00E9t\u00E9"},
        {"empty quoted", L"\"\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        m_process.Terminate();
        Launch(c.arguments);
        ASSERT_FALSE(HasFatalFailure());
        WalkToFinish();
        ASSERT_FALSE(HasFatalFailure());
    }
}

// The picture: the page's static with SS_BITMAP.
HWND PagePicture(HWND page)
{
    for (HWND child : ChildWindows(page))
        if (ClassName(child) == L"Static" && (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
            return child;
    return nullptr;
}

TEST_F(E2eWizard, PagesFollowTheUserLanguage)
{
    // The page templates are 504 units wide with a 504-unit picture in
    // English, 431 units with a 432-unit picture in Japanese (1041).
    const struct {
        const char* language;
        EnvironmentVars vars;
        int pageUnits;
        int pictureUnits;
    } cases[] = {
        {"English (no locale given)", {}, 504, 504},
        {"Japanese (LC_ALL=ja_JP.UTF-8)", {{L"LC_ALL", L"ja_JP.UTF-8"}}, 431, 432},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        m_process.Terminate();
        Launch(L"", c.vars);
        ASSERT_FALSE(HasFatalFailure());
        for (int step = 1; step <= 5; ++step) {
            SCOPED_TRACE("step " + std::to_string(step));
            if (step > 1) {
                NextUntil(step - 1, step);
                ASSERT_FALSE(HasFatalFailure());
            }
            const HWND page = CurrentPage(m_sheet);
            int unitX = 0, unitY = 0;
            ASSERT_TRUE(HeadingBaseUnits(page, &unitX, &unitY))
                << "no 177 x 32 unit heading on the page";
            RECT client{};
            ::GetClientRect(page, &client);
            EXPECT_EQ(client.right, ::MulDiv(c.pageUnits, unitX, 4))
                << "page width in pixels, base unit x " << unitX;
            const HWND picture = PagePicture(page);
            ASSERT_NE(picture, nullptr) << "no picture on the page";
            const RECT r = RectInParent(picture, page);
            EXPECT_EQ(r.right - r.left, ::MulDiv(c.pictureUnits, unitX, 4))
                << "picture width in pixels, base unit x " << unitX;
        }
        PressAndExpectExit(kFinishButton, "Finish");
        ASSERT_FALSE(HasFatalFailure());
    }
}

}  // namespace
