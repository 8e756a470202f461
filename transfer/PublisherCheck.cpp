// The publisher check (PublisherCheck.h). The records and functions of wintrust.dll and crypt32.dll are
// declared here with their documented layouts, as far as they are used: the program's headers stop at
// Windows 95 / NT 4.0, and nothing of the two DLLs may enter the import table.
#include "transfer/PublisherCheck.h"
#include <string.h>

HMODULE(WINAPI* g_pfnPublisherCheckLoadLibrary)(LPCSTR pszModule) = ::LoadLibraryA;

namespace
{
struct TRUST_FILE_INFO  // WINTRUST_FILE_INFO
{
    DWORD cbStruct;
    LPCWSTR pcwszFilePath;
    HANDLE hFile;
    GUID* pgKnownSubject;
};

// WINTRUST_DATA as Internet Explorer 4's wintrust.dll knows it (later versions add dwProvFlags and
// dwUIContext and take the shorter record as well).
struct TRUST_DATA
{
    DWORD cbStruct;
    void* pPolicyCallbackData;
    void* pSIPClientData;
    DWORD dwUIChoice;
    DWORD fdwRevocationChecks;
    DWORD dwUnionChoice;
    TRUST_FILE_INFO* pFile;
    DWORD dwStateAction;
    HANDLE hWVTStateData;
    WCHAR* pwszURLReference;
};

struct PROVIDER_CERT  // the leading members of CRYPT_PROVIDER_CERT
{
    DWORD cbStruct;
    const void* pCert;  // PCCERT_CONTEXT
};

const DWORD kUiNone = 2, kRevokeNone = 0, kChoiceFile = 1, kStateVerify = 1, kStateClose = 2;
const DWORD kSimpleDisplayName = 4;  // CERT_NAME_SIMPLE_DISPLAY_TYPE
GUID kGenericVerifyV2 = {0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};

typedef LONG(WINAPI* PFNWINVERIFYTRUST)(HWND, GUID*, void*);
typedef void*(WINAPI* PFNPROVDATAFROMSTATEDATA)(HANDLE);
typedef void*(WINAPI* PFNPROVSIGNERFROMCHAIN)(void*, DWORD, BOOL, DWORD);
typedef PROVIDER_CERT*(WINAPI* PFNPROVCERTFROMCHAIN)(void*, DWORD);
typedef DWORD(WINAPI* PFNCERTGETNAMESTRINGA)(const void*, DWORD, DWORD, void*, LPSTR, DWORD);

class CLibrary  // a loaded DLL, freed with its owner
{
public:
    explicit CLibrary(LPCSTR pszName) : m_hModule(g_pfnPublisherCheckLoadLibrary(pszName)) {}
    ~CLibrary() { if (m_hModule != NULL) ::FreeLibrary(m_hModule); }
    CLibrary(const CLibrary&) = delete;
    CLibrary& operator=(const CLibrary&) = delete;
    template <typename T> bool Get(LPCSTR pszName, T& pfn) const
    {
        pfn = m_hModule != NULL ? reinterpret_cast<T>(::GetProcAddress(m_hModule, pszName)) : nullptr;
        return pfn != nullptr;
    }

private:
    HMODULE m_hModule;
};

class CReadHandle  // the file, open for reading while the check runs
{
public:
    explicit CReadHandle(LPCSTR pszFile)
        : m_hFile(::CreateFileA(pszFile, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL)) {}
    ~CReadHandle() { if (m_hFile != INVALID_HANDLE_VALUE) ::CloseHandle(m_hFile); }
    CReadHandle(const CReadHandle&) = delete;
    CReadHandle& operator=(const CReadHandle&) = delete;
    HANDLE m_hFile;
};

PUBLISHER_VERDICT VerdictOfFailure(HRESULT hr)
{
    switch (static_cast<DWORD>(hr))
    {
    case 0x800B0100: case 0x800B0003: return PUBLISHER_NOT_SIGNED;    // TRUST_E_NOSIGNATURE, _SUBJECT_FORM_UNKNOWN
    case 0x800B0001: case 0x800B0002: return PUBLISHER_CANNOT_CHECK;  // TRUST_E_PROVIDER_UNKNOWN, _ACTION_UNKNOWN
    // NTE_BAD_ALGID, CRYPT_E_UNKNOWN_ALGO: a digest this system does not know (SHA-256 before XP SP3).
    case 0x80090008: case 0x80091002: return PUBLISHER_CANNOT_CHECK;
    }
    // The certificate facility's other answers (untrusted root, expired, distrusted...) are about trust.
    return HRESULT_FACILITY(hr) == 0x0B ? PUBLISHER_UNTRUSTED : PUBLISHER_BAD_SIGNATURE;
}

PUBLISHER_CHECK Check(LPCTSTR pszFile, LPCTSTR pszExpected)
{
    PUBLISHER_CHECK check = {PUBLISHER_NOT_CHECKED, S_OK, CString()};
    if (pszExpected == nullptr || *pszExpected == '\0')
        return check;
    CLibrary wintrust("wintrust.dll"), crypt32("crypt32.dll");
    PFNWINVERIFYTRUST pfnVerify;
    PFNPROVDATAFROMSTATEDATA pfnProvData;
    PFNPROVSIGNERFROMCHAIN pfnSigner;
    PFNPROVCERTFROMCHAIN pfnCert;
    PFNCERTGETNAMESTRINGA pfnName;
    if (!wintrust.Get("WinVerifyTrust", pfnVerify) || !wintrust.Get("WTHelperProvDataFromStateData", pfnProvData) ||
        !wintrust.Get("WTHelperGetProvSignerFromChain", pfnSigner) ||
        !wintrust.Get("WTHelperGetProvCertFromChain", pfnCert) || !crypt32.Get("CertGetNameStringA", pfnName))
    {
        check.nVerdict = PUBLISHER_CANNOT_CHECK;
        check.hrTrust = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
        return check;
    }
    CReadHandle file(pszFile);
    WCHAR wszPath[MAX_PATH] = L"";
    if (file.m_hFile == INVALID_HANDLE_VALUE || !::MultiByteToWideChar(CP_ACP, 0, pszFile, -1, wszPath, MAX_PATH))
    {
        check.nVerdict = PUBLISHER_UNREADABLE;
        check.hrTrust = HRESULT_FROM_WIN32(::GetLastError());
        return check;
    }
    TRUST_FILE_INFO info = {sizeof(info), wszPath, file.m_hFile, nullptr};
    TRUST_DATA data = {sizeof(data), nullptr, nullptr, kUiNone, kRevokeNone, kChoiceFile, &info, kStateVerify, NULL, nullptr};
    check.hrTrust = pfnVerify(NULL, &kGenericVerifyV2, &data);
    // The signer, as far as the verification got (also for the trace log of a failure).
    void* pProvData = data.hWVTStateData != NULL ? pfnProvData(data.hWVTStateData) : nullptr;
    void* pSigner = pProvData != nullptr ? pfnSigner(pProvData, 0, FALSE, 0) : nullptr;
    PROVIDER_CERT* pCert = pSigner != nullptr ? pfnCert(pSigner, 0) : nullptr;
    if (pCert != nullptr && pCert->pCert != nullptr)
    {
        char szName[256] = "";
        if (pfnName(pCert->pCert, kSimpleDisplayName, 0, nullptr, szName, sizeof(szName)) > 1)
            check.strSigner = szName;
    }
    data.dwStateAction = kStateClose;
    pfnVerify(NULL, &kGenericVerifyV2, &data);
    if (FAILED(check.hrTrust))
        check.nVerdict = VerdictOfFailure(check.hrTrust);
    else
        check.nVerdict = strcmp(check.strSigner, pszExpected) == 0 ? PUBLISHER_GENUINE : PUBLISHER_OTHER;
    return check;
}
}  // namespace

