// The program's entry point: the framework runs the application object.
#include "afxwin.h"
#include <cstdlib>
#include <exception>

extern "C" int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    // The system ends every other thread (a worker still aborting its binding) before anything
    // process-wide is torn down; returning would run the static destructors while they still run.
    ::ExitProcess(static_cast<UINT>(AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow)));
}

// The compiler's run-time support (libgcc: the exception frame registry, the C++ run time's locks)
// creates its semaphores with CreateSemaphoreW, which Windows 95, 98 and ME export only as a stub
// that fails: its locks would then not exclude anything. Defining the import's address here makes
// the linker take this function instead of kernel32's, so the program imports CreateSemaphoreA,
// which every Windows has. The run time asks only for unnamed semaphores.
static HANDLE WINAPI CreateUnnamedSemaphore(LPSECURITY_ATTRIBUTES psa, LONG lInitial, LONG lMaximum, LPCWSTR pszName)
{
    if (pszName != NULL)
    {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return NULL;
    }
    return ::CreateSemaphoreA(psa, lInitial, lMaximum, NULL);
}
#ifdef _WIN64
extern "C" decltype(&CreateUnnamedSemaphore) const g_pfnCreateSemaphoreW __asm__("__imp_CreateSemaphoreW");
#else
extern "C" decltype(&CreateUnnamedSemaphore) const g_pfnCreateSemaphoreW __asm__("__imp__CreateSemaphoreW@16");
#endif
extern "C" decltype(&CreateUnnamedSemaphore) const g_pfnCreateSemaphoreW = CreateUnnamedSemaphore;

// The handler std::terminate calls unless the program sets one. The C++ run time's writes the
// exception's demangled type to stderr, which a GUI program does not have, and brings the demangler
// and mingw-w64's printf with it (about 60 KB of the program); a definition here keeps the run
// time's out of the link. An exception nothing catches ends the program as abort does.
void __gnu_cxx::__verbose_terminate_handler() { std::abort(); }
