// The heading of every step: the page's font made 26-pixel extra-bold Arial,
// built once per page window, and a wizard that works on without it.
#include "LinkFixture.h"

#include "app/CorvaneInst.h"

#include <algorithm>

#include <map>

using namespace testing_support;
using namespace link_test;

namespace {

// The picture keeps the dialog font: every WM_SETFONT it received (the
// dialog manager gives each control the page's font) carried the page's
// font. Wine's bitmap statics keep no font, so WM_GETFONT may say NULL; it
// must not name another font.
void ExpectPictureKeepsTheDialogFont(HWND page)
{
    const HWND picture = Picture(page);
    ASSERT_NE(picture, nullptr);
    const HFONT pageFont = GetFont(page);
    int messages = 0;
    for (const SetFontMessage& m : Calls().setFont) {
        if (m.hwnd != picture)
            continue;
        ++messages;
        EXPECT_EQ(m.font, pageFont) << "the picture was given another font";
    }
    EXPECT_GE(messages, 1) << "the picture never received the dialog font";
    const HFONT shown = GetFont(picture);
    EXPECT_TRUE(shown == nullptr || shown == pageFont) << "the picture shows font " << shown;
}

// What step's page must show: the heading in the heading font derived from
// the page's font, the picture in the page's font.
void ExpectHeadingFont(int step, HWND page)
{
    SCOPED_TRACE(::testing::Message() << "step " << step);
    const HWND heading = Heading(page);
    const HWND picture = Picture(page);
    ASSERT_NE(heading, nullptr);
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(WindowText(heading), L"Corvane Installer") << "the first -1 control is not the heading";

    const HFONT pageFont = GetFont(page);
    const HFONT headingFont = GetFont(heading);
    ASSERT_NE(pageFont, nullptr);
    ASSERT_NE(headingFont, nullptr);
    EXPECT_NE(headingFont, pageFont);
    const LOGFONTW pf = FontOf(pageFont);
    const LOGFONTW hf = FontOf(headingFont);
    EXPECT_EQ(hf.lfHeight, 26);
    EXPECT_EQ(hf.lfWeight, 800);
    EXPECT_STREQ(hf.lfFaceName, L"Arial");
    EXPECT_EQ(hf.lfUnderline, pf.lfUnderline);
    EXPECT_TRUE(SameExceptHeightWeightUnderlineFace(hf, pf));
    // The page font is not Arial 26/800 itself, so the checks above tell.
    EXPECT_TRUE(pf.lfHeight != 26 && pf.lfWeight != 800 && std::wstring(pf.lfFaceName) != L"Arial")
        << "page font " << pf.lfHeight << "/" << pf.lfWeight;

    ExpectPictureKeepsTheDialogFont(page);

    // The heading font reached the heading by one WM_SETFONT that redraws.
    int headingFontMessages = 0;
    for (const SetFontMessage& m : Calls().setFont) {
        if (m.hwnd == heading && m.font == headingFont) {
            ++headingFontMessages;
            EXPECT_TRUE(m.redraw);
        }
    }
    EXPECT_EQ(headingFontMessages, 1);
}

}  // namespace

TEST_F(LinkTest, EveryStepShowsItsHeadingInArial26ExtraBoldFromThePageFont)
{
    WizardScript script;
    script.WaitUntil([] { return Sheet() != nullptr && CurrentStep(Sheet()) == 1; });
    script.Then([] { ExpectHeadingFont(1, Page(1)); });
    for (int step = 2; step <= 5; ++step) {
        Press(script, kNext, step);
        script.Then([step] { ExpectHeadingFont(step, Page(step)); });
    }
    script.Then([] {
        // One creation each, of exactly the heading description.
        int headingCreations = 0;
        for (const CreatedFont& f : Calls().fonts) {
            if (f.lf.lfHeight != 26)
                continue;
            ++headingCreations;
            EXPECT_EQ(f.lf.lfWeight, 800);
            EXPECT_STREQ(f.lf.lfFaceName, L"Arial");
        }
        EXPECT_EQ(headingCreations, 5);
        Click(Sheet(), kFinish);
    });
    RunWizard(script);
    EXPECT_EQ(Calls().driverStarts, 1);
}

