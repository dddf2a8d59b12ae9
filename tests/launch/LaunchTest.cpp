// Next on step 2, in process: which installer the wizard starts and how, what
// it tells the user when the start fails, and where the wizard goes then.
// The system calls that step 2 makes are intercepted in the test program's
// import table (the wizard's code is linked into it): ShellExecuteW,
// GetProcAddress (for IsWow64Process only), FormatMessageW and MessageBoxW.
#include "support/ImportPatch.h"
#include "support/Windows.h"
#include "support/WizardScript.h"

#include "framework/Afx.h"
#include "wizard/DriverLaunch.h"
#include "wizard/Sheet.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const wchar_t kMessageStart[] = L"An error has occurred executing the installation package.\n Error:";

// ---------------------------------------------------------------------------
// What the fakes do and what they saw

enum class WordSize { True, False, Missing };
enum class SystemText { Real, Long, LongPairAtCut, None };

struct Behaviour {
    WordSize wordSize = WordSize::False;
    INT_PTR shellResult = 42;
    DWORD shellLastError = ERROR_SUCCESS;
    SystemText systemText = SystemText::Real;
};

struct ShellCall {
    HWND owner;
    std::wstring verb, file, parameters, directory;
    INT show;
};

struct BoxCall {
    HWND owner;
    std::wstring text, caption;
    UINT style;
    HWND page2;  // step 2's page window when the box was asked for
    int step;    // the step shown then
};

struct FormatCall {
    DWORD flags, code, language;
};

Behaviour g_behaviour;
std::vector<ShellCall> g_shell;
std::vector<BoxCall> g_boxes;
std::vector<FormatCall> g_formats;
std::vector<HMODULE> g_lookups;    // GetProcAddress(module, "IsWow64Process")
std::vector<HANDLE> g_wow64Calls;  // the process each IsWow64Process call asked about
std::vector<int> g_activated;      // steps, in the order they became current
int g_page3Initialised = 0;

ImportPatch* g_getProcAddress = nullptr;
ImportPatch* g_formatMessage = nullptr;

std::wstring OrNull(LPCWSTR text)
{
    return text == nullptr ? L"<null>" : text;
}

// A system text of 400 characters ending in "\r\n"; with pairAtCut, a
// surrogate pair takes characters 193 and 194, where the message cuts it.
std::wstring LongSystemText(bool pairAtCut)
{
    std::wstring text;
    for (int i = 0; text.size() < 398; ++i)
        text += static_cast<wchar_t>(L'a' + i % 26);
    if (pairAtCut) {
        text[192] = 0xD83D;  // U+1F5A8 (printer)
        text[193] = 0xDDA8;
    }
    return text + L"\r\n";
}

HINSTANCE WINAPI FakeShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                   LPCWSTR directory, INT show)
{
    g_shell.push_back({owner, OrNull(verb), OrNull(file), OrNull(parameters), OrNull(directory), show});
    ::SetLastError(g_behaviour.shellLastError);
    return reinterpret_cast<HINSTANCE>(g_behaviour.shellResult);
}

BOOL WINAPI FakeIsWow64Process(HANDLE process, PBOOL wow64)
{
    g_wow64Calls.push_back(process);
    *wow64 = g_behaviour.wordSize == WordSize::True ? TRUE : FALSE;
    return TRUE;
}

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name)
{
    if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF && std::strcmp(name, "IsWow64Process") == 0) {
        g_lookups.push_back(module);
        if (g_behaviour.wordSize == WordSize::Missing) {
            ::SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeIsWow64Process));
    }
    return g_getProcAddress->Original<decltype(&::GetProcAddress)>()(module, name);
}

using FormatMessageWFn = DWORD(WINAPI*)(DWORD, LPCVOID, DWORD, DWORD, LPWSTR, DWORD, va_list*);

