// Steps 1 to 4 of the wizard. Each shows its heading and picture; step 2's
// Next starts the driver package installer (DriverLaunch.cpp).
#pragma once

#include "framework/Afx.h"
#include "res/resource.h"

// Step 1: welcome. Offers Next only.
class CPage1 : public CPropertyPage {
    DECLARE_DYNAMIC(CPage1)

public:
    CPage1();
    ~CPage1() override = default;

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

protected:
    CFont m_fontHeading;

    DECLARE_MESSAGE_MAP()
};

// Step 2: prepares the user for the elevation prompt. Back and Next; Next
// starts the driver package installer.
class CPage2 : public CPropertyPage {
    DECLARE_DYNAMIC(CPage2)

public:
    CPage2();
    ~CPage2() override = default;

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

protected:
    CFont m_fontHeading;

    DECLARE_MESSAGE_MAP()
};

// Step 3: the driver installation is complete. Next only, so that the
// installer cannot be started twice.
class CPage3 : public CPropertyPage {
    DECLARE_DYNAMIC(CPage3)

public:
    CPage3();
    ~CPage3() override = default;

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

protected:
    CFont m_fontHeading;

    DECLARE_MESSAGE_MAP()
};

// Step 4: plug in the printer. Back and Next.
class CPage4 : public CPropertyPage {
    DECLARE_DYNAMIC(CPage4)

public:
    CPage4();
    ~CPage4() override = default;

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

protected:
    CFont m_fontHeading;

    DECLARE_MESSAGE_MAP()
};
