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
std::string SignedSample(const char* pszVariant)
{
    return std::string(DLS_SIGNED_SAMPLE_DIR) + "\\" + pszVariant + "\\brindlemox.exe";
}

const char kNotGenuine[] = "The downloaded file is not the genuine installer and was deleted: ";
}  // namespace

TEST(PublisherCheck, SignatureAndSignerOfEachSample)
{
    const char *kTest = DLS_TEST_PUBLISHER, *kOther = DLS_OTHER_PUBLISHER;
    const HRESULT kNoSignature = 0x800B0100, kBadDigest = 0x80096010;
    const HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    // The sample's variant ("" none, "text" a file that is no program), the expected publisher, and
    // the verdict, result, signer (null: whatever the system reads from a signature that does not
    // match; Wine reads none) and sentence.
    const struct { const char *pszVariant, *pszExpected; PUBLISHER_VERDICT nVerdict; HRESULT hr;
                   const char *pszSigner; std::string strSentence; } rows[] = {
        {"signed", kTest, PUBLISHER_GENUINE, S_OK, kTest, std::string("The downloaded installer is signed by ") + kTest + "."},
        {"unsigned", kTest, PUBLISHER_NOT_SIGNED, kNoSignature, "", std::string(kNotGenuine) + "it is not signed."},
        {"tampered", kTest, PUBLISHER_BAD_SIGNATURE, kBadDigest, nullptr,
         std::string(kNotGenuine) + "its signature does not match the file."},
        {"other", kTest, PUBLISHER_OTHER, S_OK, kOther,
         std::string(kNotGenuine) + "it is signed by another publisher, " + kOther + "."},
        // Zero bytes appended to the program before signing are covered by the signature: the changed
        // byte of sized-tampered is one of them (half way into the signed part of the 3 MB file).
        {"sized", kTest, PUBLISHER_GENUINE, S_OK, kTest, std::string("The downloaded installer is signed by ") + kTest + "."},
        {"sized-tampered", kTest, PUBLISHER_BAD_SIGNATURE, kBadDigest, nullptr,
         std::string(kNotGenuine) + "its signature does not match the file."},
        // The product's publisher refuses the test publisher's signature; no publisher checks nothing.
        {"signed", "Brindlemox Software", PUBLISHER_OTHER, S_OK, kTest,
         std::string(kNotGenuine) + "it is signed by another publisher, " + kTest + "."},
        {"signed", "", PUBLISHER_NOT_CHECKED, S_OK, "", "The publisher of the downloaded file is not checked by this build."},
        {"text", kTest, PUBLISHER_NOT_SIGNED, 0, "", std::string(kNotGenuine) + "it is not signed."},
        {"", kTest, PUBLISHER_UNREADABLE, kNotFound, "", "The downloaded file could not be read to check its publisher."},
    };
    for (const auto& row : rows)
    {
        const std::string strRow = std::string(row.pszVariant) + " expecting \"" + row.pszExpected + "\"";
        CTempFolder folder("PublisherCheckTest");
        const std::string strFile = folder.File("brindlemox.exe");
        if (strcmp(row.pszVariant, "text") == 0)
        {
            ASSERT_TRUE(WriteWholeFile(strFile, "MZ, but no program"));
        }
        else if (*row.pszVariant != '\0')
        {
            ASSERT_TRUE(::CopyFileA(SignedSample(row.pszVariant).c_str(), strFile.c_str(), FALSE)) << strRow;
        }

        const PUBLISHER_CHECK check = CheckPublisher(strFile.c_str(), row.pszExpected);
        EXPECT_EQ(row.nVerdict, check.nVerdict) << strRow;
        if (row.hr != 0)  // the text file's result is Wine's own choice of refusal
        {
            EXPECT_EQ(row.hr, check.hrTrust) << strRow << " 0x" << std::hex << check.hrTrust;
        }
        if (row.pszSigner != nullptr)
        {
            EXPECT_STREQ(row.pszSigner, check.strSigner) << strRow;
        }
        EXPECT_EQ(row.strSentence, (LPCTSTR)PublisherCheckSentence(check)) << strRow;
        // The trace line carries the result code and the signer.
        char szCode[16];
        snprintf(szCode, sizeof(szCode), "0x%08lX", static_cast<unsigned long>(check.hrTrust));
        const std::string strTrace = (LPCTSTR)PublisherCheckTrace(check);
        EXPECT_NE(std::string::npos, strTrace.find(szCode)) << strTrace;
        EXPECT_NE(std::string::npos, strTrace.find(std::string("\"") + (LPCTSTR)check.strSigner + "\"")) << strTrace;
        if (*row.pszVariant != '\0')
        {
            EXPECT_TRUE(::DeleteFileA(strFile.c_str())) << strRow << " stays open: " << ::GetLastError();
        }
    }
}

namespace
{
// Systems without the functions: no wintrust.dll at all, or a crypt32.dll without CertGetNameStringA.
HMODULE WINAPI LoadNothing(LPCSTR) { return NULL; }
HMODULE WINAPI LoadOldCrypt32(LPCSTR pszModule)
{
    return ::LoadLibraryA(lstrcmpiA(pszModule, "crypt32.dll") == 0 ? "kernel32.dll" : pszModule);
}
}  // namespace

TEST(PublisherCheck, WithoutTheFunctionsThePublisherCannotBeChecked)
{
    for (auto pfnLoad : {LoadNothing, LoadOldCrypt32})
    {
        g_pfnPublisherCheckLoadLibrary = pfnLoad;
        const PUBLISHER_CHECK check = CheckPublisher(SignedSample("unsigned").c_str(), DLS_TEST_PUBLISHER);
        g_pfnPublisherCheckLoadLibrary = ::LoadLibraryA;
        EXPECT_EQ(PUBLISHER_CANNOT_CHECK, check.nVerdict);
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), check.hrTrust);
        EXPECT_STREQ("The publisher of the downloaded file could not be checked on this version of Windows.",
                     PublisherCheckSentence(check));
    }
}