DWORD WINAPI FakeFormatMessageW(DWORD flags, LPCVOID source, DWORD code, DWORD language,
                                LPWSTR buffer, DWORD size, va_list* arguments)
{
    g_formats.push_back({flags, code, language});
    const SystemText mode = g_behaviour.systemText;
    if (mode == SystemText::Real || !(flags & FORMAT_MESSAGE_ALLOCATE_BUFFER))
        return g_formatMessage->Original<FormatMessageWFn>()(flags, source, code, language, buffer,
                                                            size, arguments);
    *reinterpret_cast<LPWSTR*>(buffer) = nullptr;
    if (mode == SystemText::None) {
        ::SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    const std::wstring text = LongSystemText(mode == SystemText::LongPairAtCut);
    auto* copy = static_cast<LPWSTR>(::LocalAlloc(LMEM_FIXED, (text.size() + 1) * sizeof(wchar_t)));
    std::wmemcpy(copy, text.c_str(), text.size() + 1);
    *reinterpret_cast<LPWSTR*>(buffer) = copy;
    return static_cast<DWORD>(text.size());
}

int WINAPI FakeMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style)
{
    const HWND sheet = FindSheet();
    g_boxes.push_back({owner, OrNull(text), OrNull(caption), style,
                       reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_INDEXTOHWND, 1, 0)),
                       sheet != nullptr ? CurrentStep(sheet) : 0});
    return IDOK;
}

// The step a page window stands for, from its title ("Step3"); 0 if none.
int StepOfPage(HWND page)
{
    const std::wstring title = WindowText(page);
    return title.size() == 5 && title.compare(0, 4, L"Step") == 0 ? title[4] - L'0' : 0;
}

LRESULT CALLBACK WatchPages(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (msg->message == WM_NOTIFY &&
            reinterpret_cast<const NMHDR*>(msg->lParam)->code == static_cast<UINT>(PSN_SETACTIVE))
            g_activated.push_back(StepOfPage(msg->hwnd));
        if (msg->message == WM_INITDIALOG && StepOfPage(msg->hwnd) == 3)
            ++g_page3Initialised;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The system's own text for code, as the message takes it: the real
// FormatMessageW, not the intercepted one.
std::wstring RealSystemText(DWORD code)
{
    LPWSTR text = nullptr;
    const DWORD n = g_formatMessage->Original<FormatMessageWFn>()(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0,
        nullptr);
    std::wstring result = text != nullptr ? std::wstring(text, n) : std::wstring();
    ::LocalFree(text);
    return result;
}

// The folder of the test program, with a trailing backslash: where the
// wizard must look for the installer.
std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

std::string Narrow(const std::wstring& text)
{
    std::string result;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F)
            result += static_cast<char>(c);
        else {
            char escaped[12];
            std::snprintf(escaped, sizeof(escaped), "\\u%04X", static_cast<unsigned>(c));
            result += escaped;
        }
    }
    return result;
}

class LaunchTest : public ::testing::Test {
protected:
    // The wizard runs on a desktop of its own: under Wine a virtual one,
    // where a closed window costs no wait for a window manager that is not
    // there (a bare X server makes each close wait two seconds).
    static void SetUpTestSuite()
    {
        const wchar_t name[] = L"corvane-launch-tests";
        const wchar_t size[] = L"1024x768";
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Explorer\\Desktops", 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
            ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(size), sizeof(size));
            ::RegCloseKey(key);
        }
        const HDESK desktop = ::CreateDesktopW(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        ASSERT_NE(desktop, nullptr);
        ASSERT_TRUE(::SetThreadDesktop(desktop));
    }

    void SetUp() override
    {
        Reset();
        shell_ = std::make_unique<ImportPatch>("shell32.dll", "ShellExecuteW",
                                               reinterpret_cast<void*>(&FakeShellExecuteW));
        getProcAddress_ = std::make_unique<ImportPatch>("kernel32.dll", "GetProcAddress",
                                                        reinterpret_cast<void*>(&FakeGetProcAddress));
        formatMessage_ = std::make_unique<ImportPatch>("kernel32.dll", "FormatMessageW",
                                                       reinterpret_cast<void*>(&FakeFormatMessageW));
        messageBox_ = std::make_unique<ImportPatch>("user32.dll", "MessageBoxW",
                                                    reinterpret_cast<void*>(&FakeMessageBoxW));
        g_getProcAddress = getProcAddress_.get();
        g_formatMessage = formatMessage_.get();
        hook_ = ::SetWindowsHookExW(WH_CALLWNDPROC, &WatchPages, nullptr, ::GetCurrentThreadId());
        ASSERT_NE(hook_, nullptr);
    }

    void TearDown() override
    {
        ::UnhookWindowsHookEx(hook_);
        messageBox_.reset();
        formatMessage_.reset();
        getProcAddress_.reset();
        shell_.reset();
        g_getProcAddress = nullptr;
        g_formatMessage = nullptr;
        EXPECT_EQ(FindSheet(), nullptr) << "the wizard outlived its run";
    }

    static void Reset()
    {
        g_behaviour = Behaviour{};
        g_shell.clear();
        g_boxes.clear();
        g_formats.clear();
        g_lookups.clear();
        g_wow64Calls.clear();
        g_activated.clear();
        g_page3Initialised = 0;
    }

