// The stored folder of an unfinished download in the real registry (HKLM LASTSETUPPATH): what
// SaveLastSetupPath writes from the Setup dialog's folder box, what GetLastSetupPath gives back
// (the 50-byte read limit, values of other types, a missing value or key) and RemoveLastSetupPath.
#include <gtest/gtest.h>
#include <string>
#include "app/CNewUrlDlg.h"
#include "app/LastSetupPath.h"
#include "res/resource.h"
#include "tests/support/RegistryValue.h"

namespace
{
class LastSetupPathTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // No stored folder while the dialog is built, so it asks nothing.
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE);
        ASSERT_TRUE(m_dlg.Create(IDD_DOWNLOADSETUP_DIALOG));
    }
    void TearDown() override { m_dlg.DestroyWindow(); }

    // Puts text in the folder box and stores it.
    void SaveFolderText(const std::string& strText)
    {
        m_dlg.SetDlgItemText(IDC_EDIT_FOLDER, strText.c_str());
        m_dlg.SaveLastSetupPath();
    }
    CRegistryData Stored() { return ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE); }
    std::string ReadBack() { return std::string((LPCTSTR)m_dlg.GetLastSetupPath()); }

    CSavedRegistryValue m_saved{HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE};
    CNewUrlDlg m_dlg;
};

TEST_F(LastSetupPathTest, StoresTheBoxTextExactlyAsAStringWithItsZero)
{
    SaveFolderText("C:\\Downloads\\");
    CRegistryData stored = Stored();
    ASSERT_TRUE(stored.bExists);
    EXPECT_EQ((DWORD)REG_SZ, stored.dwType);
    EXPECT_EQ(std::string("C:\\Downloads\\", 14), stored.data);  // trailing backslash and zero kept
    EXPECT_EQ("C:\\Downloads\\", ReadBack());
}

TEST_F(LastSetupPathTest, FolderOf49CharactersReadsBackWholeAndOf50ReadsEmpty)
{
    const std::string str49 = "C:\\" + std::string(46, 'a');
    ASSERT_EQ(49u, str49.size());
    SaveFolderText(str49);
    EXPECT_EQ(str49, ReadBack());

    const std::string str50 = str49 + "b";
    SaveFolderText(str50);
    EXPECT_EQ(str50 + '\0', Stored().data);  // stored whole ...
    EXPECT_EQ("", ReadBack());               // ... but beyond the read limit

    SaveFolderText(std::string(200, 'x'));
    EXPECT_EQ("", ReadBack());
}

TEST_F(LastSetupPathTest, EmptyBoxStoresAnEmptyValueThatReadsEmpty)
{
    SaveFolderText("");
    CRegistryData stored = Stored();
    ASSERT_TRUE(stored.bExists);
    EXPECT_EQ(std::string(1, '\0'), stored.data);
    EXPECT_EQ("", ReadBack());
}

TEST_F(LastSetupPathTest, BlanksAreStoredAndReadAsTheyAre)
{
    // Trimming is the Setup dialog's business: the store keeps the text unchanged.
    SaveFolderText("  C:\\Spaced  ");
    EXPECT_EQ("  C:\\Spaced  ", ReadBack());
}

TEST_F(LastSetupPathTest, MissingValueOrKeyReadsEmpty)
{
    EXPECT_EQ("", ReadBack());  // SetUp removed the value

    HKEY hSoftware = NULL;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS, &hSoftware));
    LONG lDeleted = ::RegDeleteKeyA(hSoftware, "DiredevaduDozareroViziz");
    ::RegCloseKey(hSoftware);
    ASSERT_TRUE(lDeleted == ERROR_SUCCESS || lDeleted == ERROR_FILE_NOT_FOUND);
    EXPECT_EQ("", ReadBack());

    // Storing creates the key again.
    SaveFolderText("C:\\Again");
    EXPECT_EQ("C:\\Again", ReadBack());
}

TEST_F(LastSetupPathTest, ValuesOfOtherTypesOfferNothing)
{
    ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, REG_DWORD,
                                   std::string("\x41\x42\x00\x00", 4)));
    EXPECT_EQ("", ReadBack());
    ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, REG_BINARY,
                                   std::string("C:\\Binary", 10)));
    EXPECT_EQ("", ReadBack());
    ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, REG_DWORD, std::string()));
    EXPECT_EQ("", ReadBack());
}

TEST_F(LastSetupPathTest, StringWithoutItsZeroStillReadsSafely)
{
    // A value written without a terminating zero, exactly 50 bytes long: it fits the buffer but has no
    // room for a zero of its own.
    ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, REG_SZ, std::string(50, 'z')));
    std::string strRead = ReadBack();
    EXPECT_LE(strRead.size(), 50u);
    EXPECT_EQ(std::string(strRead.size(), 'z'), strRead);

    ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, REG_SZ, std::string("C:\\NoZero")));
    EXPECT_EQ("C:\\NoZero", ReadBack());
}

TEST_F(LastSetupPathTest, RemovalDeletesTheValueAndKeepsTheKey)
{
    SaveFolderText("C:\\Pending");
    RemoveLastSetupPath();
    EXPECT_FALSE(Stored().bExists);
    HKEY hKey = NULL;
    EXPECT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, 0, KEY_READ, &hKey));
    if (hKey != NULL)
        ::RegCloseKey(hKey);
    RemoveLastSetupPath();  // nothing left to remove: harmless
    EXPECT_FALSE(Stored().bExists);
    EXPECT_EQ("", ReadBack());
}
}  // namespace
