// What the in-process wizard tests share: a stand-in for the shell's start
// of the driver installer (no real program is started from these tests), and
// a watch on the messages that the wizard's windows receive.
#pragma once

#include "support/ImportPatch.h"
#include "support/Windows.h"
#include "support/WizardScript.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

public:
    // Checks everything that step (1 to 5) must show: the current page and
    // its class, the buttons offered, the caption and icon, the host dialog
    // hidden and disabled as the sheet's owner, and the whole page visible.
    static void ExpectStep(int step);
    // Every control of the page lies inside the page, and the page inside the
    // sheet above its buttons, at its template's full size.
    static void ExpectPageNotCutOff(HWND sheet, HWND page);

    // Starts of the driver installer seen so far (the stand-in reports success).
    static int ShellStarts();
    // WM_INITDIALOG messages that hwnd has received.
    static int InitDialogCount(HWND hwnd);
    // Whether the host dialog was ever about to be shown.
    static bool HostDialogShown();
    static size_t DialogsInitialised();

private:
    std::unique_ptr<ImportPatch> shell_;
    HHOOK hook_ = nullptr;
};
