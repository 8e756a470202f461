// CFile as the program uses it (the trace log, the existing-installer check): what the open flags
// do, and the system's error codes in the exceptions thrown (as pointers) on failures. (Appending at
// the end, the length, Abort and Remove are read through the trace log's tests.)
#include <gtest/gtest.h>
#include <afx.h>
#include <string>
#include "tests/support/E2eProgram.h"

namespace
{
// Runs f and answers the system error of the CFileException* it throws, or 0 if it throws none.
template <typename F> LONG ErrorThrownBy(F f)
{
    try
    {
        f();
    }
    catch (CFileException* e)
    {
        const LONG lOsError = e->m_lOsError;
        e->Delete();
        return lOsError;
    }
    return 0;
}

const UINT kAppend = CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareDenyNone;
const UINT kRead = CFile::modeRead | CFile::shareDenyNone;
}  // namespace

// Each case opens a name in a folder holding old.txt ("old") with the program's flags (the existing-
// installer check reads, the trace log appends); lOsError is NO_ERROR when it opens, pszOld old.txt
// afterwards. (Folders and missing folders are read through the trace log's tests.)
TEST(CFileTest, OpenFollowsItsFlags)
{
    const struct { const char* pszName; UINT nFlags; LONG lOsError; const char* pszOld; } cases[] = {
        {"old.txt", kRead, NO_ERROR, "old"},
        {"old.txt", kAppend, NO_ERROR, "old"},
        {"new.txt", kAppend, NO_ERROR, "old"},
        {"missing.txt", kRead, ERROR_FILE_NOT_FOUND, "old"},
    };
    for (const auto& c : cases)
    {
        CTempFolder folder("CFileTest");
        ASSERT_TRUE(WriteWholeFile(folder.File("old.txt"), "old"));
        const std::string strPath = folder.File(c.pszName);
        CFile file;
        CFileException error;
        EXPECT_EQ(c.lOsError == NO_ERROR, !!file.Open(strPath.c_str(), c.nFlags, &error)) << strPath;
        EXPECT_EQ(c.lOsError == NO_ERROR ? -1 : c.lOsError, error.m_lOsError) << strPath;
        EXPECT_EQ(c.lOsError == NO_ERROR, file.m_hFile != CFile::hFileNull);
        file.Close();
        EXPECT_EQ(c.pszOld, ReadWholeFile(folder.File("old.txt"))) << strPath;
    }
}

TEST(CFileTest, AFailedWriteThrowsTheSystemsErrorAndTheDestructorCloses)
{
    CTempFolder folder("CFileTest");
    const std::string strPath = folder.File("f.txt");
    ASSERT_TRUE(WriteWholeFile(strPath, "x"));
    {
        CFile reader;
        ASSERT_TRUE(reader.Open(strPath.c_str(), kRead));
        EXPECT_EQ(ERROR_ACCESS_DENIED, ErrorThrownBy([&] { reader.Write("y", 1); }));
    }
    EXPECT_EQ(0, ErrorThrownBy([&] { CFile::Remove(strPath.c_str()); })) << "the destructor closed it";
}
