#include "wizard/Pages.h"
#include "wizard/PageCommon.h"

IMPLEMENT_DYNAMIC(CPage1, CPropertyPage)
IMPLEMENT_DYNAMIC(CPage2, CPropertyPage)
IMPLEMENT_DYNAMIC(CPage3, CPropertyPage)
IMPLEMENT_DYNAMIC(CPage4, CPropertyPage)

BEGIN_MESSAGE_MAP(CPage1, CPropertyPage)
END_MESSAGE_MAP()
BEGIN_MESSAGE_MAP(CPage2, CPropertyPage)
END_MESSAGE_MAP()
BEGIN_MESSAGE_MAP(CPage3, CPropertyPage)
END_MESSAGE_MAP()
BEGIN_MESSAGE_MAP(CPage4, CPropertyPage)
END_MESSAGE_MAP()

// Every page record is handed to the system in its latest layout.
CPage1::CPage1() : CPropertyPage(IDD_PAGE1, 0, sizeof(PROPSHEETPAGEW)) {}
CPage2::CPage2() : CPropertyPage(IDD_PAGE2, 0, sizeof(PROPSHEETPAGEW)) {}
CPage3::CPage3() : CPropertyPage(IDD_PAGE3, 0, sizeof(PROPSHEETPAGEW)) {}
CPage4::CPage4() : CPropertyPage(IDD_PAGE4, 0, sizeof(PROPSHEETPAGEW)) {}

BOOL CPage1::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    wizard::ApplyHeadingFont(*this, m_fontHeading);
    return TRUE;
}

BOOL CPage2::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    wizard::ApplyHeadingFont(*this, m_fontHeading);
    return TRUE;
}

BOOL CPage3::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    wizard::ApplyHeadingFont(*this, m_fontHeading);
    return TRUE;
}

BOOL CPage4::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    wizard::ApplyHeadingFont(*this, m_fontHeading);
    return TRUE;
}

BOOL CPage1::OnSetActive()
{
    wizard::PostStepButtons(*this, PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

BOOL CPage2::OnSetActive()
{
    wizard::PostStepButtons(*this, PSWIZB_BACK | PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

BOOL CPage3::OnSetActive()
{
    wizard::PostStepButtons(*this, PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

BOOL CPage4::OnSetActive()
{
    wizard::PostStepButtons(*this, PSWIZB_BACK | PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

// Steps 1, 3 and 4 have no work of their own: Next moves on.
LRESULT CPage1::OnWizardNext()
{
    return 0;
}

LRESULT CPage3::OnWizardNext()
{
    return 0;
}

LRESULT CPage4::OnWizardNext()
{
    return 0;
}
