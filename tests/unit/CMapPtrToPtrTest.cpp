// CMapPtrToPtr: lookups, replacement and removal with many keys in one bucket and entries allocated
// a few at a time, as the window hook map uses it; a std::map fed the same steps must agree.
#include <gtest/gtest.h>
#include <afx.h>
#include <map>

TEST(CMapPtrToPtrTest, AgreesWithAStandardMapAfterEachStep)
{
    auto P = [](ULONG_PTR n) { return reinterpret_cast<void*>(n * 4); };  // keys 4 apart share buckets
    const ULONG_PTR kKeys = 3000;
    CMapPtrToPtr map(2);
    std::map<void*, void*> expected;
    // Each step touches the keys nFirst, nFirst + nStep, ... below kKeys: 's' SetAt key+1, 'r' SetAt 7,
    // 'x' RemoveKey (twice), '[' operator[].
    const struct { const char* pszStep; ULONG_PTR nFirst, nStep; char chDo; } steps[] = {
        {"add", 0, 1, 's'}, {"replace", 0, 3, 'r'}, {"remove", 0, 2, 'x'}, {"add with []", 0, 999, '['},
        {"remove the rest", 0, 1, 'x'}, {"add again", 5, 7, 's'},
    };
    for (const auto& s : steps)
    {
        for (ULONG_PTR i = s.nFirst; i < kKeys; i += s.nStep)
        {
            void* key = P(i);
            bool bPresent = expected.count(key) != 0;
            if (s.chDo == 'x')
            {
                ASSERT_EQ(bPresent, !!map.RemoveKey(key)) << s.pszStep << " " << i;
                ASSERT_FALSE(map.RemoveKey(key)) << s.pszStep << " " << i;
                expected.erase(key);
            }
            else if (s.chDo == '[')
            {
                ASSERT_EQ(bPresent ? expected[key] : nullptr, map[key]) << "a missing key is added with null";
                expected[key];
            }
            else
                map.SetAt(key, expected[key] = reinterpret_cast<void*>(s.chDo == 's' ? i + 1 : 7));
        }
        EXPECT_EQ((int)expected.size(), map.GetCount()) << s.pszStep;
        EXPECT_EQ(expected.empty(), !!map.IsEmpty()) << s.pszStep;
        for (ULONG_PTR i = 0; i <= kKeys; ++i)
        {
            void* value = P(0xBAD);
            auto it = expected.find(P(i));
            ASSERT_EQ(it != expected.end(), !!map.Lookup(P(i), value)) << s.pszStep << " " << i;
            ASSERT_EQ(it != expected.end() ? it->second : P(0xBAD), value) << "untouched when missing";
        }
    }
    map.RemoveAll();
    EXPECT_TRUE(map.IsEmpty());
}
