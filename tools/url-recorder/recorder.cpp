// A stand-in for the web browser: registered as the command of the http and
// https schemes ("<this program>" "%1"), it records what it was asked to open
// and exits 0 at once. Each start appends one UTF-8 line to
// url-recorder.log in the program's own folder: its arguments (without the
// program's name) as the command line splits them, joined by single spaces.
#include "common/RecordLog.h"

#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::wstring line;
    for (int i = 1; argv != nullptr && i < argc; ++i)
        line += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
    if (argv != nullptr)
        ::LocalFree(argv);
    standin::AppendLine(standin::ModuleFolder() + L"url-recorder.log", line);
    return 0;
}
