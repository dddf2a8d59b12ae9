// Step 5's web link: its font and colours, the underline and hand cursor
// while the pointer is over it, the address it opens, and its caption.
#include "LinkFixture.h"

#include "wizard/ProductLink.h"

#include <shellapi.h>

#include <cstring>

using namespace testing_support;
using namespace link_test;

namespace {

constexpr int kLinkId = 1003;
constexpr COLORREF kBlue = 0x00FF0000;
const std::wstring kBlanks(33, L' ');

// The link's top-left corner in the page's client coordinates.
POINT LinkCorner(HWND page)
{
    RECT rc;
    ::GetWindowRect(Link(page), &rc);
    POINT pt = {rc.left, rc.top};
    ::ScreenToClient(page, &pt);
    return pt;
}

// The link's font: 14-pixel bold Arial, underlined as given, every other
// field that of the page's font.
void ExpectLinkFont(HWND page, BYTE underline)
{
    const LOGFONTW pf = WindowFont(page);
    const LOGFONTW lf = WindowFont(Link(page));
    EXPECT_EQ(lf.lfHeight, 14);
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_STREQ(lf.lfFaceName, L"Arial");
    EXPECT_EQ(lf.lfUnderline, underline);
    EXPECT_TRUE(SameExceptHeightWeightUnderlineFace(lf, pf));
    EXPECT_NE(pf.lfHeight, 14);
}

LRESULT SetCursorTo(HWND page, HWND target)
{
    return ::SendMessageW(page, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                          MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

// Where the pointer is, as WM_SETCURSOR's wParam names it.
HWND Target(HWND page, const char* name)
{
    if (std::strcmp(name, "link") == 0)
        return Link(page);
    if (std::strcmp(name, "heading") == 0)
        return Heading(page);
    if (std::strcmp(name, "picture") == 0)
        return Picture(page);
    return page;
}

// What the installer did for one change of the hover state: the old font
// deleted, then one new one built and given to the link; the two strips of
// blanks drawn at the corner and 10 px lower on a client DC of the page,
// which is released.
void ExpectOneChange(HWND page, HFONT oldFont, BYTE underline)
{
    const Record& r = Calls();
    ASSERT_EQ(r.fonts.size(), 1u) << "fonts built";
    const HFONT newFont = r.fonts[0].font;
    ASSERT_EQ(r.fontEvents.size(), 2u);
    EXPECT_FALSE(r.fontEvents[0].created);
    EXPECT_EQ(r.fontEvents[0].handle, oldFont) << "the old link font is not deleted first";
    EXPECT_TRUE(r.fontEvents[1].created);
    EXPECT_EQ(GetFont(Link(page)), newFont);
    ExpectLinkFont(page, underline);
    bool given = false;
    for (const SetFontMessage& m : r.setFont)
        given |= m.hwnd == Link(page) && m.font == newFont && m.redraw;
    EXPECT_TRUE(given) << "no WM_SETFONT(new font, TRUE) to the link";

    ASSERT_EQ(r.getDC.size(), 1u) << "DCs taken";
    EXPECT_EQ(r.getDC[0], page);
    EXPECT_EQ(r.releaseDC, 1);
    const POINT corner = LinkCorner(page);
    ASSERT_EQ(r.textOuts.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(::testing::Message() << "strip " << i + 1);
        const TextOutCall& t = r.textOuts[i];
        EXPECT_EQ(t.x, corner.x);
        EXPECT_EQ(t.y, corner.y + 10 * i);
        EXPECT_EQ(t.text, kBlanks);
        EXPECT_EQ(t.bkMode, OPAQUE);
        EXPECT_EQ(t.bkColor, RGB(255, 255, 255));
    }
}

void ExpectNoChange(HWND page, HFONT oldFont)
{
    const Record& r = Calls();
    EXPECT_TRUE(r.fonts.empty()) << "fonts built";
    EXPECT_TRUE(r.fontEvents.empty());
    EXPECT_TRUE(r.getDC.empty()) << "DCs taken";
    EXPECT_EQ(r.releaseDC, 0);
    EXPECT_TRUE(r.textOuts.empty());
    EXPECT_EQ(GetFont(Link(page)), oldFont);
}

// The shell was asked to open the product page count times, each exactly so.
void ExpectOpened(size_t count)
{
    ASSERT_EQ(Calls().shell.size(), count);
    for (const ShellCall& c : Calls().shell) {
        EXPECT_EQ(c.owner, nullptr);
        EXPECT_FALSE(c.verbNull);
        EXPECT_EQ(c.verb, L"open");
        EXPECT_EQ(c.file, wizard::kProductUrl);
        EXPECT_TRUE(c.paramsNull);
        EXPECT_TRUE(c.dirNull);
        EXPECT_EQ(c.show, SW_SHOWNORMAL);
    }
}

}  // namespace

TEST_F(LinkTest, TheLinkStartsPlainInBoldArial14FromThePageFont)
{
    WizardScript script;
    AddWalkToStep5(script);
    script.Then([] {
        const HWND page = Page(5);
        ASSERT_NE(Link(page), nullptr);
        ExpectLinkFont(page, 0);
        // Built once, given to the link with a redraw, never to anyone else.
        int linkFonts = 0;
        for (const CreatedFont& f : Calls().fonts)
            linkFonts += f.lf.lfHeight == 14 ? 1 : 0;
        EXPECT_EQ(linkFonts, 1);
        int given = 0;
        for (const SetFontMessage& m : Calls().setFont) {
            if (m.font != GetFont(Link(page)))
                continue;
            EXPECT_EQ(m.hwnd, Link(page));
            EXPECT_TRUE(m.redraw);
            ++given;
        }
        EXPECT_EQ(given, 1);
        EXPECT_EQ(LiveFontsOfHeight(14).size(), 1u);
        Click(Sheet(), kFinish);
    });
    RunWizard(script);
    EXPECT_TRUE(Calls().shell.empty()) << "reaching step 5 opened something";
}

TEST_F(LinkTest, PointerOnAndOffTheLinkSwitchesItOnceEachWay)
{
    // Each move: where WM_SETCURSOR says the pointer is, the hover state that
    // follows, and whether that is a change.
    const struct Move {
        const char* target;
        BYTE hover;
        bool change;
    } moves[] = {
        {"page", 0, false},    {"link", 1, true},     {"link", 1, false},   {"link", 1, false},
        {"heading", 0, true},  {"heading", 0, false}, {"picture", 0, false}, {"page", 0, false},
        {"link", 1, true},     {"picture", 0, true},  {"link", 1, true},     {"page", 0, true},
        {"page", 0, false},
    };
    WizardScript script;
    AddWalkToStep5(script);
    script.Then([&] {
        const HWND page = Page(5);
        for (size_t i = 0; i < sizeof(moves) / sizeof(moves[0]); ++i) {
            const Move& m = moves[i];
            SCOPED_TRACE(::testing::Message() << "move " << i + 1 << " onto the " << m.target);
            const HWND target = Target(page, m.target);
            ASSERT_NE(target, nullptr);
            // What the page's default processing answers for this window.
            const LRESULT expected =
                m.hover ? TRUE
                        : ::DefDlgProcW(page, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                                        MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            ::SetCursor(nullptr);
            const HFONT before = GetFont(Link(page));
            Calls().Reset();
            EXPECT_EQ(SetCursorTo(page, target), expected);
            if (m.hover) {
                EXPECT_EQ(::GetCursor(), HandCursor()) << "not the hand over the link";
            } else {
                EXPECT_NE(::GetCursor(), HandCursor()) << "still the hand off the link";
            }
            if (m.change) {
                ExpectOneChange(page, before, m.hover);
            } else {
                ExpectNoChange(page, before);
            }
            EXPECT_EQ(WindowFont(Link(page)).lfUnderline, m.hover);
            EXPECT_EQ(LiveFontsOfHeight(14).size(), 1u) << "link fonts alive";
            ASSERT_FALSE(HasFatalFailure());
        }
        Click(Sheet(), kFinish);
    });
    RunWizard(script);
    ASSERT_NE(HandCursor(), nullptr);
}

TEST_F(LinkTest, TheLinkIsBlueOnNoBackgroundAndOtherControlsGetTheDefaultColours)
{
    const struct Case {
        const char* control;
        bool link;
    } cases[] = {{"link", true}, {"heading", false}, {"picture", false}};
    WizardScript script;
    AddWalkToStep5(script);
    script.Then([&] {
        const HWND page = Page(5);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.control);
            const HWND control = Target(page, c.control);
            const HDC dc = ::CreateCompatibleDC(nullptr);
            const HDC reference = ::CreateCompatibleDC(nullptr);
            const COLORREF freshBk = ::GetBkColor(dc);
            const LRESULT answer = ::SendMessageW(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                  reinterpret_cast<LPARAM>(control));
            // The default processing on a DC of its own.
            const LRESULT base = ::DefDlgProcW(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(reference),
                                               reinterpret_cast<LPARAM>(control));
            ASSERT_NE(::GetBkColor(reference), freshBk) << "the default leaves no mark to compare";
            ASSERT_NE(base, 0);
            ASSERT_NE(::GetTextColor(reference), kBlue);
            if (c.link) {
                EXPECT_EQ(answer, reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)));
                EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
                EXPECT_EQ(::GetTextColor(dc), kBlue);
                EXPECT_EQ(::GetBkColor(dc), ::GetBkColor(reference)) << "the base did not run for the link";
            } else {
                EXPECT_EQ(answer, base) << "not the default brush";
                EXPECT_NE(answer, reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)));
                EXPECT_EQ(::GetBkMode(dc), ::GetBkMode(reference));
                EXPECT_EQ(::GetTextColor(dc), ::GetTextColor(reference));
                EXPECT_EQ(::GetBkColor(dc), ::GetBkColor(reference));
            }
            ::DeleteDC(dc);
            ::DeleteDC(reference);
        }
        Click(Sheet(), kFinish);
    });
    RunWizard(script);
}

