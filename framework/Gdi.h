// GDI objects and device contexts.
#pragma once

#include "Object.h"

class CWnd;

// Owns one GDI object and deletes it when replaced or destroyed.
class CGdiObject : public CObject {
public:
    HGDIOBJ m_hObject = nullptr;

    ~CGdiObject() override;

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach();
    // Deletes the object held, if any; the wrapper is empty afterwards.
    BOOL DeleteObject();
};

class CFont : public CGdiObject {
public:
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
    // Creates a font from a description and holds it. The wrapper must be
    // empty; FALSE, and still empty, when the system creates no font.
    BOOL CreateFontIndirect(const LOGFONTW* lpLogFont);
};

// A device context. CDC itself does not own the handle; the derived client
// and paint contexts release theirs.
class CDC : public CObject {
public:
    HDC m_hDC = nullptr;

    CDC() = default;
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL Attach(HDC hDC);
    HDC Detach();

    BOOL TextOut(int x, int y, LPCWSTR lpszString, int nCount);
    SIZE GetTextExtent(LPCWSTR lpszString, int nCount) const;
    int SetBkMode(int nBkMode);
    COLORREF SetTextColor(COLORREF crColor);
    BOOL DrawIcon(int x, int y, HICON hIcon);
};

// The client area of a window, released on destruction.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;

protected:
    HWND m_hWnd;
};

// Painting in response to WM_PAINT: BeginPaint on construction, EndPaint
// on destruction.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps;

protected:
    HWND m_hWnd;
};
