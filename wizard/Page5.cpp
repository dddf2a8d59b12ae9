#include "wizard/Page5.h"
#include "wizard/PageCommon.h"
#include "wizard/ProductLink.h"

#include <shellapi.h>

IMPLEMENT_DYNAMIC(CPage5, CPropertyPage)

BEGIN_MESSAGE_MAP(CPage5, CPropertyPage)
    ON_WM_CTLCOLOR()
    ON_WM_SETCURSOR()
    ON_STN_CLICKED(IDC_LINK, CPage5::OnLinkClicked)
END_MESSAGE_MAP()

CPage5::CPage5() : CPropertyPage(IDD_PAGE5, 0, sizeof(PROPSHEETPAGEW))
{
}

BOOL CPage5::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    m_crLink = RGB(0, 0, 255);
    wizard::ApplyHeadingFont(*this, m_fontHeading);

    ApplyLinkFont(0);
    GetDlgItem(IDC_LINK)->GetWindowRect(&m_rcLink);
    m_ptLink.x = m_rcLink.left;
    m_ptLink.y = m_rcLink.top;
    ScreenToClient(&m_ptLink);
    m_bLinkHover = 0;
    return TRUE;
}

BOOL CPage5::OnSetActive()
{
    wizard::PostStepButtons(*this, PSWIZB_BACK | PSWIZB_FINISH);
    return CPropertyPage::OnSetActive();
}

void CPage5::ApplyLinkFont(BYTE bUnderline)
{
    // Always from the page's font, never from the previous link font.
    LOGFONTW lf = wizard::PageFont(*this);
    lf.lfUnderline = bUnderline;
    wizard::RebuildArialFont(m_fontLink, lf, 14, FW_BOLD);
    GetDlgItem(IDC_LINK)->SetFont(&m_fontLink, TRUE);
}

HBRUSH CPage5::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    HBRUSH hbr = CPropertyPage::OnCtlColor(pDC, pWnd, nCtlColor);
    if (pWnd->GetDlgCtrlID() == IDC_LINK) {
        pDC->SetBkMode(TRANSPARENT);
        pDC->SetTextColor(m_crLink);
        return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    }
    return hbr;
}

BOOL CPage5::OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message)
{
    if (pWnd->GetDlgCtrlID() == IDC_LINK) {
        SetLinkHover(1);
        ::SetCursor(AfxGetApp()->LoadCursor(IDC_LINK_HAND));
        return TRUE;
    }
    SetLinkHover(0);
    return CPropertyPage::OnSetCursor(pWnd, nHitTest, message);
}

void CPage5::SetLinkHover(BYTE bHover)
{
    if (m_bLinkHover == bHover)
        return;

    // The link has no background of its own: wipe its old rendering (an
    // underline included) with two strips of blanks before it redraws.
    static const wchar_t kBlanks[] = L"                                 ";
    const int nBlanks = static_cast<int>(sizeof(kBlanks) / sizeof(kBlanks[0])) - 1;
    CClientDC dc(this);
    dc.TextOut(m_ptLink.x, m_ptLink.y, kBlanks, nBlanks);
    dc.TextOut(m_ptLink.x, m_ptLink.y + 10, kBlanks, nBlanks);

    // The blanks alone fall short where the system font's blanks are
    // narrower than the link is wide (a Japanese system font), and they
    // paint white beyond the picture where the page is larger than it: the
    // page and its picture paint again what lies under the link and the
    // strips, and the link draws over that in its new font.
    const SIZE strip = dc.GetTextExtent(kBlanks, nBlanks);
    const RECT rcStrips = {m_ptLink.x, m_ptLink.y, m_ptLink.x + strip.cx,
                           m_ptLink.y + 10 + strip.cy};
    RECT rcLink;
    GetDlgItem(IDC_LINK)->GetWindowRect(&rcLink);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rcLink), 2);
    RECT rcRepaint;
    ::UnionRect(&rcRepaint, &rcStrips, &rcLink);

    ApplyLinkFont(bHover);
    RedrawWindow(&rcRepaint, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    m_bLinkHover = bHover;
}

void CPage5::OnLinkClicked()
{
    ::ShellExecuteW(nullptr, L"open", wizard::kProductUrl, nullptr, nullptr, SW_SHOWNORMAL);
}
