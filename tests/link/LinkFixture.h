// What the heading and link tests share: the installer's calls of
// CreateFontIndirectW, DeleteObject, GetDC, ReleaseDC, TextOutW and
// ShellExecuteW recorded (through the test program's import table, so only
// calls made by code linked into the test program are seen), WM_SETFONT
// messages watched, and the wizard run in process up to step 5.
#pragma once

#include "support/ImportPatch.h"
#include "support/Windows.h"
#include "support/WizardScript.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace link_test {

struct CreatedFont {
    HFONT font;          // nullptr when creation failed (or was made to fail)
    LOGFONTW lf;         // the description passed in
};

struct TextOutCall {
    HDC hdc;
    int x, y;
    std::wstring text;
    int bkMode;          // of the DC at the time of the call
    COLORREF bkColor;
};

struct ShellCall {
    HWND owner;
    bool verbNull, fileNull, paramsNull, dirNull;
    std::wstring verb, file, params, dir;
    INT show;
};

struct SetFontMessage {
    HWND hwnd;
    HFONT font;
    BOOL redraw;
};

// One font event, in the order the installer made it.
struct FontEvent {
    bool created;        // else deleted
    HGDIOBJ handle;
};

// Everything recorded since the last Reset.
struct Record {
    std::vector<CreatedFont> fonts;
    std::vector<FontEvent> fontEvents;      // creations and deletions of recorded fonts
    std::set<HGDIOBJ> live;                 // fonts created and not deleted (never reset)
    std::vector<HWND> getDC;                // windows whose DC was taken
    int releaseDC = 0;
    std::vector<TextOutCall> textOuts;
    std::vector<ShellCall> shell;           // calls for anything but the driver installer
    int driverStarts = 0;                   // calls for the driver package installer
    std::vector<SetFontMessage> setFont;

    // Forgets the calls so far; live fonts stay tracked.
    void Reset();
};

Record& Calls();

// The live fonts that the installer created with this cell height.
std::vector<HGDIOBJ> LiveFontsOfHeight(LONG height);

// The description of a font handle; fails the test when there is none.
LOGFONTW FontOf(HFONT font);
LOGFONTW WindowFont(HWND hwnd);         // of WM_GETFONT's answer
HFONT GetFont(HWND hwnd);

// Page children.
HWND Heading(HWND page);                // first child with id -1
HWND Picture(HWND page);                // second child with id -1
HWND Link(HWND page);                   // control 1003

// Every field of a and b except height, weight, underline and face name
// equal; reports the first that differs.
::testing::AssertionResult SameExceptHeightWeightUnderlineFace(const LOGFONTW& a,
                                                               const LOGFONTW& b);

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // While set, every CreateFontIndirectW of the installer returns NULL.
    static void FailFontCreation(bool fail);

    // Queues waiting for the wizard and Next up to step 5 (checking each
    // step arrives), then runs the queued script steps with the wizard.
    static void AddWalkToStep5(WizardScript& script);
    static void Press(WizardScript& script, int button, int expectedStep);
    // Runs the wizard (the real application's start) while script runs.
    static void RunWizard(WizardScript& script);

    // The sheet and its pages (index 0 to 4) while the wizard runs.
    static HWND Sheet();
    static HWND Page(int step);

private:
    std::vector<std::unique_ptr<ImportPatch>> patches_;
    HHOOK hook_ = nullptr;
};

// The hand cursor of the program (cursor 143 of the test program, which
// carries the installer's resources).
HCURSOR HandCursor();

// The address as the link shows it: no scheme, no "www.".
std::wstring ShortAddress(const std::wstring& url);

}  // namespace link_test
