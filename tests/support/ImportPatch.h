// Redirects one imported function of the test program for as long as the
// patch lives. The installer's code is linked into the test program and calls
// the system through the program's import table, so a patch there
// intercepts exactly the calls that the installer makes.
#pragma once

#include <windows.h>

class ImportPatch {
public:
    // dll as the import table names it (case-insensitive, e.g. "shell32.dll"),
    // function by name. Fails the current test when there is no such import.
    ImportPatch(const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // The function the import table held before.
    template <typename T>
    T Original() const { return reinterpret_cast<T>(original_); }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};
