#include "DialogTemplate.h"

namespace {

// Skips a name-or-ordinal field: 0 (none), 0xFFFF plus an ordinal, or a string.
const WORD* SkipNameOrOrdinal(const WORD* p)
{
    if (*p == 0x0000)
        return p + 1;
    if (*p == 0xFFFF)
        return p + 2;
    while (*p != 0)
        ++p;
    return p + 1;
}

}  // namespace

const BYTE* AfxLoadDialogTemplate(HINSTANCE hInst, LPCWSTR nID, DWORD* pcbTemplate)
{
    HRSRC hRes = ::FindResourceW(hInst, nID, MAKEINTRESOURCEW(5));  // RT_DIALOG
    HGLOBAL hGlobal = hRes ? ::LoadResource(hInst, hRes) : nullptr;
    const BYTE* pTemplate = hGlobal ? static_cast<const BYTE*>(::LockResource(hGlobal)) : nullptr;
    if (pcbTemplate != nullptr)
        *pcbTemplate = pTemplate ? ::SizeofResource(hInst, hRes) : 0;
    return pTemplate;
}

bool AfxIsExtendedTemplate(const BYTE* pTemplate)
{
    const WORD* words = reinterpret_cast<const WORD*>(pTemplate);
    return words[0] == 1 && words[1] == 0xFFFF;
}

BOOL CDialogTemplateFont::Locate(const BYTE* pTemplate)
{
    const bool extended = AfxIsExtendedTemplate(pTemplate);
    const DWORD style = *reinterpret_cast<const DWORD*>(pTemplate + (extended ? 12 : 0));
    // After dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y, cx,
    // cy; or style, dwExtendedStyle, cdit, x, y, cx, cy.
    const WORD* p = reinterpret_cast<const WORD*>(pTemplate + (extended ? 26 : 18));
    if ((style & DS_SETFONT) == 0)  // DS_SHELLFONT includes DS_SETFONT
        return FALSE;
    p = SkipNameOrOrdinal(p);  // menu
    p = SkipNameOrOrdinal(p);  // window class
    while (*p != 0)            // title
        ++p;
    ++p;

    WORD* q = const_cast<WORD*>(p);
    pPointSize = q++;
    if (extended) {
        pWeight = q++;
        pItalic = reinterpret_cast<BYTE*>(q);
        pCharSet = pItalic + 1;
        ++q;
    }
    pFaceName = reinterpret_cast<WCHAR*>(q);
    return TRUE;
}