TEST_F(LinkTest, AClickOpensTheProductPageOnceAndLeavesTheHoverAlone)
{
    // Notifications (code, sender) or mouse messages sent to the link, and
    // how often the page is opened for them.
    enum Kind { kNotify, kMouse };
    struct Event {
        Kind kind;
        UINT code;          // notification code, or mouse message
        const char* from;   // sender of a notification
    };
    const struct Case {
        const char* name;
        std::vector<Event> events;
        size_t opens;
    } cases[] = {
        {"STN_CLICKED", {{kNotify, STN_CLICKED, "link"}}, 1},
        {"STN_CLICKED then STN_DBLCLK", {{kNotify, STN_CLICKED, "link"}, {kNotify, STN_DBLCLK, "link"}}, 1},
        {"STN_DBLCLK alone", {{kNotify, STN_DBLCLK, "link"}}, 0},
        {"three clicks", {{kNotify, STN_CLICKED, "link"}, {kNotify, STN_CLICKED, "link"},
                          {kNotify, STN_CLICKED, "link"}}, 3},
        {"STN_ENABLE, STN_DISABLE", {{kNotify, STN_ENABLE, "link"}, {kNotify, STN_DISABLE, "link"}}, 0},
        {"STN_CLICKED from the heading", {{kNotify, STN_CLICKED, "heading"}}, 0},
        {"button down and up on the link", {{kMouse, WM_LBUTTONDOWN, nullptr}, {kMouse, WM_LBUTTONUP, nullptr}}, 1},
        {"double click on the link", {{kMouse, WM_LBUTTONDOWN, nullptr}, {kMouse, WM_LBUTTONUP, nullptr},
                                      {kMouse, WM_LBUTTONDBLCLK, nullptr}, {kMouse, WM_LBUTTONUP, nullptr}}, 1},
    };
    WizardScript script;
    AddWalkToStep5(script);
    script.Then([&] {
        const HWND page = Page(5);
        for (BYTE hover = 0; hover <= 1; ++hover) {
            SetCursorTo(page, Target(page, hover ? "link" : "page"));
            ASSERT_EQ(WindowFont(Link(page)).lfUnderline, hover);
            for (const Case& c : cases) {
                SCOPED_TRACE(::testing::Message() << c.name << ", hover " << int(hover));
                const HFONT before = GetFont(Link(page));
                Calls().Reset();
                for (const Event& e : c.events) {
                    if (e.kind == kNotify) {
                        const HWND from = Target(page, e.from);
                        ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(from), e.code),
                                       reinterpret_cast<LPARAM>(from));
                    } else {
                        ::SendMessageW(Link(page), e.code, e.code == WM_LBUTTONUP ? 0 : MK_LBUTTON,
                                       MAKELPARAM(5, 5));
                    }
                }
                ExpectOpened(c.opens);
                ExpectNoChange(page, before);
                EXPECT_EQ(WindowFont(Link(page)).lfUnderline, hover);
            }
        }
        // A click does not change the state either: the next move onto the
        // link (hover 1 now) changes nothing.
        Calls().Reset();
        const HFONT before = GetFont(Link(page));
        SetCursorTo(page, Link(page));
        ExpectNoChange(page, before);
        if (::GetCapture() != nullptr)
            ::ReleaseCapture();
        Click(Sheet(), kFinish);
    });
    RunWizard(script);
}

