#include "ImportPatch.h"

#include <gtest/gtest.h>

namespace {

void** FindImportSlot(const char* dll, const char* function)
{
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; desc->Name != 0; ++desc) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + desc->Name), dll) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

void Write(void** slot, void* value)
{
    DWORD old;
    ::VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &old);
    *slot = value;
    ::VirtualProtect(slot, sizeof(*slot), old, &old);
}

}  // namespace

ImportPatch::ImportPatch(const char* dll, const char* function, void* replacement)
    : slot_(FindImportSlot(dll, function))
{
    if (slot_ == nullptr) {
        ADD_FAILURE() << "the test program does not import " << dll << "!" << function;
        return;
    }
    original_ = *slot_;
    Write(slot_, replacement);
}

ImportPatch::~ImportPatch()
{
    if (slot_ != nullptr)
        Write(slot_, original_);
}
