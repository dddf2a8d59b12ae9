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

BOOL CDialogTemplateFont::Locate(const BYTE* pTemplate)
{
    const WORD* words = reinterpret_cast<const WORD*>(pTemplate);
    const bool extended = words[0] == 1 && words[1] == 0xFFFF;
    DWORD style;
    const WORD* p;
    if (extended) {
        // dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y, cx, cy
        style = *reinterpret_cast<const DWORD*>(pTemplate + 12);
        p = reinterpret_cast<const WORD*>(pTemplate + 26);
    } else {
        // style, dwExtendedStyle, cdit, x, y, cx, cy
        style = *reinterpret_cast<const DWORD*>(pTemplate);
        p = reinterpret_cast<const WORD*>(pTemplate + 18);
    }
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
