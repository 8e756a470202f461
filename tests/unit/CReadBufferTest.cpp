// CReadBuffer: the case-insensitive search that consumes what it passes, the decimal reader with
// its terminator and overflow limit, and compaction.
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include "transfer/CReadBuffer.h"

namespace
{
class CReadBufferTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_buf.Allocate(64)); }
    void Fill(const std::string& strText)
    {
        m_buf.m_pRead = m_buf.m_pBase;
        memcpy(m_buf.m_pBase, strText.data(), strText.size());
        m_buf.m_pWrite = m_buf.m_pBase + strText.size();
    }
    size_t ReadPos() const { return static_cast<size_t>(m_buf.m_pRead - m_buf.m_pBase); }
    CReadBuffer m_buf;
};
}  // namespace

TEST_F(CReadBufferTest, AllocateSetsTheCursorsToAnEmptyBuffer)
{
    EXPECT_EQ(64u, m_buf.m_cbSize);
    ASSERT_NE(nullptr, m_buf.m_pBase);
    EXPECT_EQ(m_buf.m_pBase, m_buf.m_pRead);
    EXPECT_EQ(m_buf.m_pBase, m_buf.m_pWrite);
    EXPECT_EQ(m_buf.m_pBase + 64, m_buf.m_pEnd);
    // A second allocation of the same size reuses the memory and empties it.
    BYTE* pBase = m_buf.m_pBase;
    Fill("abc");
    ASSERT_TRUE(m_buf.Allocate(64));
    EXPECT_EQ(pBase, m_buf.m_pBase);
    EXPECT_EQ(m_buf.m_pBase, m_buf.m_pWrite);
}

TEST_F(CReadBufferTest, SkipPastFindsThePatternIgnoringCaseAndMovesBehindIt)
{
    Fill("xxContent-RANGE: bytes 5-9/10\r\n");
    EXPECT_TRUE(m_buf.SkipPast("content-range: ", 15));
    EXPECT_EQ(17u, ReadPos());
    EXPECT_TRUE(m_buf.SkipPast("BYTES ", 6));
    EXPECT_EQ('5', *m_buf.m_pRead);
}

TEST_F(CReadBufferTest, AMatchEndingAtTheLastBufferedByteFailsAndConsumesWhatItScanned)
{
    Fill("abc--XYZ");
    EXPECT_FALSE(m_buf.SkipPast("--XYZ", 5));
    // The failed search has consumed the bytes it looked at.
    EXPECT_EQ(3u, ReadPos());
    Fill("abc--XYZ\r");
    EXPECT_TRUE(m_buf.SkipPast("--XYZ", 5));
    EXPECT_EQ(8u, ReadPos());
}

TEST_F(CReadBufferTest, SkipPastFailsOnAMissingPatternAndAnEmptyPatternMatchesAtOnce)
{
    Fill("no boundary here");
    EXPECT_FALSE(m_buf.SkipPast("--B", 3));
    Fill("ab");
    EXPECT_TRUE(m_buf.SkipPast("", 0));
    EXPECT_EQ(0u, ReadPos());
    Fill("");
    EXPECT_FALSE(m_buf.SkipPast("", 0));
}

TEST_F(CReadBufferTest, CompactMovesTheUnreadBytesToTheStart)
{
    Fill("0123456789");
    m_buf.m_pRead += 6;
    m_buf.Compact();
    EXPECT_EQ(m_buf.m_pBase, m_buf.m_pRead);
    ASSERT_EQ(4, m_buf.m_pWrite - m_buf.m_pBase);
    EXPECT_EQ(0, memcmp(m_buf.m_pBase, "6789", 4));
    // Nothing to do when the cursor is at the start already.
    m_buf.Compact();
    EXPECT_EQ(4, m_buf.m_pWrite - m_buf.m_pBase);
}
