// The application object.
#pragma once

#include "framework/Afx.h"

class CCorvaneInstApp : public CWinAppEx {
public:
    CCorvaneInstApp();
    ~CCorvaneInstApp() override = default;

    // Runs the host dialog, which runs the wizard; always FALSE, so the
    // process ends as soon as the wizard has closed.
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CCorvaneInstApp theApp;

// The registry key name handed to the framework at start-up. The installer
// keeps no settings, so nothing is ever written under it.
extern const wchar_t kRegistryKeyName[];
