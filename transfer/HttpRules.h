// The transfer's pure rules, without a binding: which answers may carry the installer, the request
// headers, the Content-Range and multipart boundary parsers, and the outcome sentences.
#pragma once
#include <afx.h>

// Outcome of a resume whose server answered with another version of the installer.
#define E_INSTALLER_CHANGED MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0301)

// The refusal an answer's status means (its sentence's code), or S_OK for the answers the transfer
// takes: 200 and 203 begin or replace the local file, 206 continues it, 416 is judged on its own.
// A page sent as the file (Content-Type text/html: a sign-in or error page) is never the installer.
HRESULT JudgeStatus(DWORD dwStatus, LPCSTR pszContentType);

// The extra request headers of a transfer that resumes at dwOffset: "Range: bytes=N-", "If-Range"
// with the validator of the version the local file holds (when known), "Unless-Modified-Since"
// with the time the transfer began. FALSE when the time cannot be written.
BOOL BuildRequestHeaders(DWORD dwOffset, LPCSTR pszValidator, const SYSTEMTIME& stStarted, CString& strHeaders);

// A Content-Range value: "bytes FIRST-LAST/TOTAL", "bytes FIRST-LAST/*" or "bytes */TOTAL".
struct CONTENT_RANGE
{
    BOOL fRange;  // FIRST-LAST given
    DWORD dwFirst, dwLast;
    BOOL fTotal;  // TOTAL given
    DWORD dwTotal;
};
BOOL ParseContentRange(const char* pszValue, CONTENT_RANGE* pRange);

// The part delimiter ("--" and the boundary) of a multipart/byteranges (or x-byteranges) type into
// strDelimiter; empty for any other type. INET_E_DATA_NOT_AVAILABLE when the boundary is missing
// or unusable (a multipart answer that cannot be split).
HRESULT MultipartDelimiter(LPCSTR pszContentType, CString& strDelimiter);

// The sentence the user reads for a transfer's result.
CString OutcomeSentence(HRESULT hr);
// The outcome of a failed write: a full disk, or any other failure.
HRESULT WriteFailureOf(DWORD dwError);