private:
    std::unique_ptr<ImportPatch> shell_, getProcAddress_, formatMessage_, messageBox_;
    HHOOK hook_ = nullptr;
};

// ---------------------------------------------------------------------------
// The cases

struct WordSizeCase {
    const char* name;
    WordSize wordSize;
    const wchar_t* file32;  // what the 32-bit build starts; the 64-bit one always DPInst_64.exe
};

const WordSizeCase kWordSizes[] = {
    {"IsWow64Process reports TRUE", WordSize::True, L"DPInst_64.exe"},
    {"IsWow64Process reports FALSE", WordSize::False, L"DPInst.exe"},
    {"no IsWow64Process", WordSize::Missing, L"DPInst.exe"},
};

enum class After { Step3, StaysOnStep2, WizardEnds };

struct StartCase {
    const char* name;
    INT_PTR shellResult;
    DWORD shellLastError;
    SystemText systemText;
    DWORD shownError;  // the error the box reports; 0 when no box is wanted
    After after;
};

const StartCase kStarts[] = {
    {"started", 42, ERROR_SUCCESS, SystemText::Real, 0, After::Step3},
    {"started, stale last error", 42, ERROR_CANCELLED, SystemText::Real, 0, After::Step3},
    {"started, lowest success code", 33, ERROR_SUCCESS, SystemText::Real, 0, After::Step3},
    {"highest failure code, shell code only", SE_ERR_DLLNOTFOUND, ERROR_SUCCESS, SystemText::Real,
     SE_ERR_DLLNOTFOUND, After::StaysOnStep2},
    {"elevation refused", SE_ERR_ACCESSDENIED, ERROR_CANCELLED, SystemText::Real, ERROR_CANCELLED,
     After::WizardEnds},
    {"not found", SE_ERR_FNF, ERROR_FILE_NOT_FOUND, SystemText::Real, ERROR_FILE_NOT_FOUND,
     After::StaysOnStep2},
    {"access denied", SE_ERR_ACCESSDENIED, ERROR_ACCESS_DENIED, SystemText::Real,
     ERROR_ACCESS_DENIED, After::StaysOnStep2},
    {"shell code only", SE_ERR_NOASSOC, ERROR_SUCCESS, SystemText::Real, SE_ERR_NOASSOC,
     After::StaysOnStep2},
    {"no code at all", 0, ERROR_SUCCESS, SystemText::Real, ERROR_NOT_ENOUGH_MEMORY,
     After::StaysOnStep2},
    {"very long system text", SE_ERR_FNF, ERROR_FILE_NOT_FOUND, SystemText::Long,
     ERROR_FILE_NOT_FOUND, After::StaysOnStep2},
    {"very long system text, surrogate pair at the cut", SE_ERR_FNF, ERROR_FILE_NOT_FOUND,
     SystemText::LongPairAtCut, ERROR_FILE_NOT_FOUND, After::StaysOnStep2},
    {"no system text", SE_ERR_ACCESSDENIED, ERROR_ACCESS_DENIED, SystemText::None,
     ERROR_ACCESS_DENIED, After::StaysOnStep2},
    {"no system text, elevation refused", SE_ERR_ACCESSDENIED, ERROR_CANCELLED, SystemText::None,
     ERROR_CANCELLED, After::WizardEnds},
};

