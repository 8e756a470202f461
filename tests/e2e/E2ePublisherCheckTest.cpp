// Only the publisher's signed installer is declared complete: a served file that is not signed, was
// changed after signing, or is signed by another publisher ends with the sentence that says why, is
// deleted, leaves Open disabled and no stored folder, and the next Start/Resume downloads it anew. A
// body of unknown length that is cut short is never complete. (The genuine one is opened by the
// fresh-download test.)
#include "res/resource.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/E2eProgram.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/WindowDriver.h"

using E2ePublisherCheck = CE2eTest;

namespace
{
const char kNotGenuine[] = "The downloaded file is not the genuine installer and was deleted: ";
std::string Sample(const char* pszVariant)
{
    return ReadWholeFile(E2eEnv("DLS_BUILD_DIR_WIN") + "\\sample-signed\\" + pszVariant + "\\brindlemox.exe");
}
}  // namespace

TEST_F(E2ePublisherCheck, AFileThatIsNotTheGenuineInstallerIsDeletedAndDownloadedAnew)
{
    CServedInstaller served;
    const struct { const char *pszVariant, *pszReason, *pszTrace; } rows[] = {
        {"unsigned", "it is not signed.", "not signed, result 0x800B0100, signer \"\""},
        {"tampered", "its signature does not match the file.", "signature does not match, result 0x80096010, signer \"\""},
        {"other", "it is signed by another publisher, Someone Else Ltd.",
         "other publisher, result 0x00000000, signer \"Someone Else Ltd\""}};
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.pszVariant);
        CTempFolder folder("publisher");
        const std::string strTarget = folder.File("brindlemox.exe");
        ASSERT_TRUE(WriteWholeFile(served.LocalFile(), Sample(row.pszVariant)));
        CDialogTraceLog log;
        CProgramRun program(E2eProgram("E2E"));
        HWND hDownload = program.StartDownload(folder.Path());
        ASSERT_TRUE(hDownload);
        ASSERT_NO_FATAL_FAILURE(program.ExpectEnd(hDownload, kNotGenuine + std::string(row.pszReason)));
        EXPECT_FALSE(FileExists(strTarget));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hDownload, IDC_OPEN)));
        EXPECT_EQ("", StoredFolder());
        EXPECT_EQ(1, log.Count(std::string("Publisher check: ") + row.pszTrace + " for " + strTarget));
        // The genuine installer on the server now: Start/Resume fetches it from its first byte.
        ASSERT_TRUE(WriteWholeFile(served.LocalFile(), Sample("signed")));
        ASSERT_TRUE(ClickButton(hDownload, IDC_START));
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindowEnabled(::GetDlgItem(hDownload, IDC_START)); }, kStepWait));
        program.Finish(hDownload, strTarget, Sample("signed"));
    }
}

TEST_F(E2ePublisherCheck, ABodyOfUnknownLengthCutShortIsNeverComplete)
{
    const std::string strSigned = Sample("signed");
    ScriptedHttpServer server;
    ASSERT_TRUE(server.Start(
        [&](const ScriptedRequest&) { return ScriptedResponse{200, "OK", {}, false, strSigned, strSigned.size() / 2}; },
        DLS_SCRIPTED_PORT));
    CTempFolder folder("unknown-length");
    CProgramRun program(E2eProgram("E2EScripted"));
    HWND hDownload = program.StartDownload(folder.Path());
    ASSERT_TRUE(hDownload);
    std::string strStatus;
    ASSERT_TRUE(WaitUntil([&] {
        strStatus = ItemTextOf(hDownload, IDC_SERVERSTATUS);
        return ::IsWindowEnabled(::GetDlgItem(hDownload, IDC_START)) && strStatus.find(kNotGenuine) == 0;
    }, kStepWait)) << strStatus;
    EXPECT_FALSE(FileExists(folder.File("brindlemox.exe")));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hDownload, IDC_OPEN)));
}