TEST_F(LinkTest, BackToStepFourAndNextKeepTheLinkFontAndState)
{
    for (BYTE hover = 0; hover <= 1; ++hover) {
        SCOPED_TRACE(::testing::Message() << "hover " << int(hover));
        Calls().Reset();
        HFONT font = nullptr;
        WizardScript script;
        AddWalkToStep5(script);
        script.Then([&] {
            const HWND page = Page(5);
            // Set the state, away and back again so that it is not the first.
            SetCursorTo(page, Link(page));
            SetCursorTo(page, hover ? Link(page) : page);
            font = GetFont(Link(page));
            ASSERT_EQ(WindowFont(Link(page)).lfUnderline, hover);
        });
        for (int round = 0; round < 3; ++round) {
            Press(script, kBack, 4);
            Press(script, kNext, 5);
        }
        script.Then([&] {
            const HWND page = Page(5);
            Calls().Reset();
            EXPECT_EQ(GetFont(Link(page)), font);
            EXPECT_EQ(WindowFont(Link(page)).lfUnderline, hover);
            // The state was kept: the same position changes nothing, the other
            // one changes it once.
            SetCursorTo(page, hover ? Link(page) : page);
            ExpectNoChange(page, font);
            SetCursorTo(page, hover ? page : Link(page));
            ExpectOneChange(page, font, hover ? 0 : 1);
            Click(Sheet(), kFinish);
        });
        RunWizard(script);
    }
}

