#include "wizard/Sheet.h"

const wchar_t kSheetCaption[] = L"Corvane Installer";

IMPLEMENT_DYNAMIC(CSheet, CPropertySheet)

BEGIN_MESSAGE_MAP(CSheet, CPropertySheet)
END_MESSAGE_MAP()

CSheet::CSheet() : CPropertySheet(kSheetCaption, nullptr, 0)
{
    CPropertyPage* const pages[] = {&m_page1, &m_page2, &m_page3, &m_page4, &m_page5};
    // The application maps ID_HELP, so every page was marked as having Help;
    // the wizard offers none.
    for (CPropertyPage* pPage : pages)
        pPage->m_psp.dwFlags &= ~PSP_HASHELP;
    for (CPropertyPage* pPage : pages)
        AddPage(pPage);
}
