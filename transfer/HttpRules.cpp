// The transfer's pure rules: answer statuses, request headers, Content-Range, multipart boundaries,
// outcome sentences, the automatic resume's failures and waits.
#include "transfer/HttpRules.h"
#include <string.h>
#include <urlmon.h>
#include <wininet.h>

namespace
{
// The media type of a Content-Type value, without blanks before it: its first character and length.
size_t MediaType(const char*& p)
{
    while (*p == ' ' || *p == '\t')
        ++p;
    const char* pEnd = p;
    while (*pEnd != '\0' && *pEnd != ';' && *pEnd != ' ' && *pEnd != '\t')
        ++pEnd;
    return static_cast<size_t>(pEnd - p);
}

BOOL IsMediaType(const char* pszType, const char* pszName)
{
    const size_t cch = MediaType(pszType);
    return cch == strlen(pszName) && ::_strnicmp(pszType, pszName, cch) == 0;
}

// One decimal number of at most 32 bits; the cursor moves past it.
BOOL ReadDword(const char*& p, DWORD* pdwValue)
{
    unsigned long long qw = 0;
    int cDigits = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
    {
        if (++cDigits > 10)
            return FALSE;
        qw = qw * 10 + static_cast<unsigned>(*p - '0');
    }
    if (cDigits == 0 || qw > 0xFFFFFFFFull)
        return FALSE;
    *pdwValue = static_cast<DWORD>(qw);
    return TRUE;
}

// The boundary parameter, plain or quoted: its first character and length (0 when there is none).
size_t FindBoundary(const char* pszType, const char* pszParams, const char** ppBoundary)
{
    for (const char* q = pszParams; *q != '\0'; ++q)
    {
        if (::_strnicmp(q, "boundary", 8) != 0 || (q > pszType && q[-1] != ';' && q[-1] != ' ' && q[-1] != '\t'))
            continue;
        const char* v = q + 8;
        while (*v == ' ' || *v == '\t')
            ++v;
        if (*v != '=')
            continue;
        ++v;
        while (*v == ' ' || *v == '\t')
            ++v;
        const char* e;
        if (*v == '"')
        {
            e = strchr(++v, '"');
            if (e == nullptr)
                return 0;
        }
        else
        {
            for (e = v; *e != '\0' && *e != ';' && *e != ' ' && *e != '\t' && *e != '\r' && *e != '\n'; ++e)
            {
            }
        }
        *ppBoundary = v;
        return static_cast<size_t>(e - v);
    }
    return 0;
}
}  // namespace

HRESULT JudgeStatus(DWORD dwStatus, LPCSTR pszContentType)
{
    switch (dwStatus)
    {
    case 200:
    case 203:
        // A page in the installer's place would replace the partial download and be run.
        return pszContentType != nullptr && IsMediaType(pszContentType, "text/html") ? INET_E_NO_VALID_MEDIA : S_OK;
    case 206:
    case 416:
        return S_OK;
    case 400:
        return INET_E_INVALID_REQUEST;
    case 401:
    case 402:
    case 403:
    case 405:
    case 406:
    case 407:
        return INET_E_AUTHENTICATION_REQUIRED;
    case 404:
        return INET_E_RESOURCE_NOT_FOUND;
    case 408:
        return INET_E_CONNECTION_TIMEOUT;
    case 409:
        return INET_E_NO_VALID_MEDIA;
    default:
        // Redirections are never followed (older WinINet hands a 307 or 308 over unfollowed); every
        // other answer carries no installer: no content, an error page, or something unknown.
        return dwStatus >= 300 && dwStatus <= 399 ? INET_E_RESOURCE_NOT_FOUND : INET_E_DATA_NOT_AVAILABLE;
    }
}

