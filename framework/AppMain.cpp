// The process entry of a program built on the framework.
#include "WinApp.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPWSTR /*lpCmdLine*/,
                    int /*nShowCmd*/)
{
    return AfxWinMain(hInstance);
}
