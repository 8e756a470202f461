// CString: construction, sharing and copy-on-write, concatenation, comparison, formatting,
// trimming, searching, extraction, replacing, and copies handed between threads.
#include <gtest/gtest.h>
#include <afx.h>

#include <string.h>
#include <atomic>
#include <string>
#include "tests/support/TestThread.h"

namespace
{
// Reads the buffer header that the string keeps in front of its characters.
class CStringProbe : public CString
{
public:
    using CString::CString;
    static LONG RefsOf(const CString& s) { return static_cast<const CStringProbe&>(s).GetData()->nRefs; }
    static int AllocOf(const CString& s) { return static_cast<const CStringProbe&>(s).GetData()->nAllocLength; }
};

std::string Str(const CString& s) { return std::string((LPCTSTR)s, s.GetLength()); }
}  // namespace

TEST(CStringTest, ConstructsFromPointersCharsAndCounts)
{
    EXPECT_EQ("", Str(CString()));
    EXPECT_EQ("", Str(CString((LPCSTR) nullptr)));
    EXPECT_EQ("abc", Str(CString("abc")));
    EXPECT_EQ("ab", Str(CString("abcdef", 2)));
    EXPECT_EQ("", Str(CString("abcdef", 0)));
    EXPECT_EQ("xxxx", Str(CString('x', 4)));
    EXPECT_EQ("y", Str(CString('y')));
    EXPECT_EQ("", Str(CString('y', 0)));
    const unsigned char uz[] = {'u', 'v', 0};
    EXPECT_EQ("uv", Str(CString(uz)));

    CString s("hello");
    EXPECT_EQ(5, s.GetLength());
    EXPECT_FALSE(s.IsEmpty());
    EXPECT_EQ('e', s.GetAt(1));
    EXPECT_EQ('o', s[4]);
    EXPECT_EQ('\0', ((LPCTSTR)s)[5]);
}

TEST(CStringTest, AllEmptyStringsShareOneBuffer)
{
    CString a, b((LPCSTR) nullptr), c("");
    CString d("text");
    d.Empty();
    CString e("abc");
    e = "";
    EXPECT_EQ((LPCTSTR)a, (LPCTSTR)b);
    EXPECT_EQ((LPCTSTR)a, (LPCTSTR)c);
    EXPECT_EQ((LPCTSTR)a, (LPCTSTR)d);
    EXPECT_EQ((LPCTSTR)a, (LPCTSTR)e);
    EXPECT_TRUE(d.IsEmpty());
    EXPECT_EQ(0, d.GetLength());
}

TEST(CStringTest, CopiesShareTheBufferUntilOneChanges)
{
    CString original("shared text");
    CString copy(original);
    CString assigned;
    assigned = original;
    EXPECT_EQ((LPCTSTR)original, (LPCTSTR)copy);
    EXPECT_EQ((LPCTSTR)original, (LPCTSTR)assigned);
    EXPECT_EQ(3, CStringProbe::RefsOf(original));

    copy.SetAt(0, 'S');
    copy += "!";
    assigned.MakeUpper();
    EXPECT_EQ("shared text", Str(original));
    EXPECT_EQ("Shared text!", Str(copy));
    EXPECT_EQ("SHARED TEXT", Str(assigned));
    EXPECT_EQ(1, CStringProbe::RefsOf(original));
}

TEST(CStringTest, GetBufferGivesAPrivateBufferAndReleaseBufferSetsTheLength)
{
    CString original("1234");
    CString copy = original;
    LPTSTR p = copy.GetBuffer(20);
    EXPECT_NE((LPCTSTR)original, p);
    EXPECT_STREQ("1234", p);
    strcpy(p, "a longer text");
    copy.ReleaseBuffer();
    EXPECT_EQ("1234", Str(original));
    EXPECT_EQ("a longer text", Str(copy));
    EXPECT_EQ(13, copy.GetLength());

    p = copy.GetBuffer(0);
    p[1] = '-';
    copy.ReleaseBuffer(3);
    EXPECT_EQ("a-l", Str(copy));

    CString empty;
    LPTSTR pEmpty = empty.GetBuffer(0);
    pEmpty[0] = '\0';
    empty.ReleaseBuffer();
    EXPECT_EQ("", Str(CString()));  // the shared empty buffer was not written through

    CString sized;
    p = sized.GetBufferSetLength(3);
    memcpy(p, "xyz", 3);
    EXPECT_EQ("xyz", Str(sized));
    EXPECT_GE(CStringProbe::AllocOf(sized), 3);
}

