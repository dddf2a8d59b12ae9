#include "app/CorvaneInstDlg.h"
#include "wizard/Sheet.h"

BEGIN_MESSAGE_MAP(CCorvaneInstDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

CCorvaneInstDlg::CCorvaneInstDlg() : CDialog(IDD)
{
    m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
}

BOOL CCorvaneInstDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    CSheet sheet;
    sheet.m_psh.hIcon = ::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    sheet.m_psh.dwFlags &= ~PSH_HASHELP;
    sheet.m_psh.dwFlags |= PSH_WIZARD | PSH_NOAPPLYNOW | PSH_USEHICON;
    sheet.DoModal();

    // Ending the dialog while it initialises means it is never shown.
    OnOK();
    return TRUE;
}

void CCorvaneInstDlg::OnOK()
{
    CDialog::OnOK();
}

void CCorvaneInstDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CCorvaneInstDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}
