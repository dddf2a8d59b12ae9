// Counts of a process's GDI and USER objects. GetGuiResources where the
// system implements it; Wine 8 does not (it returns 0 with
// ERROR_CALL_NOT_IMPLEMENTED), so the counts then come from elsewhere:
//   GDI:  the used entries of the process's GDI handle table (the table that
//         the process environment block points to, read with
//         ReadProcessMemory, so it works for another process too);
//   USER: the windows of the process (top-level windows and all their
//         descendants). Cursors, icons and menus are not counted there.
#pragma once

#include <windows.h>

#include <string>

struct GuiObjectCounts {
    long gdi = -1;   // -1: could not be counted
    long user = -1;
    std::string gdiSource;   // how each was counted
    std::string userSource;
    std::string gdiTypes;    // "type:count,..." from the handle table, if read
};

// process needs PROCESS_QUERY_INFORMATION and PROCESS_VM_READ (any handle
// for the current process); processId is that process's id.
GuiObjectCounts CountGuiObjects(HANDLE process, DWORD processId);

// The same for the calling process.
GuiObjectCounts CountOwnGuiObjects();

// A handle to another process with the rights that CountGuiObjects needs;
// close it with CloseHandle. nullptr on failure.
HANDLE OpenForGuiCounts(DWORD processId);
