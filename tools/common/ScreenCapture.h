// Screenshots with GDI, shared by the screenshot walker (tools/walker) and
// the end-to-end tests (tests/e2e): the whole screen captured into memory as
// 24-bit pixels, and any part of it saved as a 24-bit BMP file.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace screencapture {

// A screen image, 24-bit: rows top-down, each stride bytes long (a multiple
// of 4), pixels blue, green, red. Coordinates count from the top left of the
// desktop window (the screen's origin).
struct ScreenImage {
    int width = 0, height = 0;
    DWORD stride = 0;
    std::vector<BYTE> bits;

    COLORREF At(int x, int y) const
    {
        const BYTE* p = &bits[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
        return RGB(p[2], p[1], p[0]);
    }
};

// Bytes in one row of 24-bit pixels, padded to a multiple of 4.
inline DWORD BmpStride(int width)
{
    return (static_cast<DWORD>(width) * 3 + 3) & ~3u;
}

// Captures the whole screen (the desktop window) into *image; false, with
// *image emptied, when the screen cannot be read.
inline bool CaptureScreen(ScreenImage* image)
{
    *image = ScreenImage();
    RECT rc;
    if (!::GetWindowRect(::GetDesktopWindow(), &rc))
        return false;
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0)
        return false;

    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = -height;  // top-down, as ScreenImage keeps rows
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = BmpStride(width);

    const HDC hScreen = ::GetDC(nullptr);
    const HDC hMemory = ::CreateCompatibleDC(hScreen);
    void* bits = nullptr;
    const HBITMAP hBitmap = ::CreateDIBSection(hScreen, reinterpret_cast<BITMAPINFO*>(&header),
                                               DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (hMemory != nullptr && hBitmap != nullptr) {
        const HGDIOBJ hOld = ::SelectObject(hMemory, hBitmap);
        ok = ::BitBlt(hMemory, 0, 0, width, height, hScreen, rc.left, rc.top,
                      SRCCOPY | CAPTUREBLT) != 0;
        ::GdiFlush();
        if (ok) {
            image->width = width;
            image->height = height;
            image->stride = stride;
            const BYTE* from = static_cast<const BYTE*>(bits);
            image->bits.assign(from, from + static_cast<size_t>(stride) * height);
        }
        ::SelectObject(hMemory, hOld);
    }
    if (hBitmap != nullptr)
        ::DeleteObject(hBitmap);
    if (hMemory != nullptr)
        ::DeleteDC(hMemory);
    ::ReleaseDC(nullptr, hScreen);
    return ok;
}

// Saves the part of the image inside `part` (clipped to the image) as a
// 24-bit BMP file, rows bottom-up as BMP files usually store them; false
// when that part is empty or the file cannot be written.
inline bool SaveBmp(const ScreenImage& image, RECT part, const std::wstring& path)
{
    part.left = std::max<LONG>(part.left, 0);
    part.top = std::max<LONG>(part.top, 0);
    part.right = std::min<LONG>(part.right, image.width);
    part.bottom = std::min<LONG>(part.bottom, image.height);
    const int width = part.right - part.left;
    const int height = part.bottom - part.top;
    if (width <= 0 || height <= 0)
        return false;

    const DWORD stride = BmpStride(width);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;  // bottom-up
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + header.biSizeImage;

    std::vector<BYTE> rows(header.biSizeImage, 0);
    for (int y = 0; y < height; ++y) {
        const BYTE* from = &image.bits[static_cast<size_t>(part.top + y) * image.stride +
                                       static_cast<size_t>(part.left) * 3];
        std::copy_n(from, static_cast<size_t>(width) * 3,
                    &rows[static_cast<size_t>(height - 1 - y) * stride]);
    }

    const HANDLE hFile = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(hFile, &file, sizeof(file), &written, nullptr) &&
                    ::WriteFile(hFile, &header, sizeof(header), &written, nullptr) &&
                    ::WriteFile(hFile, rows.data(), header.biSizeImage, &written, nullptr) &&
                    written == header.biSizeImage;
    ::CloseHandle(hFile);
    return ok;
}

}  // namespace screencapture