namespace {

// The caption and rectangle of control id in a DIALOGEX template.
bool FindControl(const BYTE* tpl, DWORD size, DWORD id, std::wstring* caption, RECT* units)
{
    const BYTE* end = tpl + size;
    auto word = [](const BYTE* p) { return *reinterpret_cast<const WORD*>(p); };
    // Skips an ordinal (0xFFFF, n) or a string; returns what follows.
    auto skipSzOrOrd = [&](const BYTE* p, std::wstring* text) {
        if (word(p) == 0xFFFF)
            return p + 4;
        const wchar_t* s = reinterpret_cast<const wchar_t*>(p);
        if (text)
            *text = s;
        return p + (std::wcslen(s) + 1) * 2;
    };
    auto align4 = [&](const BYTE* p) {
        return tpl + ((p - tpl + 3) & ~static_cast<ptrdiff_t>(3));
    };
    if (word(tpl) != 1 || word(tpl + 2) != 0xFFFF)
        return false;
    const DWORD style = *reinterpret_cast<const DWORD*>(tpl + 12);
    const WORD count = word(tpl + 16);
    const BYTE* p = tpl + 26;
    p = skipSzOrOrd(p, nullptr);   // menu
    p = skipSzOrOrd(p, nullptr);   // class
    p = skipSzOrOrd(p, nullptr);   // title
    if (style & (DS_SETFONT | DS_SHELLFONT)) {
        p += 6;
        p = skipSzOrOrd(p, nullptr);
    }
    for (WORD i = 0; i < count && p < end; ++i) {
        p = align4(p);
        const short* rc = reinterpret_cast<const short*>(p + 12);
        const DWORD itemId = *reinterpret_cast<const DWORD*>(p + 20);
        p += 24;
        p = skipSzOrOrd(p, nullptr);   // class
        std::wstring text;
        p = skipSzOrOrd(p, &text);
        const WORD extra = word(p);
        p += 2 + extra;
        if (itemId == id) {
            *caption = text;
            *units = RECT{rc[0], rc[1], rc[0] + rc[2], rc[1] + rc[3]};
            return true;
        }
    }
    return false;
}

}  // namespace

TEST(LinkCaption, BothTemplatesShowTheShortFormOfTheProductAddress)
{
    const std::wstring expected = ShortAddress(wizard::kProductUrl);
    ASSERT_EQ(expected.find(L"://"), std::wstring::npos);
    ASSERT_NE(expected.compare(0, 4, L"www."), 0);
    ASSERT_LT(expected.size(), std::wcslen(wizard::kProductUrl));
    const struct {
        const char* language;
        LANGID lang;
        RECT units;
    } cases[] = {
        {"English", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), {212, 260, 294, 275}},
        {"Japanese", MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), {177, 268, 260, 280}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        const HRSRC res = ::FindResourceExW(nullptr, RT_DIALOG, MAKEINTRESOURCEW(133), c.lang);
        ASSERT_NE(res, nullptr);
        const BYTE* tpl = static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, res)));
        ASSERT_NE(tpl, nullptr);
        std::wstring caption;
        RECT units{};
        ASSERT_TRUE(FindControl(tpl, ::SizeofResource(nullptr, res), kLinkId, &caption, &units))
            << "no control 1003 in template 133";
        EXPECT_EQ(caption, expected);
        EXPECT_EQ(units.left, c.units.left);
        EXPECT_EQ(units.top, c.units.top);
        EXPECT_EQ(units.right, c.units.right);
        EXPECT_EQ(units.bottom, c.units.bottom);
    }
}