TEST(CStringTest, AssignsAndConcatenatesInEveryCombination)
{
    CString s;
    s = "abc";
    EXPECT_EQ("abc", Str(s));
    s = 'z';
    EXPECT_EQ("z", Str(s));
    s = (LPCSTR) nullptr;
    EXPECT_TRUE(s.IsEmpty());

    CString a("ab"), b("cd");
    EXPECT_EQ("abcd", Str(a + b));
    EXPECT_EQ("ab!", Str(a + '!'));
    EXPECT_EQ("!ab", Str('!' + a));
    EXPECT_EQ("abxy", Str(a + "xy"));
    EXPECT_EQ("xyab", Str("xy" + a));
    EXPECT_EQ("ab", Str(a + (LPCSTR) nullptr));

    CString t("12");
    t += t;
    EXPECT_EQ("1212", Str(t));
    t += '3';
    t += "45";
    t += CString("67");
    EXPECT_EQ("1212345" "67", Str(t));

    // Repeated appends keep every character.
    CString built;
    for (int i = 0; i < 2000; ++i)
        built += (char)('a' + i % 26);
    ASSERT_EQ(2000, built.GetLength());
    EXPECT_EQ('a', built[0]);
    EXPECT_EQ((char)('a' + 1999 % 26), built[1999]);

    // Assigning a tail of the string's own buffer.
    CString self("0123456789");
    self = (LPCTSTR)self + 4;
    EXPECT_EQ("456789", Str(self));
}

TEST(CStringTest, ComparesLikeStrcmpAndIgnoresCaseOnRequest)
{
    CString s("Beta");
    EXPECT_TRUE(s == "Beta");
    EXPECT_TRUE("Beta" == s);
    EXPECT_TRUE(s == CString("Beta"));
    EXPECT_TRUE(s != "beta");
    EXPECT_TRUE(s < "Gamma");
    EXPECT_TRUE(s > "Alpha");
    EXPECT_TRUE("Alpha" < s);
    EXPECT_TRUE("Gamma" > s);
    EXPECT_TRUE(s <= "Beta");
    EXPECT_TRUE(s >= "Beta");
    EXPECT_FALSE(s < CString("Beta"));
    EXPECT_EQ(0, s.Compare("Beta"));
    EXPECT_LT(s.Compare("Betb"), 0);
    EXPECT_GT(s.Compare("Bet"), 0);
    EXPECT_EQ(0, s.CompareNoCase("bETA"));
    EXPECT_LT(s.CompareNoCase("GAMMA"), 0);
    EXPECT_GT(s.Compare((LPCSTR) nullptr), 0);
}

TEST(CStringTest, FormatsAnyLength)
{
    CString s;
    s.Format("%d of %u: %s %c %05.1f %%", -3, 7u, "items", 'x', 2.5);
    EXPECT_EQ("-3 of 7: items x 002.5 %", Str(s));

    s.Format("%lu bytes", 4294967295UL);
    EXPECT_EQ("4294967295 bytes", Str(s));

    std::string longText(10000, 'q');
    s.Format("[%s]", longText.c_str());
    EXPECT_EQ("[" + longText + "]", Str(s));

    s.Format("");
    EXPECT_TRUE(s.IsEmpty());

    // An argument that is the string itself.
    CString self("abc");
    self.Format("%s-%s", (LPCTSTR)self, (LPCTSTR)self);
    EXPECT_EQ("abc-abc", Str(self));
}

TEST(CStringTest, TrimsWhiteSpaceOrAChosenCharacter)
{
    CString s(" \t\r\n text with  inner space \t\r\n ");
    CString copy = s;
    s.TrimLeft();
    EXPECT_EQ("text with  inner space \t\r\n ", Str(s));
    s.TrimRight();
    EXPECT_EQ("text with  inner space", Str(s));
    EXPECT_EQ(" \t\r\n text with  inner space \t\r\n ", Str(copy));

    CString blanks("   \t ");
    blanks.TrimRight();
    EXPECT_TRUE(blanks.IsEmpty());
    CString blanks2("  ");
    blanks2.TrimLeft();
    EXPECT_TRUE(blanks2.IsEmpty());

    CString zeros("000120300");
    zeros.TrimLeft('0');
    EXPECT_EQ("120300", Str(zeros));
    zeros.TrimRight('0');
    EXPECT_EQ("1203", Str(zeros));

    CString untouched("x");
    untouched.TrimLeft();
    untouched.TrimRight();
    EXPECT_EQ("x", Str(untouched));
}

