// Run-time class records and message maps.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commctrl.h>

// Command identifier of the Help command; an application that maps it
// offers help, and new sheets and pages are then marked as having a Help
// button.
#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

// ---------------------------------------------------------------------------
// Run-time class records

class CObject;

// One record per class that declares itself dynamic: its name, size and base.
struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    const CRuntimeClass* m_pBaseClass;

    // True when this class is pBaseClass or derives from it.
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                                   \
public:                                                               \
    static const CRuntimeClass class##class_name;                     \
    const CRuntimeClass* GetRuntimeClass() const override;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                \
    const CRuntimeClass class_name::class##class_name = {             \
        #class_name, sizeof(class_name), RUNTIME_CLASS(base_class_name)}; \
    const CRuntimeClass* class_name::GetRuntimeClass() const          \
    {                                                                 \
        return RUNTIME_CLASS(class_name);                             \
    }

class CObject {
public:
    static const CRuntimeClass classCObject;

    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const;
    BOOL IsKindOf(const CRuntimeClass* pClass) const;

protected:
    CObject() = default;
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
};

// pObject as a class_name*, or nullptr when it is none.
#define DYNAMIC_DOWNCAST(class_name, pObject)                          \
    (static_cast<class_name*>(AfxDynamicDownCast(RUNTIME_CLASS(class_name), (pObject))))
CObject* AfxDynamicDownCast(const CRuntimeClass* pClass, CObject* pObject);

// ---------------------------------------------------------------------------
// Message maps

class CCmdTarget;
class CWnd;
class CDC;

typedef void (CCmdTarget::*AFX_PMSG)();

// How a map entry's handler is called.
enum AfxSig : UINT {
    AfxSig_end = 0,
    AfxSig_vv,       // void ()
    AfxSig_hv,       // HCURSOR ()
    AfxSig_hDWu,     // HBRUSH (CDC*, CWnd*, UINT)            WM_CTLCOLOR
    AfxSig_bWuu,     // BOOL (CWnd*, UINT, UINT)              WM_SETCURSOR
};

// A handler, in the member of the union that its AfxSig names.
union AfxMessageHandler {
    AFX_PMSG pfn;                                  // AfxSig_vv
    HCURSOR (CWnd::*pfn_hv)();                     // AfxSig_hv
    HBRUSH (CWnd::*pfn_hDWu)(CDC*, CWnd*, UINT);   // AfxSig_hDWu
    BOOL (CWnd::*pfn_bWuu)(CWnd*, UINT, UINT);     // AfxSig_bWuu
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;               // window message, or WM_COMMAND
    UINT nCode;                  // notification code (WM_COMMAND only)
    UINT nID;                    // control or command identifier (WM_COMMAND only)
    UINT nSig;                   // AfxSig
    AfxMessageHandler handler;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Finds the entry for a message (and, for WM_COMMAND, its code and id),
// searching the map and then each base class's map.
const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP* pMap, UINT nMessage,
                                            UINT nCode, UINT nID);

#define DECLARE_MESSAGE_MAP()                                         \
protected:                                                            \
    static const AFX_MSGMAP* GetThisMessageMap();                     \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                        \
    const AFX_MSGMAP* theClass::GetMessageMap() const                 \
    {                                                                 \
        return GetThisMessageMap();                                   \
    }                                                                 \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                   \
    {                                                                 \
        typedef theClass ThisClass [[maybe_unused]];                                 \
        typedef baseClass TheBaseClass;                               \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                             \
            {0, 0, 0, AfxSig_end, {nullptr}}};                          \
        static const AFX_MSGMAP messageMap = {                        \
            &TheBaseClass::GetThisMessageMap, &_messageEntries[0]};   \
        return &messageMap;                                           \
    }

// WM_CTLCOLORxxx messages are all mapped by this one message number.
#ifndef WM_CTLCOLOR
#define WM_CTLCOLOR 0x0019
#endif

#define ON_COMMAND(id, memberFxn)                                                 \
    {WM_COMMAND, 0, (UINT)(id), AfxSig_vv,                                        \
     {.pfn = static_cast<AFX_PMSG>(&memberFxn)}},
#define ON_CONTROL(code, id, memberFxn)                                           \
    {WM_COMMAND, (UINT)(code), (UINT)(id), AfxSig_vv,                             \
     {.pfn = static_cast<AFX_PMSG>(&memberFxn)}},
#define ON_STN_CLICKED(id, memberFxn) ON_CONTROL(STN_CLICKED, id, memberFxn)
#define ON_WM_PAINT()                                                             \
    {WM_PAINT, 0, 0, AfxSig_vv,                                                   \
     {.pfn = static_cast<AFX_PMSG>(static_cast<void (CWnd::*)()>(&ThisClass::OnPaint))}},
#define ON_WM_QUERYDRAGICON()                                                     \
    {WM_QUERYDRAGICON, 0, 0, AfxSig_hv,                                           \
     {.pfn_hv = static_cast<HCURSOR (CWnd::*)()>(&ThisClass::OnQueryDragIcon)}},
#define ON_WM_CTLCOLOR()                                                          \
    {WM_CTLCOLOR, 0, 0, AfxSig_hDWu,                                              \
     {.pfn_hDWu = static_cast<HBRUSH (CWnd::*)(CDC*, CWnd*, UINT)>(&ThisClass::OnCtlColor)}},
#define ON_WM_SETCURSOR()                                                         \
    {WM_SETCURSOR, 0, 0, AfxSig_bWuu,                                             \
     {.pfn_bWuu = static_cast<BOOL (CWnd::*)(CWnd*, UINT, UINT)>(&ThisClass::OnSetCursor)}},

// Base of everything that has a message map.
class CCmdTarget : public CObject {
public:
    // The class's own map; its base maps follow through pfnGetBaseMap.
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // Runs the handler mapped for a command or control notification.
    // Returns FALSE when the map has none.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
};