// The message the box must show for a case.
std::wstring ExpectedMessage(const StartCase& c)
{
    switch (c.systemText) {
    case SystemText::Real: {
        const std::wstring text = RealSystemText(c.shownError);
        EXPECT_FALSE(text.empty()) << "this Wine has no text for error " << c.shownError;
        return kMessageStart + text + L"\n";
    }
    case SystemText::Long:
        // 259 characters: the fixed parts whole, the system text cut to 193.
        return kMessageStart + LongSystemText(false).substr(0, 193) + L"\n";
    case SystemText::LongPairAtCut:
        // The pair would be split at 193: the cut moves before it.
        return kMessageStart + LongSystemText(true).substr(0, 192) + L"\n";
    case SystemText::None:
        return kMessageStart + std::to_wstring(c.shownError) + L"\n";
    }
    return std::wstring();
}

// Checks the starts and boxes recorded so far against the case: count each.
void ExpectStartsAndBoxes(const WordSizeCase& w, const StartCase& c, size_t starts)
{
    const std::wstring folder = ProgramFolder();
    const std::wstring file = folder + (sizeof(void*) == 8 ? L"DPInst_64.exe" : w.file32);
    ASSERT_EQ(g_shell.size(), starts);
    for (const ShellCall& call : g_shell) {
        EXPECT_EQ(call.owner, nullptr);
        EXPECT_EQ(call.verb, L"open");
        EXPECT_EQ(call.file, file) << Narrow(call.file);
        EXPECT_EQ(call.parameters, L"/S");
        EXPECT_EQ(call.directory, folder) << Narrow(call.directory);
        EXPECT_EQ(call.show, SW_SHOWNORMAL);
    }

    // Each start looked IsWow64Process up in kernel32 first, and asked it
    // about this process where it exists.
    EXPECT_EQ(g_lookups.size(), starts);
    for (HMODULE module : g_lookups)
        EXPECT_EQ(module, ::GetModuleHandleW(L"kernel32.dll"));
    EXPECT_EQ(g_wow64Calls.size(), w.wordSize == WordSize::Missing ? 0u : starts);
    for (HANDLE process : g_wow64Calls)
        EXPECT_EQ(::GetProcessId(process), ::GetCurrentProcessId());

    if (c.shownError == 0) {
        EXPECT_TRUE(g_boxes.empty()) << "a box after a successful start: "
                                     << Narrow(g_boxes.empty() ? L"" : g_boxes[0].text);
        return;
    }
    const std::wstring message = ExpectedMessage(c);
    ASSERT_EQ(g_boxes.size(), starts);
    for (const BoxCall& box : g_boxes) {
        EXPECT_NE(box.owner, nullptr);
        EXPECT_EQ(box.owner, box.page2) << "the box is not owned by step 2's page";
        EXPECT_EQ(box.step, 2);
        EXPECT_EQ(box.caption, L"Error executing DPInst.exe");
        EXPECT_EQ(box.style, static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK));
        EXPECT_EQ(box.text, message) << "shown:\n" << Narrow(box.text) << "\nwanted:\n" << Narrow(message);
        EXPECT_LE(box.text.size(), 259u);
    }
    // The system text was asked for once per box, for the error reported.
    ASSERT_EQ(g_formats.size(), starts);
    for (const FormatCall& f : g_formats) {
        EXPECT_EQ(f.flags, 0x1300u);
        EXPECT_EQ(f.code, c.shownError);
        EXPECT_EQ(f.language, 0x400u);
    }
}

}  // namespace

