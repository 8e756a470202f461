// The transfer's pure rules, without a binding: which answers may carry the installer, the request
// headers, the Content-Range and multipart boundary parsers, the outcome sentences, and which
// failures resume by themselves after how long a wait.
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

// The automatic resume after a failure that a later try may not meet again.
const DWORD kFirstRetryWaitMs = 2000;     // the wait before the first automatic resume; doubled for each next
const DWORD kLongestRetryWaitMs = 60000;  // ... up to this
const LONG kLongestRetryAfterSec = 300;   // the longest Retry-After honoured
const UINT kRetriesWithoutBytes = 5;      // automatic resumes in a row that add no byte before giving up
// A transient failure: the body ended short of its length, the connection could not be made or was
// lost, the no-data watchdog, or the answers 408, 429, 500, 502, 503 and 504 (dwStatus: the answer's
// HTTP status, 0 without one). Everything else (refusals, a changed installer, a failed write) is not.
BOOL IsTransientFailure(HRESULT hr, DWORD dwStatus);
// The wait before automatic resume nTry (1 for the first): dwFirstMs, doubled for each further try
// up to kLongestRetryWaitMs; a server's Retry-After (lRetryAfterSec >= 0) instead, at most
// kLongestRetryAfterSec.
DWORD RetryWaitMs(UINT nTry, DWORD dwFirstMs, LONG lRetryAfterSec);
// A Retry-After value (seconds, or an HTTP date in the RFC 1123 form compared with stNow, both UTC)
// in seconds from now: 0 for a date that has passed, -1 for a value that is neither.
LONG RetryAfterSeconds(LPCSTR pszValue, const SYSTEMTIME& stNow);