TEST(CStringTest, FindsCharactersAndSubstrings)
{
    CString s("C:\\dir\\sub\\file.exe");
    EXPECT_EQ(2, s.Find('\\'));
    EXPECT_EQ(6, s.Find('\\', 3));
    EXPECT_EQ(2, s.Find('\\', -5));
    EXPECT_EQ(-1, s.Find('\\', 11));
    EXPECT_EQ(-1, s.Find('\\', 100));
    EXPECT_EQ(-1, s.Find('?'));
    EXPECT_EQ(10, s.ReverseFind('\\'));
    EXPECT_EQ(-1, s.ReverseFind('/'));
    EXPECT_EQ(15, s.Find(".exe"));
    EXPECT_EQ(3, s.Find("dir"));
    EXPECT_EQ(-1, s.Find("dir", 4));
    EXPECT_EQ(-1, s.Find("DIR"));
    EXPECT_EQ(-1, s.Find("x", 100));
    EXPECT_EQ(1, s.FindOneOf(":."));
    EXPECT_EQ(-1, CString().Find('a'));
    EXPECT_EQ(-1, CString().ReverseFind('a'));
}

TEST(CStringTest, MidLeftAndRightClampToTheString)
{
    CString s("abcdef");
    EXPECT_EQ("cdef", Str(s.Mid(2)));
    EXPECT_EQ("cd", Str(s.Mid(2, 2)));
    EXPECT_EQ("abc", Str(s.Mid(-3, 3)));
    EXPECT_EQ("ef", Str(s.Mid(4, 100)));
    EXPECT_EQ("", Str(s.Mid(6)));
    EXPECT_EQ("", Str(s.Mid(10)));
    EXPECT_EQ("", Str(s.Mid(10, 2)));
    EXPECT_EQ("", Str(s.Mid(2, -1)));
    EXPECT_EQ("abcdef", Str(s.Mid(-1)));
    EXPECT_EQ("abcdef", Str(s.Mid(0, 0x7FFFFFFF)));
    EXPECT_EQ("ab", Str(s.Left(2)));
    EXPECT_EQ("", Str(s.Left(-1)));
    EXPECT_EQ("abcdef", Str(s.Left(99)));
    EXPECT_EQ("ef", Str(s.Right(2)));
    EXPECT_EQ("", Str(s.Right(-2)));
    EXPECT_EQ("abcdef", Str(s.Right(99)));
    EXPECT_EQ("abcdef", Str(s));
}

TEST(CStringTest, ChangesCaseAndReplaces)
{
    CString s("Mixed Case 123");
    s.MakeUpper();
    EXPECT_EQ("MIXED CASE 123", Str(s));
    s.MakeLower();
    EXPECT_EQ("mixed case 123", Str(s));

    CString path("a/b/c");
    CString keep = path;
    EXPECT_EQ(2, path.Replace('/', '\\'));
    EXPECT_EQ("a\\b\\c", Str(path));
    EXPECT_EQ("a/b/c", Str(keep));
    EXPECT_EQ(0, path.Replace('x', 'y'));

    CString text("one two one two one");
    CString keep2 = text;
    EXPECT_EQ(3, text.Replace("one", "three"));
    EXPECT_EQ("three two three two three", Str(text));
    EXPECT_EQ("one two one two one", Str(keep2));
    EXPECT_EQ(2, text.Replace("two ", ""));
    EXPECT_EQ("three three three", Str(text));
    EXPECT_EQ(0, text.Replace("four", "x"));
    EXPECT_EQ(0, text.Replace("", "x"));

    CString overlapping("aaaa");
    EXPECT_EQ(2, overlapping.Replace("aa", "b"));
    EXPECT_EQ("bb", Str(overlapping));

    CString gone("xx");
    EXPECT_EQ(2, gone.Replace("x", ""));
    EXPECT_TRUE(gone.IsEmpty());
}

TEST(CStringTest, MissingStringResourceLoadsNothing)
{
    CString s("before");
    EXPECT_FALSE(s.LoadString(0xFFF0));
    EXPECT_TRUE(s.IsEmpty());
}

// Each thread copies and drops copies of one shared string; the count must come back exactly.
TEST(CStringTest, CopiesMadeOnTwoThreadsKeepTheCountExact)
{
    CString shared("handed between threads");
    std::atomic<int> nReady(0);
    auto churn = [&shared, &nReady] {
        // Both threads start together, so their counting overlaps.
        ++nReady;
        while (nReady.load() < 2)
        {
        }
        for (int i = 0; i < 1000000; ++i)
        {
            CString copy(shared);
            CString other;
            other = copy;
        }
    };
    CTestThread t1(churn), t2(churn);
    t1.join();
    t2.join();
    EXPECT_EQ(1, CStringProbe::RefsOf(shared));
    EXPECT_EQ("handed between threads", Str(shared));
}
