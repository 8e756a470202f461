// CFile::Open with the program's flags: the existing-installer check reads, the trace log appends.
// (Writing, its failures, Abort, Remove and the destructor's close are read through the trace log's
// tests; folders and missing folders too.)
#include <gtest/gtest.h>
#include <afx.h>
#include <string>
#include "tests/support/E2eProgram.h"

// Each case opens a name in a folder holding old.txt ("old"), which none of them changes.
TEST(CFileTest, OpenFollowsItsFlags)
{
    const UINT kAppend = CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareDenyNone;
    const UINT kRead = CFile::modeRead | CFile::shareDenyNone;
    const struct { const char* pszName; UINT nFlags; bool bOpens; } cases[] = {
        {"old.txt", kRead, true}, {"old.txt", kAppend, true}, {"new.txt", kAppend, true}, {"none.txt", kRead, false}};
    for (const auto& c : cases)
    {
        CTempFolder folder("CFileTest");
        ASSERT_TRUE(WriteWholeFile(folder.File("old.txt"), "old"));
        const std::string strPath = folder.File(c.pszName);
        CFile file;
        EXPECT_EQ(c.bOpens, !!file.Open(strPath.c_str(), c.nFlags)) << strPath;
        EXPECT_EQ(c.bOpens, file.m_hFile != CFile::hFileNull) << strPath;
        file.Close();
        EXPECT_EQ("old", ReadWholeFile(folder.File("old.txt"))) << strPath;
    }
}
