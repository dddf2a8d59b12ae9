#include "GuiObjects.h"

#include <winternl.h>

#include <cstddef>
#include <cstdio>
#include <vector>

namespace {

// One entry of the GDI handle table (the layout Windows and Wine share).
struct GdiHandleEntry {
    UINT64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;    // 0: free
    UCHAR flags;
    UINT64 user;
};
static_assert(sizeof(GdiHandleEntry) == 24, "GDI handle table entry");
constexpr size_t kGdiHandles = 0x10000;

// Offset of GdiSharedHandleTable in the process environment block.
constexpr size_t kPebGdiTable = sizeof(void*) == 8 ? 0xF8 : 0x94;

using NtQueryInformationProcessFn = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

long CountGdiTable(HANDLE process, std::string* types = nullptr)
{
    static const auto query = reinterpret_cast<NtQueryInformationProcessFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    if (query == nullptr)
        return -1;
    PROCESS_BASIC_INFORMATION info{};
    ULONG length = 0;
    if (query(process, ProcessBasicInformation, &info, sizeof(info), &length) != 0 ||
        info.PebBaseAddress == nullptr)
        return -1;
    void* table = nullptr;
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, reinterpret_cast<BYTE*>(info.PebBaseAddress) + kPebGdiTable,
                             &table, sizeof(table), &read) ||
        table == nullptr)
        return -1;
    std::vector<GdiHandleEntry> entries(kGdiHandles);
    if (!::ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof(GdiHandleEntry),
                             &read))
        return -1;
    long used = 0;
    long byType[256] = {};
    for (const GdiHandleEntry& e : entries) {
        used += e.type != 0 ? 1 : 0;
        ++byType[e.type];
    }
    if (types != nullptr) {
        types->clear();
        for (int t = 1; t < 256; ++t) {
            if (byType[t] != 0) {
                char item[32];
                std::snprintf(item, sizeof(item), "%s%d:%ld", types->empty() ? "" : ",", t, byType[t]);
                *types += item;
            }
        }
    }
    return used;
}

struct WindowCount {
    DWORD processId;
    long count;
};

BOOL CALLBACK CountChild(HWND, LPARAM lParam)
{
    ++reinterpret_cast<WindowCount*>(lParam)->count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM lParam)
{
    auto* c = reinterpret_cast<WindowCount*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid == c->processId) {
        ++c->count;
        ::EnumChildWindows(hwnd, &CountChild, lParam);  // all descendants
    }
    return TRUE;
}

long CountWindows(DWORD processId)
{
    WindowCount c{processId, 0};
    ::EnumWindows(&CountTopLevel, reinterpret_cast<LPARAM>(&c));
    return c.count;
}

}  // namespace

GuiObjectCounts CountGuiObjects(HANDLE process, DWORD processId)
{
    GuiObjectCounts counts;
    ::SetLastError(ERROR_SUCCESS);
    const DWORD gdi = ::GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD gdiError = ::GetLastError();
    const DWORD user = ::GetGuiResources(process, GR_USEROBJECTS);
    if (gdi != 0 || gdiError == ERROR_SUCCESS) {
        counts.gdi = static_cast<long>(gdi);
        counts.user = static_cast<long>(user);
        counts.gdiSource = counts.userSource = "GetGuiResources";
        return counts;
    }
    counts.gdi = CountGdiTable(process, &counts.gdiTypes);
    counts.gdiSource = "GDI handle table entries (GetGuiResources not implemented)";
    counts.user = CountWindows(processId);
    counts.userSource = "windows of the process (GetGuiResources not implemented)";
    return counts;
}

GuiObjectCounts CountOwnGuiObjects()
{
    return CountGuiObjects(::GetCurrentProcess(), ::GetCurrentProcessId());
}

HANDLE OpenForGuiCounts(DWORD processId)
{
    return ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
}
