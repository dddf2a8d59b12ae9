#include "Object.h"

const CRuntimeClass CObject::classCObject = {"CObject", sizeof(CObject), nullptr};

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const
{
    for (const CRuntimeClass* p = this; p != nullptr; p = p->m_pBaseClass) {
        if (p == pBaseClass)
            return TRUE;
    }
    return FALSE;
}

const CRuntimeClass* CObject::GetRuntimeClass() const
{
    return &classCObject;
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const
{
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

CObject* AfxDynamicDownCast(const CRuntimeClass* pClass, CObject* pObject)
{
    return (pObject != nullptr && pObject->IsKindOf(pClass)) ? pObject : nullptr;
}

const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP* pMap, UINT nMessage,
                                            UINT nCode, UINT nID)
{
    for (; pMap != nullptr; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = pMap->lpEntries; e->nSig != AfxSig_end; ++e) {
            if (e->nMessage != nMessage)
                continue;
            if (nMessage == WM_COMMAND && (e->nCode != nCode || e->nID != nID))
                continue;
            return e;
        }
    }
    return nullptr;
}

// The root map: no entries and no base.
const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, AfxSig_end, {nullptr}}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode)
{
    const AFX_MSGMAP_ENTRY* e = AfxFindMessageEntry(GetMessageMap(), WM_COMMAND, (UINT)nCode, nID);
    if (e == nullptr)
        return FALSE;
    (this->*e->handler.pfn)();
    return TRUE;
}
