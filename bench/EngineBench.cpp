// The transfer engine benchmark: downloads one URL into a file with DownloadSetup's own engine (its
// worker, binding callback, file writes and progress reports, which go nowhere) and prints what it
// cost.
//
//   EngineBench URL FILE
// Prints one line: "bytes=N ms=T cpu_ms=C peak_kb=P status=...". T includes the worker's fixed
// 500 ms pause before it binds.
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include "app/CSetupApp.h"
#include "transfer/CTransferEngine.h"

namespace
{
// The end of the transfer; progress is formatted by the engine and dropped here.
struct CBenchEvents : ITransferEvents
{
    void OnTransferProgress(const TRANSFER_PROGRESS&) override {}
    void OnLocalFileUndeletable(LPCTSTR) override {}
    void OnTransferEnded(const TRANSFER_END& e) override { end = e; }
    TRANSFER_END end;
};

struct CBenchRun
{
    CTransferEngine engine{theApp.m_log};
    CBenchEvents events;
    TRANSFER_START start;
};

DWORD WINAPI WorkerThread(LPVOID pParam)
{
    CBenchRun* pRun = static_cast<CBenchRun*>(pParam);
    pRun->engine.Run(pRun->start, &pRun->events);
    return 0;
}

ULONGLONG FileTimeMs(const FILETIME& ft)
{
    return ((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10000;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        fprintf(stderr, "usage: EngineBench URL FILE\n");
        return 2;
    }
    DeleteFileA(argv[2]);
    CBenchRun run;
    run.start.strURL = argv[1];
    run.start.strFilePath = argv[2];

    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    HANDLE hThread = CreateThread(NULL, 0, WorkerThread, &run, 0, NULL);
    WaitForSingleObject(hThread, INFINITE);
    QueryPerformanceCounter(&t1);
    CloseHandle(hThread);

    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(argv[2], GetFileExInfoStandard, &data);
    FILETIME ftCreate, ftExit, ftKernel, ftUser;
    GetProcessTimes(GetCurrentProcess(), &ftCreate, &ftExit, &ftKernel, &ftUser);
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    printf("bytes=%lu ms=%.0f cpu_ms=%lu peak_kb=%lu status=%s\n", data.nFileSizeLow,
           (t1.QuadPart - t0.QuadPart) * 1000.0 / freq.QuadPart,
           static_cast<unsigned long>(FileTimeMs(ftKernel) + FileTimeMs(ftUser)),
           static_cast<unsigned long>(pmc.PeakWorkingSetSize / 1024), static_cast<LPCTSTR>(run.events.end.strOutcome));
    fflush(stdout);
    return run.events.end.hrResult == S_OK ? 0 : 1;
}