PUBLISHER_CHECK CheckPublisher(LPCTSTR pszFile, LPCTSTR pszExpected)
{
    try
    {
        return Check(pszFile, pszExpected);
    }
    catch (...)  // out of memory: nothing is known about the file
    {
        return PUBLISHER_CHECK{PUBLISHER_UNREADABLE, E_OUTOFMEMORY, CString()};
    }
}

CString PublisherCheckSentence(const PUBLISHER_CHECK& check)
{
    const char* const kNotGenuine = "The downloaded file is not the genuine installer and was deleted: ";
    CString str;
    switch (check.nVerdict)
    {
    case PUBLISHER_GENUINE: str.Format("The downloaded installer is signed by %s.", (LPCTSTR)check.strSigner); break;
    case PUBLISHER_NOT_CHECKED: str = "The publisher of the downloaded file is not checked by this build."; break;
    case PUBLISHER_NOT_SIGNED: str = CString(kNotGenuine) + "it is not signed."; break;
    case PUBLISHER_BAD_SIGNATURE: str = CString(kNotGenuine) + "its signature does not match the file."; break;
    case PUBLISHER_UNTRUSTED: str = CString(kNotGenuine) + "it is signed with a certificate that Windows does not trust."; break;
    case PUBLISHER_OTHER:
        if (check.strSigner.IsEmpty())
            str = CString(kNotGenuine) + "it is signed by another publisher.";
        else
            str.Format("%sit is signed by another publisher, %s.", kNotGenuine, (LPCTSTR)check.strSigner);
        break;
    case PUBLISHER_CANNOT_CHECK: str = "The publisher of the downloaded file could not be checked on this version of Windows."; break;
    case PUBLISHER_UNREADABLE: str = "The downloaded file could not be read to check its publisher."; break;
    }
    return str;
}

CString PublisherCheckTrace(const PUBLISHER_CHECK& check)
{
    static const char* const kVerdicts[] = {"genuine", "not checked", "not signed", "signature does not match",
                                            "untrusted certificate", "other publisher", "cannot check", "unreadable"};
    CString str;
    str.Format("Publisher check: %s, result 0x%08lX, signer \"%s\"", kVerdicts[check.nVerdict],
               static_cast<unsigned long>(check.hrTrust), (LPCTSTR)check.strSigner);
    return str;
}
