// A stand-in for the Brindlemox installer, served by the demo and test download servers as
// brindlemox.exe: a tiny Windows program that only says what it is.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    ::MessageBoxA(NULL,
                  "This is a sample of the Brindlemox installer.\r\n\r\n"
                  "DownloadSetup fetched it from the demo download server. It installs nothing.",
                  "Brindlemox installer (sample)", MB_OK | MB_ICONINFORMATION);
    return 0;
}