TEST_F(LinkTest, FiveHeadingFontsLiveAfterManyBackAndNextCycles)
{
    std::map<int, HFONT> firstFont;   // step -> its heading font on the first visit
    auto remember = [&](int step) {
        firstFont[step] = GetFont(Heading(Page(step)));
    };
    auto expectSame = [&](int step) {
        EXPECT_EQ(GetFont(Heading(Page(step))), firstFont[step]) << "step " << step;
    };

    WizardScript script;
    script.WaitUntil([] { return Sheet() != nullptr && CurrentStep(Sheet()) == 1; });
    script.Then([&] { remember(1); });
    Press(script, kNext, 2);
    script.Then([&] { remember(2); });
    for (int i = 0; i < 4; ++i) {     // steps 1 and 2 again and again
        Press(script, kBack, 1);
        script.Then([&] { expectSame(1); });
        Press(script, kNext, 2);
        script.Then([&] { expectSame(2); });
    }
    for (int step = 3; step <= 5; ++step) {
        Press(script, kNext, step);
        script.Then([&, step] { remember(step); });
    }
    for (int i = 0; i < 6; ++i) {     // 5 -> 4 -> 3 -> 4 -> 5
        Press(script, kBack, 4);
        script.Then([&] { expectSame(4); });
        Press(script, kBack, 3);
        script.Then([&] { expectSame(3); });
        Press(script, kNext, 4);
        Press(script, kNext, 5);
        script.Then([&] { expectSame(5); });
    }
    script.Then([&] {
        const std::vector<HGDIOBJ> live = LiveFontsOfHeight(26);
        EXPECT_EQ(live.size(), 5u) << "heading fonts alive after the walk";
        int created = 0;
        for (const CreatedFont& f : Calls().fonts)
            created += f.lf.lfHeight == 26 ? 1 : 0;
        EXPECT_EQ(created, 5) << "heading fonts created";
        std::set<HGDIOBJ> distinct;
        for (const auto& [step, font] : firstFont) {
            distinct.insert(font);
            EXPECT_NE(std::find(live.begin(), live.end(), font), live.end())
                << "step " << step << " shows a font that is not alive";
        }
        EXPECT_EQ(distinct.size(), 5u);
        Click(Sheet(), kFinish);
    });
    RunWizard(script);
    // TearDown checks that every font went with the wizard.
}

TEST_F(LinkTest, WithoutFontsTheHeadingShowsTheDefaultFontAndTheWizardWorksOn)
{
    FailFontCreation(true);
    auto expectDefaultHeading = [](int step) {
        SCOPED_TRACE(::testing::Message() << "step " << step);
        const HWND heading = Heading(Page(step));
        ASSERT_NE(heading, nullptr);
        EXPECT_EQ(GetFont(heading), nullptr) << "WM_GETFONT of the heading";
        bool nullSent = false;
        for (const SetFontMessage& m : Calls().setFont)
            nullSent |= m.hwnd == heading && m.font == nullptr && m.redraw;
        EXPECT_TRUE(nullSent) << "no WM_SETFONT(NULL, TRUE) to the heading";
        EXPECT_NE(GetFont(Page(step)), nullptr);
        ExpectPictureKeepsTheDialogFont(Page(step));
    };
    WizardScript script;
    script.WaitUntil([] { return Sheet() != nullptr && CurrentStep(Sheet()) == 1; });
    script.Then([&] { expectDefaultHeading(1); });
    for (int step = 2; step <= 5; ++step) {
        Press(script, kNext, step);
        script.Then([&, step] { expectDefaultHeading(step); });
    }
    script.Then([] {
        // The link lives on without a font of its own, and still answers.
        const HWND page = Page(5);
        EXPECT_EQ(GetFont(Link(page)), nullptr);
        EXPECT_TRUE(::SendMessageW(page, WM_SETCURSOR, reinterpret_cast<WPARAM>(Link(page)),
                                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
        EXPECT_EQ(::GetCursor(), HandCursor());
        int tries = 0;
        for (const CreatedFont& f : Calls().fonts)
            tries += f.lf.lfHeight == 26 ? 1 : 0;
        EXPECT_EQ(tries, 5) << "each page tries to build its heading font";
    });
    Press(script, kBack, 4);
    Press(script, kNext, 5);
    script.Then([] { Click(Sheet(), kFinish); });
    BOOL started = TRUE;
    script.Run([&] { started = theApp.InitInstance(); });
    EXPECT_FALSE(started);
    EXPECT_EQ(Calls().driverStarts, 1);
}
