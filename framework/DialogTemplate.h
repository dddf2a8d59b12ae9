// Reading and patching the font of an in-memory dialog template.
#pragma once

#include "Object.h"

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
