#include "Windows.h"

#include <gtest/gtest.h>

namespace testing_support {

std::wstring WindowText(HWND hwnd)
{
    wchar_t text[512] = {};
    ::GetWindowTextW(hwnd, text, 512);
    return text;
}

std::wstring ClassName(HWND hwnd)
{
    wchar_t name[128] = {};
    ::GetClassNameW(hwnd, name, 128);
    return name;
}

std::vector<HWND> ThreadWindows()
{
    std::vector<HWND> windows;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND FindSheet()
{
    for (HWND hwnd : ThreadWindows()) {
        if (ClassName(hwnd) == L"#32770" && ::GetDlgItem(hwnd, kNext) != nullptr &&
            ::GetDlgItem(hwnd, kBack) != nullptr)
            return hwnd;
    }
    return nullptr;
}

HWND FindHostDialog()
{
    for (HWND hwnd : ThreadWindows()) {
        if (ClassName(hwnd) == L"#32770" && WindowText(hwnd) == L"CorvaneInst")
            return hwnd;
    }
    return nullptr;
}

HWND FindMessageBox(const wchar_t* caption)
{
    for (HWND hwnd : ThreadWindows()) {
        if (ClassName(hwnd) == L"#32770" && WindowText(hwnd) == caption && ::IsWindowVisible(hwnd))
            return hwnd;
    }
    return nullptr;
}

HWND CurrentPage(HWND sheet)
{
    return reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

int CurrentStep(HWND sheet)
{
    HWND page = CurrentPage(sheet);
    if (page == nullptr)
        return 0;
    return static_cast<int>(::SendMessageW(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0)) + 1;
}

bool ButtonAvailable(HWND sheet, int id)
{
    HWND button = ::GetDlgItem(sheet, id);
    return button != nullptr && ::IsWindowVisible(button) && ::IsWindowEnabled(button);
}

void Click(HWND sheet, int id)
{
    ASSERT_TRUE(ButtonAvailable(sheet, id)) << "button " << std::hex << id << " is not offered";
    ::SendMessageW(::GetDlgItem(sheet, id), BM_CLICK, 0, 0);
}

RECT DialogUnitsToPixels(HWND page, int x, int y, int cx, int cy)
{
    RECT rc = {x, y, x + cx, y + cy};
    ::MapDialogRect(page, &rc);
    return rc;
}

}  // namespace testing_support