TEST(LaunchChoice, InstallerFileNameFollowsTheBuildAndTheWordSizeQuery)
{
    const struct {
        bool build64;
        BOOL wow64;
        const wchar_t* file;
    } cases[] = {
        {false, TRUE, L"DPInst_64.exe"}, {false, FALSE, L"DPInst.exe"},
        {false, 2, L"DPInst.exe"},  // only exactly TRUE counts
        {false, -1, L"DPInst.exe"},      {true, FALSE, L"DPInst_64.exe"},
        {true, TRUE, L"DPInst_64.exe"},  {true, 2, L"DPInst_64.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "64-bit build " << c.build64 << ", flag " << c.wow64);
        EXPECT_STREQ(wizard::InstallerFileName(c.build64, c.wow64), c.file);
    }
}

// Every outcome of the start, under every answer of the word-size query:
// the call made, the box shown, the steps shown, and how the wizard ends. A
// failure that keeps step 2 is retried with Next, then Back and Next start
// nothing.
TEST_F(LaunchTest, NextOnStepTwoStartsTheInstallerAndHandlesEveryOutcome)
{
    for (const WordSizeCase& w : kWordSizes) {
        for (const StartCase& c : kStarts) {
            SCOPED_TRACE(std::string(w.name) + ", " + c.name);
            Reset();
            g_behaviour = {w.wordSize, c.shellResult, c.shellLastError, c.systemText};

            CSheet sheet;
            sheet.m_psh.dwFlags &= ~PSH_HASHELP;
            sheet.m_psh.dwFlags |= PSH_WIZARD | PSH_NOAPPLYNOW;
            WizardScript script;
            script.WaitUntil([] { return FindSheet() != nullptr; });
            script.Then([] { Click(FindSheet(), kNext); });
            script.Then([] {
                ASSERT_EQ(CurrentStep(FindSheet()), 2);
                EXPECT_TRUE(g_shell.empty()) << "started before Next on step 2";
                ::SetLastError(ERROR_CANCELLED);  // stale, for the shell to leave
                Click(FindSheet(), kNext);
            });
            if (c.after == After::Step3) {
                script.Then([&] {
                    EXPECT_EQ(CurrentStep(FindSheet()), 3);
                    ExpectStartsAndBoxes(w, c, 1);
                    Click(FindSheet(), kCancel);
                });
            } else if (c.after == After::StaysOnStep2) {
                script.Then([&] {
                    EXPECT_EQ(CurrentStep(FindSheet()), 2);
                    ExpectStartsAndBoxes(w, c, 1);
                    EXPECT_TRUE(ButtonAvailable(FindSheet(), kNext));
                    EXPECT_TRUE(ButtonAvailable(FindSheet(), kBack));
                    Click(FindSheet(), kNext);  // try again
                });
                script.Then([&] {
                    EXPECT_EQ(CurrentStep(FindSheet()), 2);
                    ExpectStartsAndBoxes(w, c, 2);
                    Click(FindSheet(), kBack);
                });
                script.Then([] {
                    EXPECT_EQ(CurrentStep(FindSheet()), 1);
                    Click(FindSheet(), kNext);
                });
                script.Then([&] {
                    EXPECT_EQ(CurrentStep(FindSheet()), 2);
                    ExpectStartsAndBoxes(w, c, 2);  // Back and Next start nothing
                    Click(FindSheet(), kCancel);
                });
            }
            INT_PTR result = -2;
            script.Run([&] { result = sheet.DoModal(); });

            ExpectStartsAndBoxes(w, c, c.after == After::StaysOnStep2 ? 2 : 1);
            EXPECT_EQ(result, c.after == After::WizardEnds ? 0 : IDCANCEL) << "what DoModal returned";
            const std::vector<int> steps =
                c.after == After::Step3          ? std::vector<int>{1, 2, 3}
                : c.after == After::StaysOnStep2 ? std::vector<int>{1, 2, 1, 2}
                                                 : std::vector<int>{1, 2};
            EXPECT_EQ(g_activated, steps) << "the steps shown, in order";
            EXPECT_EQ(g_page3Initialised, c.after == After::Step3 ? 1 : 0);
            if (HasFatalFailure())
                return;
        }
    }
}
