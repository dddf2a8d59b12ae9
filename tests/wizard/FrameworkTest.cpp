// Our class framework: run-time class records, message maps, dialogs, fonts
// and how the wizard's classes are put together from them.
#include "framework/Afx.h"
#include "framework/DialogTemplate.h"
#include "res/resource.h"
#include "wizard/Sheet.h"

#include "support/Windows.h"

#include <gtest/gtest.h>

#include <cwchar>

using namespace testing_support;

TEST(RuntimeClass, WizardClassesNameThemselvesAndTheirBases)
{
    CSheet sheet;
    struct Case {
        const CObject* object;
        const char* name;
        const CRuntimeClass* base;
    };
    const Case cases[] = {
        {&sheet, "CSheet", RUNTIME_CLASS(CPropertySheet)},
        {&sheet.m_page1, "CPage1", RUNTIME_CLASS(CPropertyPage)},
        {&sheet.m_page2, "CPage2", RUNTIME_CLASS(CPropertyPage)},
        {&sheet.m_page3, "CPage3", RUNTIME_CLASS(CPropertyPage)},
        {&sheet.m_page4, "CPage4", RUNTIME_CLASS(CPropertyPage)},
        {&sheet.m_page5, "CPage5", RUNTIME_CLASS(CPropertyPage)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(c.object->GetRuntimeClass()->m_lpszClassName, c.name);
        EXPECT_EQ(c.object->GetRuntimeClass()->m_pBaseClass, c.base);
        EXPECT_TRUE(c.object->IsKindOf(RUNTIME_CLASS(CWnd)));
        EXPECT_TRUE(c.object->IsKindOf(RUNTIME_CLASS(CObject)));
    }
    EXPECT_FALSE(sheet.m_page1.IsKindOf(RUNTIME_CLASS(CPage2)));
    EXPECT_FALSE(sheet.IsKindOf(RUNTIME_CLASS(CPropertyPage)));
    EXPECT_EQ(DYNAMIC_DOWNCAST(CPage2, &sheet.m_page1), nullptr);
    EXPECT_EQ(DYNAMIC_DOWNCAST(CPropertyPage, &sheet.m_page3), &sheet.m_page3);
    EXPECT_EQ(DYNAMIC_DOWNCAST(CPropertySheet, static_cast<CWnd*>(&sheet)), &sheet);
}

TEST(Sheet, HoldsTheFiveStepsInOrderWithoutHelp)
{
    CSheet sheet;
    EXPECT_STREQ(sheet.m_psh.pszCaption, L"Corvane Installer");
    EXPECT_EQ(sheet.m_psh.nStartPage, 0u);
    EXPECT_EQ(sheet.m_psh.hwndParent, nullptr);
    // The application maps ID_HELP, so the sheet starts out with a Help mark
    // (the host dialog clears it), and so did every page before the sheet
    // cleared theirs.
    EXPECT_TRUE(AfxHelpEnabled());
    EXPECT_TRUE(sheet.m_psh.dwFlags & PSH_HASHELP);
    CPropertyPage standalone(IDD_PAGE1);
    EXPECT_TRUE(standalone.m_psp.dwFlags & PSP_HASHELP);

    ASSERT_EQ(sheet.GetPageCount(), 5);
    const CPropertyPage* members[] = {&sheet.m_page1, &sheet.m_page2, &sheet.m_page3,
                                      &sheet.m_page4, &sheet.m_page5};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(::testing::Message() << "step " << i + 1);
        const CPropertyPage* page = sheet.GetPage(i);
        EXPECT_EQ(page, members[i]);
        EXPECT_EQ(page->m_psp.pszTemplate, MAKEINTRESOURCEW(IDD_PAGE1 + i));
        EXPECT_EQ(page->m_psp.dwSize, sizeof(PROPSHEETPAGEW));
        EXPECT_FALSE(page->m_psp.dwFlags & PSP_HASHELP);
        EXPECT_FALSE(page->m_psp.dwFlags & PSP_USETITLE) << "the title comes from the template";
        EXPECT_EQ(page->m_psp.lParam, reinterpret_cast<LPARAM>(page));
    }
    // The page members come in step order, as they are built.
    EXPECT_LT(static_cast<const void*>(&sheet.m_page1), static_cast<const void*>(&sheet.m_page5));
}

namespace {

// A dialog on the host template with a map of its own, chained to CDialog's.
class CCountingDialog : public CDialog {
public:
    CCountingDialog() : CDialog(IDD_CORVANEINST_DIALOG) {}
    int commands = 0;
    int inits = 0;
    bool endDuringInit = false;

