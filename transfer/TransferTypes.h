// The transfer engine's records: the worker's request, its byte ranges, and the notification through
// which the binding callback reports response, data and completion.
#pragma once
#include <windows.h>

struct BYTE_RANGE
{
    DWORD dwOffset;  // first byte wanted
    DWORD dwLength;  // number of bytes; 0 = up to the end of the resource
};

struct DOWNLOAD_REQUEST
{
    DWORD cbSize;                        // 28
    IUnknown* punkHost;                  // optional host through which a bind host is looked up
    const char* pszUrl;                  // address to download (ANSI)
    DWORD dwFlags;                       // copied into DOWNLOAD_NOTIFY::dwFlags
    BYTE_RANGE* pRanges;                 // byte ranges to request
    DWORD cRanges;                       // 0: no Range header
    SYSTEMTIME* pstUnlessModifiedSince;  // null: no Unless-Modified-Since header
};

enum
{
    NOTIFY_RESPONSE = 0,
    NOTIFY_DATA = 1,
    NOTIFY_DONE = 2
};

struct DOWNLOAD_NOTIFY
{
    DWORD cbSize;    // 28
    DWORD dwFlags;   // the request's dwFlags
    DWORD dwReason;  // NOTIFY_RESPONSE, NOTIFY_DATA or NOTIFY_DONE
    union
    {
        DWORD dwRangeUnits;  // response: 2 when byte ranges are in use, else 0
        DWORD dwOffset;      // data: file offset of the block
        HRESULT hrResult;    // done: the binding's final result
    };
    union
    {
        DWORD dwStatusCode;  // response: HTTP status
        const void* pvData;  // data: the block
    };
    union
    {
        SYSTEMTIME* pstLastModified;  // response: Last-Modified (all zero when absent), valid during the call
        DWORD cbData;                 // data: block length in bytes
    };
    DWORD dwContentLength;  // response: Content-Length of an answer other than 206, 0 when absent
};

// The records are 28 bytes in the 32-bit program; a 64-bit test build has wider pointers.
#ifndef _WIN64
static_assert(sizeof(DOWNLOAD_REQUEST) == 28, "the request record is 28 bytes");
static_assert(sizeof(DOWNLOAD_NOTIFY) == 28, "the notification record is 28 bytes");
#endif
