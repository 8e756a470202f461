// CFile and CFileException: opening with the framework's flags, reading, writing, seeking,
// lengths, closing, and the exceptions thrown (as pointers) on failures.
#include <gtest/gtest.h>
#include <afx.h>

#include <string>

namespace
{
// A fresh folder under the Wine prefix's temporary folder, removed with its files afterwards.
class CFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char szTemp[MAX_PATH];
        ASSERT_NE(0u, ::GetTempPathA(MAX_PATH, szTemp));
        m_strDir.Format("%sCFileTest-%lu-%lu", szTemp, ::GetCurrentProcessId(), ::GetTickCount());
        ASSERT_TRUE(::CreateDirectoryA(m_strDir, nullptr));
    }

    void TearDown() override
    {
        WIN32_FIND_DATAA fd;
        HANDLE hFind = ::FindFirstFileA(m_strDir + "\\*", &fd);
        if (hFind != INVALID_HANDLE_VALUE)
        {
            do
            {
                CString strPath = m_strDir + "\\" + fd.cFileName;
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    ::RemoveDirectoryA(strPath);
                else
                {
                    ::SetFileAttributesA(strPath, FILE_ATTRIBUTE_NORMAL);
                    ::DeleteFileA(strPath);
                }
            } while (::FindNextFileA(hFind, &fd));
            ::FindClose(hFind);
        }
        ::RemoveDirectoryA(m_strDir);
    }

    CString PathOf(LPCTSTR pszName) const { return m_strDir + "\\" + pszName; }

    static void WriteRaw(const CString& strPath, const std::string& data)
    {
        HANDLE h = ::CreateFileA(strPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD dw = 0;
        ::WriteFile(h, data.data(), (DWORD)data.size(), &dw, nullptr);
        ::CloseHandle(h);
    }

    static std::string ReadRaw(const CString& strPath)
    {
        HANDLE h = ::CreateFileA(strPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return "<missing>";
        std::string data(::GetFileSize(h, nullptr), '\0');
        DWORD dw = 0;
        if (!data.empty())
            ::ReadFile(h, &data[0], (DWORD)data.size(), &dw, nullptr);
        ::CloseHandle(h);
        return data;
    }

    static bool Exists(const CString& strPath) { return ::GetFileAttributesA(strPath) != INVALID_FILE_ATTRIBUTES; }

    CString m_strDir;
};

// Runs f and answers the cause of the CFileException* it throws, or -1 if it throws none.
template <typename F>
int CauseThrownBy(F f, LONG* plOsError = nullptr)
{
    try
    {
        f();
    }
    catch (CFileException* e)
    {
        int nCause = e->m_cause;
        if (plOsError != nullptr)
            *plOsError = e->m_lOsError;
        e->Delete();
        return nCause;
    }
    return -1;
}
}  // namespace

TEST_F(CFileTest, OpenOfAMissingFileFailsWithTheReasonAndNeverThrows)
{
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(PathOf("missing.bin"), CFile::modeRead, &error));
    EXPECT_EQ(CFileException::fileNotFound, error.m_cause);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, error.m_lOsError);
    EXPECT_NE(-1, error.m_strFileName.Find("missing.bin"));
    EXPECT_EQ(CFile::hFileNull, file.m_hFile);
    EXPECT_FALSE(file.Open(PathOf("missing.bin"), CFile::modeRead));
    EXPECT_FALSE(Exists(PathOf("missing.bin")));

    EXPECT_FALSE(file.Open(PathOf("no-such-dir\\f.bin"), CFile::modeCreate | CFile::modeWrite, &error));
    EXPECT_EQ(CFileException::badPath, error.m_cause);
}

TEST_F(CFileTest, ConstructorWithAPathThrowsAFileExceptionPointer)
{
    CString strPath = PathOf("absent.bin");
    LONG lOsError = 0;
    EXPECT_EQ(CFileException::fileNotFound, CauseThrownBy([&] { CFile file(strPath, CFile::modeRead); }, &lOsError));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, lOsError);

    try
    {
        CFile file(strPath, CFile::modeRead);
        FAIL() << "no exception";
    }
    catch (CException* e)
    {
        EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CFileException)));
        EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CException)));
        EXPECT_FALSE(e->IsKindOf(RUNTIME_CLASS(CFile)));
        e->Delete();
    }
}

