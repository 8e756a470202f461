// CFile as the program uses it (the trace log, the existing-installer check): what the open flags
// do, and the system's error codes in the exceptions thrown (as pointers) on failures. (Appending at
// the end, the length and a failed write are read through the trace log's tests.)
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

const UINT kAppend = CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite;
const UINT kRead = CFile::modeRead | CFile::shareDenyNone, kWrite = CFile::modeWrite | CFile::shareDenyNone;
const UINT kNobody = (UINT)-1;
}  // namespace

// Each case opens a name (null: the folder itself) in a folder holding old.txt ("old") while old.txt
// is held open with nHeld; lOsError is NO_ERROR when it opens, pszOld old.txt afterwards.
TEST(CFileTest, OpenFollowsItsFlags)
{
    const struct { const char* pszName; UINT nHeld, nFlags; LONG lOsError; const char* pszOld; } cases[] = {
        {"old.txt", kNobody, CFile::modeRead, NO_ERROR, "old"},
        {"old.txt", kNobody, kAppend, NO_ERROR, "old"},
        {"old.txt", kNobody, CFile::modeCreate | CFile::modeWrite, NO_ERROR, ""},
        {"new.txt", kNobody, kAppend, NO_ERROR, "old"},
        {"missing.txt", kNobody, CFile::modeRead, ERROR_FILE_NOT_FOUND, "old"},
        {"no-dir\\f.txt", kNobody, kAppend, ERROR_PATH_NOT_FOUND, "old"},
        {nullptr, kNobody, kAppend, ERROR_ACCESS_DENIED, "old"},
        {"old.txt", kWrite, CFile::modeReadWrite | CFile::shareDenyNone, NO_ERROR, "old"},
        {"old.txt", CFile::modeWrite, kRead, ERROR_SHARING_VIOLATION, "old"},
        {"old.txt", kRead, CFile::modeRead, ERROR_SHARING_VIOLATION, "old"},
    };
    for (const auto& c : cases)
    {
        CTempFolder folder("CFileTest");
        ASSERT_TRUE(WriteWholeFile(folder.File("old.txt"), "old"));
        const std::string strPath = c.pszName != nullptr ? folder.File(c.pszName) : folder.Path();
        CFile held, file;
        ASSERT_TRUE(c.nHeld == kNobody || held.Open(folder.File("old.txt").c_str(), c.nHeld));
        CFileException error;
        EXPECT_EQ(c.lOsError == NO_ERROR, !!file.Open(strPath.c_str(), c.nFlags, &error)) << strPath << " " << c.nHeld;
        EXPECT_EQ(c.lOsError == NO_ERROR ? -1 : c.lOsError, error.m_lOsError) << strPath << " " << c.nHeld;
        EXPECT_EQ(c.lOsError == NO_ERROR ? "" : strPath, (LPCTSTR)error.m_strFileName);
        EXPECT_EQ(c.lOsError == NO_ERROR, file.m_hFile != CFile::hFileNull);
        file.Close();
        held.Close();
        EXPECT_EQ(c.pszOld, ReadWholeFile(folder.File("old.txt"))) << strPath;
    }
}

TEST(CFileTest, FailuresThrowTheSystemsErrorAndCloseLeavesNoHandle)
{
    CTempFolder folder("CFileTest");
    const std::string strPath = folder.File("f.txt");
    ASSERT_TRUE(WriteWholeFile(strPath, "x"));
    {
        CFile reader;
        ASSERT_TRUE(reader.Open(strPath.c_str(), CFile::modeRead));
        EXPECT_EQ(ERROR_ACCESS_DENIED, ErrorThrownBy([&] { reader.Write("y", 1); }));
        EXPECT_NE(0, ErrorThrownBy([&] { CFile::Remove(strPath.c_str()); })) << "a file held open stays";
        reader.Abort();
        reader.Abort();  // twice is harmless
        EXPECT_EQ(0, ErrorThrownBy([&] { CFile::Remove(strPath.c_str()); })) << "Abort closed it";
        reader.m_hFile = (HANDLE)(ULONG_PTR)0x7FF0;  // a handle value nobody owns
        EXPECT_NE(0, ErrorThrownBy([&] { reader.Close(); }));
        EXPECT_EQ(CFile::hFileNull, reader.m_hFile);
        ASSERT_TRUE(reader.Open(strPath.c_str(), kAppend));
    }
    EXPECT_EQ(0, ErrorThrownBy([&] { CFile::Remove(strPath.c_str()); })) << "the destructor closed it";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ErrorThrownBy([&] { CFile::Remove(strPath.c_str()); }));
}
