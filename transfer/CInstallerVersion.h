// CInstallerVersion: which version of the installer the local file holds. A resume appends the
// server's bytes only while the server still has the version that began the file: the answer that
// begins the file leaves its validator (strong ETag, else Last-Modified) and total length, kept in
// memory and, through the store the transfer was given, beside the stored folder.
#pragma once
#include <afx.h>
#include <urlmon.h>
#include <wininet.h>

// Where the validator of an unfinished download is kept between runs.
class IValidatorStore
{
public:
    virtual CString LoadValidator() = 0;             // "" when none
    virtual void SaveValidator(LPCTSTR pszText) = 0;  // "" deletes it
protected:
    ~IValidatorStore() = default;
};

class CInstallerVersion
{
public:
    void SetStore(IValidatorStore* pStore) { m_pStore = pStore; }
    // The local file continues the download stored by an earlier run: its validator comes from there.
    void LoadStored();
    // The local file is begun anew: nothing is known of its version.
    void Forget() { Set(""); }
    // The version changed on the server: the next start deletes the local file first.
    void MarkChanged() { Set(kBeginAnew); }
    BOOL MustBeginAnew() const { return m_strValidator == kBeginAnew; }
    // The validator to send as If-Range ("" when none).
    LPCTSTR Validator() const;
    // Keeps the validator of the answer that begins the local file (dwTotal 0: length unknown).
    void Remember(IWinInetHttpInfo* pInfo, DWORD dwTotal);
    // The answer (its ETag / Last-Modified) belongs to the version the file holds, as far as known.
    BOOL Matches(IWinInetHttpInfo* pInfo) const;
    // A total length of the server's file that agrees with the stored one (either unknown counts).
    BOOL SameTotal(DWORD dwTotal) const;

private:
    static const char kBeginAnew[];
    void Set(LPCTSTR pszText);
    // "<total> <validator>", "restart", or empty.
    CString m_strValidator;
    IValidatorStore* m_pStore = nullptr;
};