BOOL BuildRequestHeaders(DWORD dwOffset, LPCSTR pszValidator, const SYSTEMTIME& stStarted, CString& strHeaders)
{
    // Unsigned: a signed form would ask for a negative offset past 2 GB, which servers ignore.
    strHeaders.Format("Range: bytes=%lu-\r\n", static_cast<unsigned long>(dwOffset));
    // The range only while the server still has the version that began the local file; else the
    // whole new file.
    if (pszValidator != nullptr && *pszValidator != '\0')
        strHeaders += CString("If-Range: ") + pszValidator + "\r\n";
    char szDate[INTERNET_RFC1123_BUFSIZE + 1];  // the conversion needs all 30 bytes
    if (!::InternetTimeFromSystemTimeA(&stStarted, INTERNET_RFC1123_FORMAT, szDate, sizeof(szDate)))
        return FALSE;
    strHeaders += CString("Unless-Modified-Since: ") + szDate + "\r\n";
    return TRUE;
}

BOOL ParseContentRange(const char* p, CONTENT_RANGE* pRange)
{
    ZeroMemory(pRange, sizeof(*pRange));
    while (*p == ' ')
        ++p;
    if (::_strnicmp(p, "bytes", 5) != 0)
        return FALSE;
    p += 5;
    while (*p == ' ' || *p == '=')
        ++p;
    if (*p == '*')
    {
        ++p;  // an unsatisfied range: only the total follows
    }
    else
    {
        if (!ReadDword(p, &pRange->dwFirst) || *p++ != '-' || !ReadDword(p, &pRange->dwLast) ||
            pRange->dwLast < pRange->dwFirst || pRange->dwLast == 0xFFFFFFFF)
            return FALSE;
        pRange->fRange = TRUE;
    }
    if (*p++ != '/')
        return FALSE;
    if (*p == '*')
        return pRange->fRange;  // the server does not know the total
    if (!ReadDword(p, &pRange->dwTotal) || (pRange->fRange && pRange->dwTotal <= pRange->dwLast))
        return FALSE;
    pRange->fTotal = TRUE;
    return TRUE;
}

HRESULT MultipartDelimiter(LPCSTR pszContentType, CString& strDelimiter)
{
    strDelimiter.Empty();
    const char* pszName = pszContentType;
    const size_t cchName = MediaType(pszName);
    if (!(cchName == 20 && ::_strnicmp(pszName, "multipart/byteranges", 20) == 0) &&
        !(cchName == 22 && ::_strnicmp(pszName, "multipart/x-byteranges", 22) == 0))
        return S_OK;
    const char* pBoundary = nullptr;
    const size_t cchBoundary = FindBoundary(pszContentType, pszName + cchName, &pBoundary);
    if (cchBoundary == 0 || cchBoundary > 200)
        return INET_E_DATA_NOT_AVAILABLE;
    strDelimiter = "--";
    strDelimiter += CString(pBoundary).Left(static_cast<int>(cchBoundary));
    return S_OK;
}

HRESULT WriteFailureOf(DWORD dwError)
{
    return dwError == ERROR_DISK_FULL || dwError == ERROR_HANDLE_DISK_FULL ? STG_E_MEDIUMFULL : STG_E_WRITEFAULT;
}

CString OutcomeSentence(HRESULT hr)
{
    switch (hr)
    {
    case S_OK:
        return "Download Complete";
    case S_FALSE:
    case E_FAIL:
        return "Download InComplete - UnKnown Failure";
    case INET_E_INVALID_URL:
        return "You have entered in an invalid URL.  Please enter in the correct URL";
    case INET_E_NO_SESSION:
        return "Internet session cannot be established";
    case INET_E_CANNOT_CONNECT:
        return "The attempt to connect to the Internet has failed";
    case INET_E_RESOURCE_NOT_FOUND:
        return "The specified file does not exist on server.";
    case INET_E_OBJECT_NOT_FOUND:
        return "The object was not found";
    case INET_E_DATA_NOT_AVAILABLE:
        return "An Internet connection was established, but the data cannot be retrieved";
    case INET_E_DOWNLOAD_FAILURE:
        return "The download has failed (the connection was interrupted)";
    case INET_E_AUTHENTICATION_REQUIRED:
        return "Authentication is needed to access the object";
    case INET_E_NO_VALID_MEDIA:
        return "The file is not one of the acceptable MIME types";
    case INET_E_CONNECTION_TIMEOUT:
        return "The Internet connection has timed out";
    case INET_E_INVALID_REQUEST:
        return "The request was invalid";
    case INET_E_UNKNOWN_PROTOCOL:
        return "The protocol is not known and no pluggable protocols have been entered that match";
    case INET_E_SECURITY_PROBLEM:
        return "A security problem was encountered";
    case INET_E_CANNOT_LOAD_DATA:
        return "The object could not be loaded";
    case INET_E_CANNOT_INSTANTIATE_OBJECT:
        return "CoCreateInstance failed";
    case INET_E_REDIRECT_FAILED:
        return "The request is being redirected";
    // The local file could not be written (or replaced): the transfer stops with its own sentence.
    case STG_E_WRITEFAULT:
        return "The download could not be written to the local file";
    case STG_E_MEDIUMFULL:
        return "There is not enough space on the disk to save the download";
    case E_INSTALLER_CHANGED:
        return "The installer on the server has changed since the download began. Start/Resume downloads it anew";
    default:
        return "Download Interrupted / Time Out Action _ By User";
    }
}

