#include "wizard/DriverLaunch.h"
#include "wizard/Pages.h"

#include <shellapi.h>

namespace wizard {

const wchar_t* InstallerFileName(bool b64BitBuild, BOOL bWow64)
{
    return (b64BitBuild || bWow64 == TRUE) ? kInstaller64 : kInstaller32;
}

void ComposeLaunchMessage(DWORD dwError, wchar_t (&buffer)[kLaunchMessageSize])
{
    static const wchar_t kSentence[] =
        L"An error has occurred executing the installation package.\n Error:";
    static const wchar_t kEnd[] = L"\n";
    const int nSentence = static_cast<int>(sizeof(kSentence) / sizeof(wchar_t)) - 1;
    const int nEnd = static_cast<int>(sizeof(kEnd) / sizeof(wchar_t)) - 1;

    ::ZeroMemory(buffer, sizeof(buffer));

    LPWSTR pSystemText = nullptr;
    const DWORD nLength = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPWSTR>(&pSystemText), 0, nullptr);

    wchar_t number[12];
    const wchar_t* pText = pSystemText;
    int nText = static_cast<int>(nLength);
    if (pSystemText == nullptr || nLength == 0) {
        nText = ::wsprintfW(number, L"%lu", static_cast<unsigned long>(dwError));
        pText = number;
    }

    // Cut the system text so that the whole message fits, and never between
    // the two halves of a surrogate pair.
    const int nRoom = kLaunchMessageSize - 1 - nSentence - nEnd;
    if (nText > nRoom) {
        nText = nRoom;
        if (IS_HIGH_SURROGATE(pText[nText - 1]))
            --nText;
    }
    wchar_t* p = buffer;
    ::CopyMemory(p, kSentence, nSentence * sizeof(wchar_t));
    p += nSentence;
    ::CopyMemory(p, pText, nText * sizeof(wchar_t));
    p += nText;
    ::CopyMemory(p, kEnd, nEnd * sizeof(wchar_t));

    if (pSystemText != nullptr)
        ::LocalFree(pSystemText);
}

}  // namespace wizard

namespace {

// The folder of the running program, with a trailing backslash; FALSE when
// the module's path does not fit.
BOOL ProgramFolder(wchar_t* pszFolder, DWORD cchFolder)
{
    const DWORD n = ::GetModuleFileNameW(nullptr, pszFolder, cchFolder);
    if (n == 0 || n >= cchFolder)
        return FALSE;
    for (DWORD i = n; i-- > 0;) {
        if (pszFolder[i] == L'\\') {
            pszFolder[i + 1] = L'\0';
            return TRUE;
        }
    }
    return FALSE;
}

}  // namespace

// Starts the driver package installer that matches this Windows, from the
// program's own folder, with "/S", and moves on to step 3 without waiting
// for it. A failed start is reported and the wizard stays on step 2, where
// the user can try again or cancel; a refused elevation also ends the wizard.
LRESULT CPage2::OnWizardNext()
{
    BOOL bWow64 = FALSE;
    typedef BOOL(WINAPI * PFN_ISWOW64PROCESS)(HANDLE, PBOOL);
    auto pfnIsWow64Process = reinterpret_cast<PFN_ISWOW64PROCESS>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "IsWow64Process")));
    if (pfnIsWow64Process != nullptr)
        pfnIsWow64Process(::GetCurrentProcess(), &bWow64);
    const wchar_t* pszInstaller = wizard::InstallerFileName(sizeof(void*) == 8, bWow64);

    // By full path: a bare name would make the shell search the current
    // folder and the PATH, and could start (and elevate) another program.
    wchar_t szFolder[MAX_PATH];
    wchar_t szFile[MAX_PATH];
    DWORD dwError = ERROR_FILENAME_EXCED_RANGE;
    if (ProgramFolder(szFolder, MAX_PATH) &&
        ::lstrlenW(szFolder) + ::lstrlenW(pszInstaller) < MAX_PATH) {
        ::lstrcpyW(szFile, szFolder);
        ::lstrcatW(szFile, pszInstaller);
        const HINSTANCE hResult =
            ::ShellExecuteW(nullptr, L"open", szFile, L"/S", szFolder, SW_SHOWNORMAL);
        const INT_PTR nResult = reinterpret_cast<INT_PTR>(hResult);
        if (nResult > 32)
            return CPropertyPage::OnWizardNext();
        dwError = ::GetLastError();
        if (dwError == ERROR_SUCCESS)  // a shell that set no error: its own code
            dwError = nResult != 0 ? static_cast<DWORD>(nResult) : ERROR_NOT_ENOUGH_MEMORY;
    }

    wchar_t szMessage[wizard::kLaunchMessageSize];
    wizard::ComposeLaunchMessage(dwError, szMessage);
    MessageBox(szMessage, wizard::kLaunchErrorCaption, MB_ICONEXCLAMATION);

    if (dwError == ERROR_CANCELLED) {
        // The user refused the installer's elevation: close the wizard.
        if (CPropertySheet* pSheet = DYNAMIC_DOWNCAST(CPropertySheet, GetParent()))
            pSheet->EndDialog(0);
    }
    return -1;
}
