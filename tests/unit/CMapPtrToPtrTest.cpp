// CMapPtrToPtr: lookups, replacement, removal, growth, and walking with POSITION values.
#include <gtest/gtest.h>
#include <afx.h>

#include <map>
#include <set>

namespace
{
void* P(ULONG_PTR n) { return reinterpret_cast<void*>(n); }
}  // namespace

TEST(CMapPtrToPtrTest, SetsLooksUpAndReplaces)
{
    CMapPtrToPtr map;
    EXPECT_TRUE(map.IsEmpty());
    void* value = P(99);
    EXPECT_FALSE(map.Lookup(P(0x1000), value));
    EXPECT_EQ(P(99), value);  // untouched when missing

    map.SetAt(P(0x1000), P(1));
    map.SetAt(P(0x2000), P(2));
    map[P(0x3000)] = P(3);
    EXPECT_EQ(3, map.GetCount());
    EXPECT_FALSE(map.IsEmpty());
    ASSERT_TRUE(map.Lookup(P(0x2000), value));
    EXPECT_EQ(P(2), value);

    map.SetAt(P(0x2000), P(22));
    EXPECT_EQ(3, map.GetCount());
    ASSERT_TRUE(map.Lookup(P(0x2000), value));
    EXPECT_EQ(P(22), value);

    // operator[] adds a missing key with a null value.
    EXPECT_EQ(nullptr, map[P(0x4000)]);
    EXPECT_EQ(4, map.GetCount());
    ASSERT_TRUE(map.Lookup(P(0x4000), value));
    EXPECT_EQ(nullptr, value);

    // The null key is a key like any other.
    map.SetAt(nullptr, P(7));
    ASSERT_TRUE(map.Lookup(nullptr, value));
    EXPECT_EQ(P(7), value);
}

TEST(CMapPtrToPtrTest, RemovesKeysAndEverything)
{
    CMapPtrToPtr map(2);
    for (ULONG_PTR i = 1; i <= 5; ++i)
        map.SetAt(P(i * 16), P(i));
    EXPECT_TRUE(map.RemoveKey(P(3 * 16)));
    EXPECT_FALSE(map.RemoveKey(P(3 * 16)));
    EXPECT_FALSE(map.RemoveKey(P(12345)));
    EXPECT_EQ(4, map.GetCount());
    void* value = nullptr;
    EXPECT_FALSE(map.Lookup(P(3 * 16), value));
    EXPECT_TRUE(map.Lookup(P(4 * 16), value));
    EXPECT_EQ(P(4), value);

    map.RemoveAll();
    EXPECT_TRUE(map.IsEmpty());
    EXPECT_FALSE(map.Lookup(P(4 * 16), value));
    EXPECT_EQ(nullptr, map.GetStartPosition());
    map.SetAt(P(8), P(9));  // usable again
    EXPECT_TRUE(map.Lookup(P(8), value));
    EXPECT_EQ(P(9), value);
}

TEST(CMapPtrToPtrTest, HoldsManyKeysWithKeysSharingBuckets)
{
    CMapPtrToPtr map;
    const ULONG_PTR kCount = 3000;
    for (ULONG_PTR i = 0; i < kCount; ++i)
        map.SetAt(P(0x10000 + i * 4), P(i + 1));  // keys closer than the hash's granularity
    EXPECT_EQ((int)kCount, map.GetCount());
    for (ULONG_PTR i = 0; i < kCount; ++i)
    {
        void* value = nullptr;
        ASSERT_TRUE(map.Lookup(P(0x10000 + i * 4), value)) << i;
        ASSERT_EQ(P(i + 1), value) << i;
    }
    for (ULONG_PTR i = 0; i < kCount; i += 2)
        ASSERT_TRUE(map.RemoveKey(P(0x10000 + i * 4)));
    EXPECT_EQ((int)kCount / 2, map.GetCount());
    void* value = nullptr;
    EXPECT_FALSE(map.Lookup(P(0x10000), value));
    EXPECT_TRUE(map.Lookup(P(0x10004), value));
}

TEST(CMapPtrToPtrTest, WalkVisitsEveryEntryOnce)
{
    CMapPtrToPtr map;
    EXPECT_EQ(nullptr, map.GetStartPosition());
    std::map<void*, void*> expected;
    for (ULONG_PTR i = 0; i < 100; ++i)
    {
        map.SetAt(P(0x1000 + i * 0x130), P(i));
        expected[P(0x1000 + i * 0x130)] = P(i);
    }
    std::map<void*, void*> seen;
    POSITION pos = map.GetStartPosition();
    int nSteps = 0;
    while (pos != nullptr && nSteps++ < 1000)
    {
        void* key = nullptr;
        void* value = nullptr;
        map.GetNextAssoc(pos, key, value);
        EXPECT_TRUE(seen.emplace(key, value).second) << "twice: " << key;
    }
    EXPECT_EQ(expected, seen);
}

TEST(CMapPtrToPtrTest, WalkSurvivesRemovingTheEntryJustReturned)
{
    CMapPtrToPtr map;
    for (ULONG_PTR i = 0; i < 50; ++i)
        map.SetAt(P(0x100 + i * 16), P(i));
    std::set<void*> seen;
    POSITION pos = map.GetStartPosition();
    while (pos != nullptr)
    {
        void* key = nullptr;
        void* value = nullptr;
        map.GetNextAssoc(pos, key, value);
        seen.insert(key);
        if ((reinterpret_cast<ULONG_PTR>(value) & 1) == 0)
        {
            EXPECT_TRUE(map.RemoveKey(key));
        }
    }
    EXPECT_EQ(50u, seen.size());
    EXPECT_EQ(25, map.GetCount());
    void* value = nullptr;
    EXPECT_FALSE(map.Lookup(P(0x100), value));
    EXPECT_TRUE(map.Lookup(P(0x110), value));
}

TEST(CMapPtrToPtrTest, IsARunTimeClassOfTheFramework)
{
    CMapPtrToPtr map;
    EXPECT_TRUE(map.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_TRUE(map.IsKindOf(RUNTIME_CLASS(CMapPtrToPtr)));
    EXPECT_STREQ("CMapPtrToPtr", map.GetRuntimeClass()->m_lpszClassName);
}
