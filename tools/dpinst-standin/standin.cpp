// A stand-in for the driver package installer (DPInst.exe / DPInst_64.exe):
// records how it was started and exits 0 at once. Each start appends one
// UTF-8 line to the log
//
//     <its own full path> TAB <its command line> TAB <its current directory> LF
//
// The log is the file named by CORVANE_STANDIN_LOG, or else
// dpinst-standin.log in the stand-in's own folder.
#include "common/RecordLog.h"

namespace {

std::wstring CurrentDirectory()
{
    const DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    if (n == 0)
        return std::wstring();
    std::wstring dir(n, L'\0');
    const DWORD written = ::GetCurrentDirectoryW(n, dir.data());
    dir.resize(written < n ? written : 0);
    return dir;
}

std::wstring LogPath()
{
    const DWORD n = ::GetEnvironmentVariableW(L"CORVANE_STANDIN_LOG", nullptr, 0);
    if (n > 1) {
        std::wstring log(n, L'\0');
        const DWORD written = ::GetEnvironmentVariableW(L"CORVANE_STANDIN_LOG", log.data(), n);
        log.resize(written < n ? written : 0);
        if (!log.empty())
            return log;
    }
    return standin::ModuleFolder() + L"dpinst-standin.log";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    standin::AppendLine(LogPath(), standin::ModulePath() + L"\t" + ::GetCommandLineW() + L"\t" +
                                       CurrentDirectory());
    return 0;
}