    BOOL OnInitDialog() override
    {
        ++inits;
        if (endDuringInit)
            EndDialog(IDOK);
        return TRUE;
    }
    void OnFirst() { commands += 1; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CCountingDialog, CDialog)
    ON_COMMAND(1001, CCountingDialog::OnFirst)
END_MESSAGE_MAP()

class CDerivedDialog : public CCountingDialog {
public:
    void OnSecond() { commands += 10; }
    void OnClicked() { commands += 100; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedDialog, CCountingDialog)
    ON_COMMAND(1002, CDerivedDialog::OnSecond)
    ON_STN_CLICKED(1003, CDerivedDialog::OnClicked)
END_MESSAGE_MAP()

bool g_shown = false;

LRESULT CALLBACK WatchShow(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    // The dialog itself; its controls are shown as they are created.
    if (code == HC_ACTION && msg->message == WM_SHOWWINDOW && msg->wParam &&
        !(::GetWindowLongW(msg->hwnd, GWL_STYLE) & WS_CHILD))
        g_shown = true;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TEST(MessageMap, FindsHandlersInTheClassAndItsBases)
{
    CDerivedDialog dlg;
    struct Case {
        UINT id;
        int code;
        BOOL handled;
        int added;
    };
    const Case cases[] = {
        {1001, 0, TRUE, 1},          // the base class's entry
        {1002, 0, TRUE, 10},         // the class's own
        {1003, STN_CLICKED, TRUE, 100},
        {1003, STN_DBLCLK, FALSE, 0},  // another notification of the same control
        {1004, 0, FALSE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "command " << c.id << " code " << c.code);
        const int before = dlg.commands;
        EXPECT_EQ(dlg.OnCmdMsg(c.id, c.code), c.handled);
        EXPECT_EQ(dlg.commands - before, c.added);
    }
    CCountingDialog base;
    EXPECT_FALSE(base.OnCmdMsg(1002, 0)) << "a derived class's entry leaked into its base";
}

TEST(Dialog, EndedWhileInitialisingItIsNeverShown)
{
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, &WatchShow, nullptr, ::GetCurrentThreadId());
    g_shown = false;
    CCountingDialog dlg;
    dlg.endDuringInit = true;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    ::UnhookWindowsHookEx(hook);
    EXPECT_EQ(dlg.inits, 1);
    EXPECT_FALSE(g_shown);
    EXPECT_EQ(dlg.m_hWnd, nullptr) << "the window outlived DoModal";
    EXPECT_EQ(FindHostDialog(), nullptr);
}

TEST(Dialog, MissingTemplateFailsAtOnce)
{
    class CMissing : public CDialog {
    public:
        CMissing() : CDialog(4242) {}
        BOOL OnInitDialog() override
        {
            ADD_FAILURE() << "initialised without a template";
            return TRUE;
        }
    } dlg;
    EXPECT_EQ(dlg.DoModal(), -1);
}

TEST(Font, OwnsItsFontAndDeletesItWhenReplacedOrDestroyed)
{
    LOGFONTW lf = {};
    lf.lfHeight = 20;
    std::wcscpy(lf.lfFaceName, L"Arial");
    HGDIOBJ first;
    HGDIOBJ second;
    {
        CFont font;
        EXPECT_EQ(font.GetSafeHandle(), nullptr);
        ASSERT_TRUE(font.CreateFontIndirect(&lf));
        first = font.GetSafeHandle();
        EXPECT_EQ(::GetObjectType(first), static_cast<DWORD>(OBJ_FONT));
        font.DeleteObject();
        EXPECT_EQ(font.GetSafeHandle(), nullptr);
        EXPECT_EQ(::GetObjectType(first), 0u) << "the replaced font was not deleted";
        ASSERT_TRUE(font.CreateFontIndirect(&lf));
        second = font.GetSafeHandle();
    }
    EXPECT_EQ(::GetObjectType(second), 0u) << "the font outlived its owner";
}

TEST(DialogTemplateFont, ReadsTheFontOfBothTemplateForms)
{
    // The installer's own templates are DLGTEMPLATEEX.
    struct Case {
        int id;
        WORD points, weight;
        BYTE charset;
    };
    const Case cases[] = {{IDD_CORVANEINST_DIALOG, 9, 0, 1}, {IDD_PAGE1, 9, 400, 128}, {IDD_PAGE5, 9, 400, 128}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        HRSRC res = ::FindResourceW(nullptr, MAKEINTRESOURCEW(c.id), MAKEINTRESOURCEW(5));
        ASSERT_NE(res, nullptr);
        const BYTE* tpl = static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, res)));
        CDialogTemplateFont font;
        ASSERT_TRUE(font.Locate(tpl));
        EXPECT_EQ(*font.pPointSize, c.points);
        ASSERT_NE(font.pWeight, nullptr);
        EXPECT_EQ(*font.pWeight, c.weight);
        EXPECT_EQ(*font.pItalic, 0);
        EXPECT_EQ(*font.pCharSet, c.charset);
        EXPECT_STREQ(font.pFaceName, L"MS Shell Dlg");
    }

    // A classic DLGTEMPLATE with a menu ordinal, a class name and a title.
    alignas(4) WORD classic[64] = {};
    DLGTEMPLATE* hdr = reinterpret_cast<DLGTEMPLATE*>(classic);
    hdr->style = DS_SETFONT | WS_POPUP;
    WORD* p = classic + sizeof(DLGTEMPLATE) / sizeof(WORD);
    *p++ = 0xFFFF;  // menu by ordinal
    *p++ = 7;
    for (const wchar_t* s = L"Cls"; *s; ++s)
        *p++ = *s;
    *p++ = 0;
    for (const wchar_t* s = L"Title"; *s; ++s)
        *p++ = *s;
    *p++ = 0;
    WORD* pointSize = p;
    *p++ = 8;
    for (const wchar_t* s = L"Tahoma"; *s; ++s)
        *p++ = *s;
    CDialogTemplateFont font;
    ASSERT_TRUE(font.Locate(reinterpret_cast<const BYTE*>(classic)));
    EXPECT_EQ(font.pPointSize, pointSize);
    EXPECT_EQ(font.pWeight, nullptr);
    EXPECT_STREQ(font.pFaceName, L"Tahoma");

    hdr->style = WS_POPUP;  // no font in the template
    EXPECT_FALSE(font.Locate(reinterpret_cast<const BYTE*>(classic)));
}
