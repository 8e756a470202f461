// The publisher check: is a file the genuine installer, Authenticode-signed by the expected
// publisher? WinVerifyTrust (generic verify action, no user interface, no revocation check, since
// the machine may be offline) checks the signature against the file, and the signer certificate's
// simple display name is compared with the expected publisher's. wintrust.dll and crypt32.dll are
// loaded at run time: Windows 95 and NT 4.0 get them with Internet Explorer 4, and some of the
// functions used are newer. Knows no window; no exception leaves it.
#pragma once
#include <afx.h>

// The outcome of a transfer whose file is not the genuine installer (it has been deleted).
#define E_NOT_GENUINE MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0302)

enum PUBLISHER_VERDICT
{
    PUBLISHER_GENUINE,         // signed by the expected publisher; the signature matches the file
    PUBLISHER_NOT_CHECKED,     // no expected publisher: the check is switched off (nothing was read)
    PUBLISHER_NOT_SIGNED,      // the file carries no signature (or is no signable program at all)
    PUBLISHER_BAD_SIGNATURE,   // the signature does not match the file (changed after signing, damaged)
    PUBLISHER_UNTRUSTED,       // matches, but Windows does not trust the certificate that made it
    PUBLISHER_OTHER,           // a valid signature of another publisher (strSigner names it)
    PUBLISHER_CANNOT_CHECK,    // this Windows lacks the functions the check needs (or the signature's digest)
    PUBLISHER_UNREADABLE       // the file cannot be opened
};

struct PUBLISHER_CHECK
{
    PUBLISHER_VERDICT nVerdict;
    HRESULT hrTrust;     // WinVerifyTrust's result; for an unreadable file the open's error as HRESULT
    CString strSigner;   // the signer's simple display name; empty when there is none or it is unknown
};

// Checks pszFile against the expected publisher pszExpected (the signer's name as the certificate's
// simple display name shows it). An empty pszExpected gives PUBLISHER_NOT_CHECKED, which the caller
// treats as genuine. The file is open only during the call (shared for reading).
PUBLISHER_CHECK CheckPublisher(LPCTSTR pszFile, LPCTSTR pszExpected);

// The status sentence for the user: one sentence with the reason, naming another publisher.
CString PublisherCheckSentence(const PUBLISHER_CHECK& check);

// The trace log's text: the verdict, the result code and the signer seen.
CString PublisherCheckTrace(const PUBLISHER_CHECK& check);

// How the check loads wintrust.dll and crypt32.dll (::LoadLibraryA). Tests put a loader here that
// refuses a DLL or hands out one that lacks the functions, as older systems do.
extern HMODULE(WINAPI* g_pfnPublisherCheckLoadLibrary)(LPCSTR pszModule);
