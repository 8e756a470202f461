// The stored folder of an unfinished download in the real registry (HKLM LASTSETUPPATH): what
// SaveLastSetupPath stores from the Setup dialog's folder box, what GetLastSetupPath gives back (the
// 50-byte read limit, values of other types or without their zero, a missing value or key), and
// RemoveLastSetupPath.
#include <gtest/gtest.h>
#include <string>
#include "app/CNewUrlDlg.h"
#include "app/LastSetupPath.h"
#include "res/resource.h"
#include "tests/support/RegistryValue.h"

TEST(LastSetupPathTest, WhatIsStoredAndWhatReadsBack)
{
    CSavedRegistryValue saved(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE);
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE);  // the dialog asks nothing
    CNewUrlDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_DOWNLOADSETUP_DIALOG));
    auto stored = [] { return ReadRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE); };
    auto readBack = [&] { return std::string((LPCTSTR)dlg.GetLastSetupPath()); };

    EXPECT_EQ("", readBack());  // no value
    ASSERT_TRUE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, LASTSETUP_KEY));
    EXPECT_EQ("", readBack());  // no key

    // The box's text is stored exactly (blanks, a trailing backslash, its zero); 49 characters read
    // back, 50 and more are stored but read as nothing.
    const std::string str49 = "C:\\" + std::string(46, 'a');
    struct Saved
    {
        std::string strText, strReadBack;
    } texts[] = {{"C:\\Downloads\\", "C:\\Downloads\\"}, {"  C:\\Spaced  ", "  C:\\Spaced  "}, {"", ""},
                 {str49, str49}, {str49 + "b", ""}, {std::string(200, 'x'), ""}};
    for (const Saved& c : texts)
    {
        dlg.SetDlgItemText(IDC_EDIT_FOLDER, c.strText.c_str());
        dlg.SaveLastSetupPath();
        EXPECT_EQ((DWORD)REG_SZ, stored().dwType);
        EXPECT_EQ(c.strText + '\0', stored().data);
        EXPECT_EQ(c.strReadBack, readBack());
    }

    // Values of other types offer nothing; a string without its zero still reads safely.
    struct Written
    {
        DWORD dwType;
        std::string data, strReadBack;
    } values[] = {{REG_DWORD, std::string("AB\0\0", 4), ""}, {REG_BINARY, std::string("C:\\Binary", 10), ""},
                  {REG_DWORD, "", ""}, {REG_SZ, "C:\\NoZero", "C:\\NoZero"}, {REG_SZ, std::string(50, 'z'), "?"}};
    for (const Written& c : values)
    {
        ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, LASTSETUP_VALUE, c.dwType, c.data));
        const std::string strRead = readBack();
        if (c.strReadBack == "?")  // exactly 50 bytes: some of them, never more
            EXPECT_EQ(std::string(strRead.size(), 'z'), strRead.substr(0, 50));
        else
            EXPECT_EQ(c.strReadBack, strRead);
    }

    // Removal deletes the value and keeps the key; a second removal is harmless.
    RemoveLastSetupPath();
    RemoveLastSetupPath();
    EXPECT_FALSE(stored().bExists);
    HKEY hKey = NULL;
    EXPECT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, LASTSETUP_KEY, 0, KEY_READ, &hKey));
    ::RegCloseKey(hKey);
    dlg.DestroyWindow();
}
