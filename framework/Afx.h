// Our class framework: a thin C++ layer over the Win32 API with the class and
// member names that the installer uses. Include this one header.
#pragma once

#include "Object.h"
#include "Gdi.h"
#include "Wnd.h"
#include "Dialog.h"
#include "PropertySheet.h"
#include "WinApp.h"
