#include "wizard/PageCommon.h"

namespace wizard {

LOGFONTW PageFont(CWnd& page)
{
    LOGFONTW lf;
    ZeroMemory(&lf, sizeof(lf));
    const HFONT hPageFont = reinterpret_cast<HFONT>(page.SendMessage(WM_GETFONT));
    ::GetObjectW(hPageFont, sizeof(lf), &lf);
    return lf;
}

void RebuildArialFont(CFont& font, LOGFONTW lf, LONG lfHeight, LONG lfWeight)
{
    lf.lfHeight = lfHeight;
    lf.lfWeight = lfWeight;
    ::lstrcpynW(lf.lfFaceName, L"Arial", LF_FACESIZE);
    font.DeleteObject();
    font.CreateFontIndirect(&lf);
}

void ApplyHeadingFont(CWnd& page, CFont& headingFont)
{
    RebuildArialFont(headingFont, PageFont(page), 26, FW_EXTRABOLD);
    if (CWnd* pHeading = page.GetDlgItem(-1))
        pHeading->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(headingFont.GetSafeHandle()),
                              TRUE);
}

void PostStepButtons(CWnd& page, DWORD dwButtons)
{
    if (CWnd* pSheet = page.GetParent())
        pSheet->PostMessage(PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(dwButtons));
}

}  // namespace wizard