TEST_F(CFileTest, WritesReadsAndSeeks)
{
    CString strPath = PathOf("data.bin");
    CFile file(strPath, CFile::modeCreate | CFile::modeReadWrite);
    EXPECT_EQ(0u, file.GetLength());
    file.Write("0123456789", 10);
    EXPECT_EQ(10u, file.GetLength());
    EXPECT_EQ(10u, file.GetPosition());

    EXPECT_EQ(3, file.Seek(3, CFile::begin));
    char buf[16] = {};
    EXPECT_EQ(4u, file.Read(buf, 4));
    EXPECT_STREQ("3456", buf);
    EXPECT_EQ(5, file.Seek(-2, CFile::current));
    EXPECT_EQ(8, file.Seek(-2, CFile::end));
    EXPECT_EQ(2u, file.Read(buf, sizeof(buf)));
    EXPECT_EQ(0u, file.Read(buf, sizeof(buf)));  // at the end

    file.SeekToBegin();
    EXPECT_EQ(0u, file.GetPosition());
    EXPECT_EQ(10u, file.SeekToEnd());
    file.Write("ab", 2);
    file.SetLength(4);
    EXPECT_EQ(4u, file.GetLength());
    file.Flush();
    EXPECT_EQ(0, file.GetFilePath().CompareNoCase(strPath)) << (LPCTSTR)file.GetFilePath();
    EXPECT_EQ("data.bin", std::string(file.GetFileName()));
    file.Close();
    EXPECT_EQ(CFile::hFileNull, file.m_hFile);
    EXPECT_TRUE(file.GetFilePath().IsEmpty());
    EXPECT_EQ("0123", ReadRaw(strPath));
}

TEST_F(CFileTest, SeekBeforeTheStartThrowsBadSeek)
{
    CFile file(PathOf("seek.bin"), CFile::modeCreate | CFile::modeReadWrite);
    file.Write("abc", 3);
    EXPECT_EQ(CFileException::badSeek, CauseThrownBy([&] { file.Seek(-10, CFile::begin); }));
    EXPECT_EQ(CFileException::badSeek, CauseThrownBy([&] { file.Seek(-4, CFile::end); }));
    EXPECT_EQ(3u, file.GetPosition());  // a failed seek leaves the position
}

TEST_F(CFileTest, CreateTruncatesUnlessNoTruncateIsGiven)
{
    CString strPath = PathOf("keep.txt");
    WriteRaw(strPath, "existing");
    {
        CFile file(strPath, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite);
        EXPECT_EQ(8u, file.GetLength());
        file.SeekToEnd();
        file.Write("+more", 5);
    }
    EXPECT_EQ("existing+more", ReadRaw(strPath));
    {
        CFile file(strPath, CFile::modeCreate | CFile::modeWrite);
        EXPECT_EQ(0u, file.GetLength());
    }
    EXPECT_EQ("", ReadRaw(strPath));

    CString strNew = PathOf("new.txt");
    {
        CFile file(strNew, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite);
    }
    EXPECT_TRUE(Exists(strNew));
}

TEST_F(CFileTest, WritingAFileOpenedForReadingThrows)
{
    CString strPath = PathOf("readonly.txt");
    WriteRaw(strPath, "x");
    CFile file(strPath, CFile::modeRead | CFile::shareDenyNone);
    EXPECT_EQ(CFileException::accessDenied, CauseThrownBy([&] { file.Write("y", 1); }));
    EXPECT_EQ("x", ReadRaw(strPath));
}

TEST_F(CFileTest, FolderCannotBeOpenedAsAFile)
{
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(m_strDir, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite, &error));
    EXPECT_EQ(CFileException::accessDenied, error.m_cause);
    EXPECT_EQ(ERROR_ACCESS_DENIED, error.m_lOsError);
    EXPECT_EQ(CFile::hFileNull, file.m_hFile);
}

TEST_F(CFileTest, ShareModesDecideWhoElseMayOpen)
{
    CString strPath = PathOf("shared.txt");
    WriteRaw(strPath, "x");
    {
        CFile first(strPath, CFile::modeWrite | CFile::shareDenyNone);
        CFile second;
        EXPECT_TRUE(second.Open(strPath, CFile::modeReadWrite | CFile::shareDenyNone));
    }
    {
        CFile first(strPath, CFile::modeWrite | CFile::shareExclusive);
        CFile second;
        CFileException error;
        EXPECT_FALSE(second.Open(strPath, CFile::modeRead | CFile::shareDenyNone, &error));
        EXPECT_EQ(CFileException::sharingViolation, error.m_cause);
    }
    {
        CFile first(strPath, CFile::modeRead | CFile::shareDenyWrite);
        CFile reader, writer;
        EXPECT_TRUE(reader.Open(strPath, CFile::modeRead | CFile::shareDenyNone));
        EXPECT_FALSE(writer.Open(strPath, CFile::modeWrite | CFile::shareDenyNone));
    }
}

