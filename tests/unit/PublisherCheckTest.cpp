// The publisher check on the sample installer as the build signs it (sample-signed/<variant>/
// brindlemox.exe, see tools/sign-sample): each copy is checked in a folder of its own, which must be
// deletable right afterwards (the check leaves nothing open). Wine's WinVerifyTrust shows the
// signature and the signer's name; it does not insist on a trusted root, which Windows does.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include "tests/support/E2eProgram.h"
#include "transfer/PublisherCheck.h"

namespace
{
// Systems without the functions: no wintrust.dll at all, or a crypt32.dll without CertGetNameStringA.
HMODULE WINAPI LoadNothing(LPCSTR) { return NULL; }
HMODULE WINAPI LoadOldCrypt32(LPCSTR pszModule)
{
    return ::LoadLibraryA(lstrcmpiA(pszModule, "crypt32.dll") == 0 ? "kernel32.dll" : pszModule);
}
}  // namespace

TEST(PublisherCheck, SignatureAndSignerOfEachSample)
{
    const char *kTest = DLS_TEST_PUBLISHER, *kOther = DLS_OTHER_PUBLISHER;
    const HRESULT kBadDigest = 0x80096010;
    const std::string kNotGenuine = "The downloaded file is not the genuine installer and was deleted: ",
                      kSigned = std::string("The downloaded installer is signed by ") + kTest + ".",
                      kMismatch = kNotGenuine + "its signature does not match the file.",
                      kNoFunctions = "The publisher of the downloaded file could not be checked on this version of Windows.";
    // The sample's variant ("" none, "text" a file that is no program), the expected publisher, and
    // the verdict, result (0: Wine's choice), signer (null: whatever the system reads from a signature that does not
    // match; Wine reads none) and sentence; and the loader of the system's modules. (The unsigned and
    // the tampered sample: E2ePublisherCheckTest.)
    const struct { const char *pszVariant, *pszExpected; PUBLISHER_VERDICT nVerdict; HRESULT hr; const char* pszSigner;
                   std::string strSentence; decltype(&::LoadLibraryA) pfnLoad = ::LoadLibraryA; } rows[] = {
        {"signed", kTest, PUBLISHER_GENUINE, S_OK, kTest, kSigned},
        {"other", kTest, PUBLISHER_OTHER, S_OK, kOther, kNotGenuine + "it is signed by another publisher, " + kOther + "."},
        // Zero bytes appended to the program before signing are covered by the signature: the changed
        // byte of sized-tampered is one of them (half way into the signed part of the 3 MB file).
        {"sized", kTest, PUBLISHER_GENUINE, S_OK, kTest, kSigned},
        {"sized-tampered", kTest, PUBLISHER_BAD_SIGNATURE, kBadDigest, nullptr, kMismatch},
        // The product's publisher refuses the test publisher's signature; no publisher checks nothing.
        {"signed", "Brindlemox Software", PUBLISHER_OTHER, S_OK, kTest,
         kNotGenuine + "it is signed by another publisher, " + kTest + "."},
        {"signed", "", PUBLISHER_NOT_CHECKED, S_OK, "", "The publisher of the downloaded file is not checked by this build."},
        {"text", kTest, PUBLISHER_NOT_SIGNED, 0, "", kNotGenuine + "it is not signed."},
        {"", kTest, PUBLISHER_UNREADABLE, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "",
         "The downloaded file could not be read to check its publisher."},
        {"unsigned", kTest, PUBLISHER_CANNOT_CHECK, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), "", kNoFunctions, LoadNothing},
        {"unsigned", kTest, PUBLISHER_CANNOT_CHECK, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), "", kNoFunctions, LoadOldCrypt32},
    };
    for (const auto& row : rows)
    {
        const std::string strRow = std::string(row.pszVariant) + " expecting \"" + row.pszExpected + "\"";
        CTempFolder folder("PublisherCheckTest");
        const std::string strFile = folder.File("brindlemox.exe"),
                          strSample = std::string(DLS_SIGNED_SAMPLE_DIR) + "\\" + row.pszVariant + "\\brindlemox.exe";
        ASSERT_TRUE(strcmp(row.pszVariant, "text") == 0 ? WriteWholeFile(strFile, "MZ, but no program")
                                                        : !*row.pszVariant || ::CopyFileA(strSample.c_str(), strFile.c_str(), FALSE))
            << strRow;
        g_pfnPublisherCheckLoadLibrary = row.pfnLoad;
        const PUBLISHER_CHECK check = CheckPublisher(strFile.c_str(), row.pszExpected);
        g_pfnPublisherCheckLoadLibrary = ::LoadLibraryA;
        EXPECT_EQ(row.nVerdict, check.nVerdict) << strRow;
        EXPECT_TRUE(row.hr == 0 || row.hr == check.hrTrust) << strRow << " 0x" << std::hex << check.hrTrust;
        EXPECT_TRUE(row.pszSigner == nullptr || row.pszSigner == std::string((LPCTSTR)check.strSigner)) << strRow;
        EXPECT_EQ(row.strSentence, (LPCTSTR)PublisherCheckSentence(check)) << strRow;
        // The trace line carries the result code and the signer.
        char szCode[16];
        snprintf(szCode, sizeof(szCode), "0x%08lX", static_cast<unsigned long>(check.hrTrust));
        const std::string strTrace = (LPCTSTR)PublisherCheckTrace(check);
        EXPECT_NE(std::string::npos, strTrace.find(szCode)) << strTrace;
        EXPECT_NE(std::string::npos, strTrace.find(std::string("\"") + (LPCTSTR)check.strSigner + "\"")) << strTrace;
        EXPECT_TRUE(!*row.pszVariant || ::DeleteFileA(strFile.c_str())) << strRow << " stays open: " << ::GetLastError();
    }
}
