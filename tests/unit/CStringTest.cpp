// CString: the results of building, joining, cutting, trimming, formatting and comparing, the shared
// buffers with copy-on-write, and copies made on two threads at once.
#include <gtest/gtest.h>
#include <afx.h>
#include <string.h>
#include <atomic>
#include <functional>
#include <string>
#include "tests/support/TestThread.h"

namespace
{
// Reads the reference count kept in front of the characters.
struct CStringProbe : CString
{
    static LONG RefsOf(const CString& s) { return static_cast<const CStringProbe&>(s).GetData()->nRefs; }
};

std::string Str(const CString& s) { return std::string((LPCTSTR)s, s.GetLength()); }

const std::string kLong(10000, 'q');
}  // namespace

TEST(CStringTest, EachOperationGivesItsText)
{
    const CString abc("abcdef");
    const struct { const char* pszWhat; std::function<CString()> make; std::string strExpected; } cases[] = {
        {"empty", [] { return CString(); }, ""},
        {"null pointer", [] { return CString((LPCSTR) nullptr); }, ""},
        {"counted", [] { return CString("abcdef", 2); }, "ab"},
        {"string + string", [] { return CString("ab") + CString("cd"); }, "abcd"},
        {"string + pointer", [] { return CString("ab") + "xy"; }, "abxy"},
        {"assign null", [] { CString s("x"); s = (LPCSTR) nullptr; return s; }, ""},
        {"append all kinds", [] { CString s("12"); s += s; s += '3'; s += "45"; s += CString("67"); return s; },
         "121234567"},
        {"Mid to the end", [&] { return abc.Mid(2); }, "cdef"},
        {"Mid at the end", [&] { return abc.Mid(6); }, ""},
        {"Left", [&] { return abc.Left(2); }, "ab"},
        {"TrimLeft", [] { CString s(" \t\r\n a b \t\r\n "); s.TrimLeft(); return s; }, "a b \t\r\n "},
        {"TrimRight", [] { CString s(" \t\r\n a b \t\r\n "); s.TrimRight(); return s; }, " \t\r\n a b"},
        {"TrimRight all blank", [] { CString s("   \t "); s.TrimRight(); return s; }, ""},
        {"Format", [] { CString s; s.Format("%d %lu %s %c %05.1f %%", -3, 4294967295UL, "it", 'x', 2.5); return s; },
         "-3 4294967295 it x 002.5 %"},
        {"Format long", [] { CString s; s.Format("[%s]", kLong.c_str()); return s; }, "[" + kLong + "]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.strExpected, Str(c.make())) << c.pszWhat;
    EXPECT_EQ("abcdef", Str(abc));
    EXPECT_TRUE(CString("Beta") != "beta" && !(CString("Beta") != "Beta"));
}

// Copies share one buffer; a change (append, GetBuffer) makes a private one and leaves the others.
TEST(CStringTest, CopiesShareTheBufferUntilOneChanges)
{
    CString original("shared text"), copy(original), assigned, appended, empty, emptied("x");
    assigned = appended = original;
    EXPECT_EQ((LPCTSTR)original, (LPCTSTR)copy);
    EXPECT_EQ((LPCTSTR)original, (LPCTSTR)assigned);
    EXPECT_EQ(4, CStringProbe::RefsOf(original));
    appended += "!";
    strcpy(copy.GetBuffer(20), "a longer text");
    copy.ReleaseBuffer();
    assigned.GetBuffer(0)[1] = '-';
    assigned.ReleaseBuffer(3);
    memcpy(empty.GetBufferSetLength(3), "xyz", 3);
    emptied.Empty();
    std::string strAll;
    for (const CString* p : {&original, &appended, &copy, &assigned, &empty, &emptied})
        strAll += Str(*p) + "|";
    EXPECT_EQ("shared text|shared text!|a longer text|s-a|xyz||", strAll);
    EXPECT_EQ(1, CStringProbe::RefsOf(original));
    EXPECT_EQ((LPCTSTR)CString(), (LPCTSTR)emptied) << "every empty string is the one shared buffer";
}

// Each thread copies and drops copies of one shared string; the count must come back exactly.
TEST(CStringTest, CopiesMadeOnTwoThreadsKeepTheCountExact)
{
    CString shared("handed between threads");
    std::atomic<int> nReady(0);
    auto churn = [&shared, &nReady] {
        for (++nReady; nReady.load() < 2;)  // both start together, so their counting overlaps
        {
        }
        for (int i = 0; i < 1000000; ++i)
        {
            CString copy(shared), other;
            other = copy;
        }
    };
    {
        CTestThread t1(churn), t2(churn);
    }
    EXPECT_EQ(1, CStringProbe::RefsOf(shared));
}