TEST_F(CFileTest, DestructorClosesAnOpenedFileButNotAnAttachedHandle)
{
    CString strPath = PathOf("closed.txt");
    {
        CFile file(strPath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
        file.Write("z", 1);
    }
    CFile again;
    EXPECT_TRUE(again.Open(strPath, CFile::modeRead | CFile::shareExclusive));  // nobody holds it any more
    again.Close();

    HANDLE h = ::CreateFileA(strPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    {
        CFile attached(h);
        EXPECT_EQ(1u, attached.GetLength());
    }
    DWORD dwFlags = 0;
    EXPECT_TRUE(::GetHandleInformation(h, &dwFlags));  // still open
    ::CloseHandle(h);
}

TEST_F(CFileTest, CloseOfABadHandleThrowsAndAbortNever)
{
    CString strPath = PathOf("abort.txt");
    CFile file(strPath, CFile::modeCreate | CFile::modeWrite);
    HANDLE hReal = file.m_hFile;
    file.Abort();
    EXPECT_EQ(CFile::hFileNull, file.m_hFile);
    file.Abort();  // twice is harmless

    CFile bad((HANDLE)(ULONG_PTR)0x7FF0);  // a handle value nobody owns
    EXPECT_NE(-1, CauseThrownBy([&] { bad.Close(); }));
    EXPECT_EQ(CFile::hFileNull, bad.m_hFile);
    DWORD dwFlags = 0;
    EXPECT_FALSE(::GetHandleInformation(hReal, &dwFlags));  // Abort closed it
}

TEST_F(CFileTest, RemoveAndRenameThrowOnFailure)
{
    CString strPath = PathOf("victim.txt");
    WriteRaw(strPath, "v");
    CFile::Rename(strPath, PathOf("renamed.txt"));
    EXPECT_FALSE(Exists(strPath));
    EXPECT_EQ("v", ReadRaw(PathOf("renamed.txt")));

    CFile::Remove(PathOf("renamed.txt"));
    EXPECT_FALSE(Exists(PathOf("renamed.txt")));

    LONG lOsError = 0;
    EXPECT_EQ(CFileException::fileNotFound, CauseThrownBy([&] { CFile::Remove(PathOf("renamed.txt")); }, &lOsError));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, lOsError);
    EXPECT_EQ(CFileException::fileNotFound,
              CauseThrownBy([&] { CFile::Rename(PathOf("gone.txt"), PathOf("other.txt")); }));

    // A file held open without delete sharing cannot be removed.
    CString strHeld = PathOf("held.txt");
    CFile held(strHeld, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    EXPECT_NE(-1, CauseThrownBy([&] { CFile::Remove(strHeld); }));
    held.Close();
    EXPECT_EQ(-1, CauseThrownBy([&] { CFile::Remove(strHeld); }));
}

TEST(CFileExceptionTest, MapsSystemErrorsToCauses)
{
    EXPECT_EQ(CFileException::none, CFileException::OsErrorToException(NO_ERROR));
    EXPECT_EQ(CFileException::fileNotFound, CFileException::OsErrorToException(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CFileException::badPath, CFileException::OsErrorToException(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(CFileException::accessDenied, CFileException::OsErrorToException(ERROR_ACCESS_DENIED));
    EXPECT_EQ(CFileException::sharingViolation, CFileException::OsErrorToException(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(CFileException::diskFull, CFileException::OsErrorToException(ERROR_DISK_FULL));
    EXPECT_EQ(CFileException::diskFull, CFileException::OsErrorToException(ERROR_HANDLE_DISK_FULL));
    EXPECT_EQ(CFileException::badSeek, CFileException::OsErrorToException(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(CFileException::generic, CFileException::OsErrorToException(ERROR_INVALID_FUNCTION + 99999));

    // ThrowOsError throws nothing for 0.
    EXPECT_EQ(-1, CauseThrownBy([] { CFileException::ThrowOsError(0); }));
    EXPECT_EQ(CFileException::tooManyOpenFiles,
              CauseThrownBy([] { CFileException::ThrowOsError(ERROR_TOO_MANY_OPEN_FILES, "f"); }));

    CFileException stackError(CFileException::diskFull, ERROR_DISK_FULL, "x.bin");
    char szMessage[256];
    EXPECT_TRUE(stackError.GetErrorMessage(szMessage, sizeof(szMessage)));
    EXPECT_NE('\0', szMessage[0]);
}
