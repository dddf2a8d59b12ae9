// Step 5: congratulations, and a link to the product web page.
#pragma once

#include "framework/Afx.h"
#include "res/resource.h"

class CPage5 : public CPropertyPage {
    DECLARE_DYNAMIC(CPage5)

public:
    CPage5();
    ~CPage5() override = default;

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;

protected:
    CFont m_fontHeading;
    CFont m_fontLink;        // bold 14-pixel Arial, underlined while hovered
    COLORREF m_crLink;       // the link's text colour
    POINT m_ptLink;          // the link's top-left corner, page client coordinates
    RECT m_rcLink;           // the link's window rectangle when the page was created
    BYTE m_bLinkHover;       // 1 while the link is drawn underlined

    // Draws the link in blue, with no background of its own.
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    // Underlines the link and shows the hand while the pointer is over it.
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    // Opens the product web page.
    void OnLinkClicked();

    DECLARE_MESSAGE_MAP()

private:
    // Builds the link font for the hover state and gives it to the link.
    void ApplyLinkFont(BYTE bUnderline);
    // Switches the link between plain (0) and underlined (1).
    void SetLinkHover(BYTE bHover);
};
