// The wizard: a property sheet holding the five steps in order.
#pragma once

#include "framework/Afx.h"
#include "wizard/Page5.h"
#include "wizard/Pages.h"

class CSheet : public CPropertySheet {
    DECLARE_DYNAMIC(CSheet)

public:
    CSheet();
    ~CSheet() override = default;

    CPage1 m_page1;
    CPage2 m_page2;
    CPage3 m_page3;
    CPage4 m_page4;
    CPage5 m_page5;

    DECLARE_MESSAGE_MAP()
};

// The wizard's caption.
extern const wchar_t kSheetCaption[];