BOOL IsTransientFailure(HRESULT hr, DWORD dwStatus)
{
    switch (hr)
    {
    case INET_E_DOWNLOAD_FAILURE:    // a body cut short, a connection refused or lost
    case INET_E_CANNOT_CONNECT:
    case INET_E_CONNECTION_TIMEOUT:  // the no-data watchdog, or a 408
        return TRUE;
    case INET_E_DATA_NOT_AVAILABLE:  // only a busy or failing server, not a malformed answer
        return dwStatus == 429 || dwStatus == 500 || dwStatus == 502 || dwStatus == 503 || dwStatus == 504;
    default:
        return FALSE;
    }
}

DWORD RetryWaitMs(UINT nTry, DWORD dwFirstMs, LONG lRetryAfterSec)
{
    if (lRetryAfterSec >= 0)
        return 1000 * static_cast<DWORD>(lRetryAfterSec < kLongestRetryAfterSec ? lRetryAfterSec
                                                                                 : kLongestRetryAfterSec);
    DWORD dwWait = dwFirstMs;
    for (UINT n = 1; n < nTry && dwWait < kLongestRetryWaitMs; ++n)
        dwWait *= 2;
    return dwWait < kLongestRetryWaitMs ? dwWait : kLongestRetryWaitMs;
}

LONG RetryAfterSeconds(LPCSTR pszValue, const SYSTEMTIME& stNow)
{
    const char* p = pszValue;
    while (*p == ' ' || *p == '\t')
        ++p;
    DWORD dwSeconds = 0;
    if (*p >= '0' && *p <= '9')
    {
        if (!ReadDword(p, &dwSeconds))
        {
            dwSeconds = 0x7FFFFFFF;  // longer than any wait anyway
            while (*p >= '0' && *p <= '9')
                ++p;
        }
        while (*p == ' ' || *p == '\t')
            ++p;
        return *p == '\0' ? static_cast<LONG>(dwSeconds > 0x7FFFFFFF ? 0x7FFFFFFF : dwSeconds) : -1;
    }
    // An HTTP date in the form servers send (RFC 1123). WinINet's reading takes almost any text for
    // some date, so only a date that reads back as the same text counts.
    SYSTEMTIME stThen = {};
    FILETIME ftThen, ftNow;
    char szBack[INTERNET_RFC1123_BUFSIZE + 1];  // the conversion needs all 30 bytes
    if (*p == '\0' || !::InternetTimeToSystemTimeA(p, &stThen, 0) ||
        !::InternetTimeFromSystemTimeA(&stThen, INTERNET_RFC1123_FORMAT, szBack, sizeof(szBack)) ||
        ::_strnicmp(szBack, p, sizeof(szBack)) != 0 || !::SystemTimeToFileTime(&stThen, &ftThen) ||
        !::SystemTimeToFileTime(&stNow, &ftNow))
        return -1;
    const LONGLONG llThen = (static_cast<LONGLONG>(ftThen.dwHighDateTime) << 32) | ftThen.dwLowDateTime;
    const LONGLONG llNow = (static_cast<LONGLONG>(ftNow.dwHighDateTime) << 32) | ftNow.dwLowDateTime;
    const LONGLONG llSeconds = (llThen - llNow) / 10000000;
    return llSeconds <= 0 ? 0 : llSeconds > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<LONG>(llSeconds);
}
