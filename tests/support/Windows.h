// Looking at and acting on the wizard's windows from inside the process.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace testing_support {

// Identifiers of the wizard sheet's buttons.
constexpr int kBack = 0x3023;
constexpr int kNext = 0x3024;
constexpr int kFinish = 0x3025;
constexpr int kCancel = IDCANCEL;
constexpr int kHelp = IDHELP;
constexpr int kApply = 0x3021;

std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);

// The top-level windows of this thread, visible or not.
std::vector<HWND> ThreadWindows();
// The wizard sheet of this thread, or nullptr.
HWND FindSheet();
// The host dialog (caption "CorvaneInst"), or nullptr.
HWND FindHostDialog();
// A message box of this thread with the given caption, or nullptr.
HWND FindMessageBox(const wchar_t* caption);

HWND CurrentPage(HWND sheet);
// The current step, 1 to 5; 0 when there is none.
int CurrentStep(HWND sheet);
// Whether a sheet button is offered: shown and enabled.
bool ButtonAvailable(HWND sheet, int id);
// Clicks a sheet button as the user would (BM_CLICK); the button must be
// available.
void Click(HWND sheet, int id);

// The page's rectangle in dialog units converted to pixels with the page's
// own font (MapDialogRect).
RECT DialogUnitsToPixels(HWND page, int x, int y, int cx, int cy);

}  // namespace testing_support
