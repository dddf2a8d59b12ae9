// Starting the driver package installer from step 2.
#pragma once

#include <windows.h>

namespace wizard {

constexpr wchar_t kInstaller32[] = L"DPInst.exe";
constexpr wchar_t kInstaller64[] = L"DPInst_64.exe";
constexpr wchar_t kLaunchErrorCaption[] = L"Error executing DPInst.exe";
// Characters of the error message, its terminator included.
constexpr int kLaunchMessageSize = 260;

// The installer for this Windows: the 64-bit one on 64-bit Windows, which a
// 64-bit build always runs on and a 32-bit build learns from the word-size
// query (bWow64 exactly TRUE).
const wchar_t* InstallerFileName(bool b64BitBuild, BOOL bWow64);

// Composes the error message for a failed start into buffer (zero-filled
// first): the fixed sentence, then the system's text for dwError cut to what
// fits, or the error number where the system has no text.
void ComposeLaunchMessage(DWORD dwError, wchar_t (&buffer)[kLaunchMessageSize]);

}  // namespace wizard
