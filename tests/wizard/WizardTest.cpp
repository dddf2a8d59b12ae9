// The wizard in process: the real application, host dialog and sheet, driven
// inside their modal loops.
#include "WizardFixture.h"

#include "app/CorvaneInst.h"
#include "wizard/Sheet.h"

#include <set>
#include <vector>

using namespace testing_support;

namespace {

// One move through the wizard: the button pressed, and the step it leads to.
struct Move {
    int button;
    int step;
};

// Waits for the wizard, checks step 1, then makes each move and checks the
// step it leads to.
void AddWalk(WizardScript& script, const std::vector<Move>& moves)
{
    script.WaitUntil([] { return FindSheet() != nullptr; });
    script.Then([] { WizardTest::ExpectStep(1); });
    for (const Move& m : moves) {
        script.Then([m] { Click(FindSheet(), m.button); });
        script.Then([m] { WizardTest::ExpectStep(m.step); });
    }
}

const std::vector<Move> kForward = {{kNext, 2}, {kNext, 3}, {kNext, 4}, {kNext, 5}};

}  // namespace

TEST_F(WizardTest, WalksForwardThroughTheFiveStepsAndFinishes)
{
    WizardScript script;
    AddWalk(script, kForward);
    script.Then([] { Click(FindSheet(), kFinish); });

    BOOL started = TRUE;
    script.Run([&] { started = theApp.InitInstance(); });
    EXPECT_FALSE(started) << "the start routine must end the process, not run a message loop";
    EXPECT_EQ(ShellStarts(), 1);
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
}

TEST_F(WizardTest, BackAndNextRevisitStepsWithoutInitialisingPagesAgain)
{
    // Back is offered on steps 2, 4 and 5 only; step 3 cannot go back to
    // step 2, so the installer starts once.
    const std::vector<Move> moves = {
        {kNext, 2}, {kBack, 1}, {kNext, 2}, {kNext, 3}, {kNext, 4}, {kBack, 3},
        {kNext, 4}, {kNext, 5}, {kBack, 4}, {kNext, 5}, {kBack, 4}, {kBack, 3},
        {kNext, 4}, {kNext, 5},
    };
    std::set<HWND> pages;
    WizardScript script;
    AddWalk(script, moves);
    script.Then([&] {
        HWND sheet = FindSheet();
        for (int i = 0; i < 5; ++i) {
            HWND page = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_INDEXTOHWND, i, 0));
            ASSERT_NE(page, nullptr) << "step " << i + 1 << " has no window";
            EXPECT_EQ(InitDialogCount(page), 1) << "step " << i + 1 << " initialised again";
            pages.insert(page);
        }
        Click(sheet, kFinish);
    });
    script.Run([] { theApp.InitInstance(); });
    EXPECT_EQ(pages.size(), 5u);
    EXPECT_EQ(ShellStarts(), 1);
}

TEST_F(WizardTest, CancelOnAnyStepEndsTheWizardAtOnce)
{
    for (int step = 1; step <= 5; ++step) {
        SCOPED_TRACE(::testing::Message() << "cancel on step " << step);
        const int startsBefore = ShellStarts();
        WizardScript script;
        AddWalk(script, std::vector<Move>(kForward.begin(), kForward.begin() + (step - 1)));
        script.Then([] { Click(FindSheet(), kCancel); });
        BOOL started = TRUE;
        script.Run([&] { started = theApp.InitInstance(); });
        EXPECT_FALSE(started);
        EXPECT_EQ(script.StepsRun(), 2 + 2 * (step - 1) + 1u);
        EXPECT_EQ(FindSheet(), nullptr);
        EXPECT_EQ(FindHostDialog(), nullptr);
        EXPECT_EQ(ShellStarts() - startsBefore, step > 2 ? 1 : 0);
    }
}

TEST_F(WizardTest, TheHostDialogIsNeverShown)
{
    WizardScript script;
    AddWalk(script, kForward);
    script.Then([] { Click(FindSheet(), kCancel); });
    script.Run([] { theApp.InitInstance(); });
    EXPECT_FALSE(HostDialogShown());
    // The host dialog, the sheet and the five pages, each once.
    EXPECT_EQ(DialogsInitialised(), 7u);
}

