// Dialog templates in memory: finding them, their style and their font.
#pragma once

#include "Object.h"

// The dialog template nID of hInst as the resource loader picks it (the
// thread's user-interface language), and its size; nullptr when there is
// none.
const BYTE* AfxLoadDialogTemplate(HINSTANCE hInst, LPCWSTR nID, DWORD* pcbTemplate = nullptr);

// Whether the template is a DLGTEMPLATEEX rather than a classic DLGTEMPLATE.
bool AfxIsExtendedTemplate(const BYTE* pTemplate);

// The template's style field.
inline DWORD* AfxTemplateStyle(BYTE* pTemplate)
{
    return reinterpret_cast<DWORD*>(pTemplate + (AfxIsExtendedTemplate(pTemplate) ? 12 : 0));
}

// Where a dialog template keeps its font. A classic DLGTEMPLATE has a point
// size and a face only; a DLGTEMPLATEEX also a weight, italic flag and
// character set (those pointers are nullptr otherwise).
struct CDialogTemplateFont {
    WORD* pPointSize = nullptr;
    WORD* pWeight = nullptr;
    BYTE* pItalic = nullptr;
    BYTE* pCharSet = nullptr;
    WCHAR* pFaceName = nullptr;

    // Finds the font fields of the template at pTemplate. FALSE when the
    // template sets no font (neither DS_SETFONT nor DS_SHELLFONT).
    BOOL Locate(const BYTE* pTemplate);
};
