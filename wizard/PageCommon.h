// What every step of the wizard does alike.
#pragma once

#include "framework/Afx.h"

namespace wizard {

// The description of the page's own font (WM_GETFONT); all zero when the
// page has none.
LOGFONTW PageFont(CWnd& page);

// Replaces what font holds with an Arial font of the given cell height and
// weight, every other attribute taken from lf. The font stays empty when the
// system creates none.
void RebuildArialFont(CFont& font, LOGFONTW lf, LONG lfHeight, LONG lfWeight);

// Builds the heading font from the page's own font (26-pixel extra-bold
// Arial) and gives it to the heading static, the page's first control -1.
void ApplyHeadingFont(CWnd& page, CFont& headingFont);

// Offers the step's set of wizard buttons (PSWIZB_*): posted to the sheet, so
// that they change once the activation has been handled.
void PostStepButtons(CWnd& page, DWORD dwButtons);

}  // namespace wizard