// The sheet on its own: what DoModal returns for each way of ending it.
TEST_F(WizardTest, SheetDoModalReturnsHowTheWizardEnded)
{
    struct Case {
        const char* name;
        std::vector<Move> walk;
        std::function<void()> end;
        INT_PTR result;
        int stepWhenEnded;
    };
    int stepWhenEnded = 0;
    const Case cases[] = {
        {"Finish", kForward, [] { Click(FindSheet(), kFinish); }, kFinish, 5},
        {"Cancel", {}, [] { Click(FindSheet(), kCancel); }, IDCANCEL, 1},
        {"Escape", {{kNext, 2}}, [] {
             // The keyboard's Cancel: Escape through the sheet's dialog navigation.
             HWND sheet = FindSheet();
             ::SendMessageW(sheet, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                            reinterpret_cast<LPARAM>(::GetDlgItem(sheet, IDCANCEL)));
         }, IDCANCEL, 2},
        {"EndDialog", {{kNext, 2}}, [] {
             auto* pSheet = DYNAMIC_DOWNCAST(CPropertySheet, CWnd::FromHandlePermanent(FindSheet()));
             ASSERT_NE(pSheet, nullptr);
             pSheet->EndDialog(0);
         }, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSheet sheet;
        sheet.m_psh.dwFlags &= ~PSH_HASHELP;
        sheet.m_psh.dwFlags |= PSH_WIZARD | PSH_NOAPPLYNOW;
        WizardScript script;
        script.WaitUntil([] { return FindSheet() != nullptr; });
        for (const Move& m : c.walk)
            script.Then([m] { Click(FindSheet(), m.button); });
        script.Then([&] {
            stepWhenEnded = CurrentStep(FindSheet());
            c.end();
        });
        INT_PTR result = -2;
        script.Run([&] { result = sheet.DoModal(); });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(stepWhenEnded, c.stepWhenEnded);
    }
}

namespace {

struct DrawnIcon {
    int calls = 0;
    int x = 0, y = 0;
    HICON icon = nullptr;
};
DrawnIcon g_drawn;

BOOL WINAPI RecordDrawIcon(HDC, int x, int y, HICON icon)
{
    ++g_drawn.calls;
    g_drawn.x = x;
    g_drawn.y = y;
    g_drawn.icon = icon;
    return TRUE;
}

}  // namespace

// The host dialog is never shown, but it is a window like any other while the
// wizard runs: its icons, drag icon and minimised painting are in place.
TEST_F(WizardTest, HostDialogCarriesTheIconAndPaintsItWhileMinimised)
{
    ImportPatch drawIcon("user32.dll", "DrawIcon", reinterpret_cast<void*>(&RecordDrawIcon));
    g_drawn = DrawnIcon();
    const HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(135));
    RECT client = {};
    int cxIcon = 0, cyIcon = 0;

    WizardScript script;
    script.WaitUntil([] { return FindSheet() != nullptr; });
    script.Then([&] {
        HWND host = FindHostDialog();
        ASSERT_NE(host, nullptr);
        EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(host, WM_GETICON, ICON_BIG, 0)), icon);
        EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(host, WM_GETICON, ICON_SMALL, 0)), icon);
        EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(host, WM_QUERYDRAGICON, 0, 0)), icon);

        // The system does not paint minimised windows on its own any more:
        // the paint message is sent here. Not minimised, the dialog paints as
        // any dialog does, without the icon.
        ::SendMessageW(host, WM_PAINT, 0, 0);
        EXPECT_EQ(g_drawn.calls, 0);

        ::ShowWindow(host, SW_SHOWMINNOACTIVE);
        ASSERT_TRUE(::IsIconic(host));
        ::SendMessageW(host, WM_PAINT, 0, 0);
        ::GetClientRect(host, &client);
        cxIcon = ::GetSystemMetrics(SM_CXICON);
        cyIcon = ::GetSystemMetrics(SM_CYICON);
        ::ShowWindow(host, SW_HIDE);
        Click(FindSheet(), kCancel);
    });
    script.Run([] { theApp.InitInstance(); });

    ASSERT_EQ(g_drawn.calls, 1);
    EXPECT_EQ(g_drawn.icon, icon);
    // Centred, halves of odd sizes rounded toward zero.
    EXPECT_EQ(g_drawn.x, (client.right - client.left - cxIcon + 1) / 2);
    EXPECT_EQ(g_drawn.y, (client.bottom - client.top - cyIcon + 1) / 2);
}
