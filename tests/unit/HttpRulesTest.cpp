// The transfer's pure rules by tables: which answers may carry the installer (and which refusals and
// failures resume by themselves, after what wait), the request headers, Content-Range values,
// multipart delimiters; and the scan buffer's search.
#include <gtest/gtest.h>
#include <string.h>
#include <set>
#include <urlmon.h>
#include "transfer/CReadBuffer.h"
#include "transfer/HttpRules.h"

TEST(HttpRules, OnlyAnAnswerThatCarriesTheInstallerIsTakenEveryOtherEndsWithItsClasssSentence)
{
    const HRESULT kNotFound = INET_E_RESOURCE_NOT_FOUND, kNoData = INET_E_DATA_NOT_AVAILABLE,
                  kAuth = INET_E_AUTHENTICATION_REQUIRED, kPage = INET_E_NO_VALID_MEDIA;
    const struct { DWORD dwStatus; const char* pszType; HRESULT hr; } rows[] = {
        {200, "application/octet-stream", S_OK}, {203, "", S_OK},       {206, "text/html", S_OK},
        {416, "text/html", S_OK},                {200, "text/html", kPage}, {203, " Text/HTML; charset=utf-8", kPage},
        {200, "text/htmlx", S_OK},               {203, "application/x-msdownload; x=\"text/html\"", S_OK},               {201, "", kNoData},    {202, "", kNoData},
        {204, "", kNoData},                      {205, "", kNoData},    {300, "", kNotFound},
        {302, "", kNotFound},                    {306, "", kNotFound},  {307, "", kNotFound},
        {308, "", kNotFound},                    {399, "", kNotFound},  {400, "", INET_E_INVALID_REQUEST},
        {401, "", kAuth},                        {403, "", kAuth},      {404, "", kNotFound},
        {405, "", kAuth},                        {407, "", kAuth},      {408, "", INET_E_CONNECTION_TIMEOUT},
        {409, "", INET_E_NO_VALID_MEDIA},        {410, "", kNoData},    {411, "", kNoData},
        {451, "", kNoData},                      {500, "", kNoData},    {599, "", kNoData},
        {100, "", kNoData},                      {429, "", kNoData},    {502, "", kNoData},
        {503, "", kNoData},                      {504, "", kNoData},    {501, "", kNoData},
    };
    const std::set<DWORD> retried = {408, 429, 500, 502, 503, 504};
    for (const auto& row : rows)
    {
        EXPECT_EQ(row.hr, JudgeStatus(row.dwStatus, row.pszType)) << row.dwStatus << " " << row.pszType;
        EXPECT_EQ(retried.count(row.dwStatus) == 1, !!IsTransientFailure(row.hr, row.dwStatus)) << row.dwStatus;
    }
    // Failures without a refusal: a cut body or lost connection, none made, the watchdog.
    for (HRESULT hr : {INET_E_DOWNLOAD_FAILURE, INET_E_CANNOT_CONNECT, INET_E_CONNECTION_TIMEOUT})
        EXPECT_TRUE(IsTransientFailure(hr, 0)) << std::hex << hr;
    for (HRESULT hr : {INET_E_DATA_NOT_AVAILABLE, E_INSTALLER_CHANGED, STG_E_WRITEFAULT, STG_E_MEDIUMFULL, E_ABORT})
        EXPECT_FALSE(IsTransientFailure(hr, 206)) << std::hex << hr;
}

TEST(HttpRules, TheWaitBeforeAnAutomaticResumeDoublesOrIsTheServersRetryAfter)
{
    const struct { UINT nTry; DWORD dwFirstMs; LONG lRetryAfter; DWORD dwWaitMs; } waits[] = {
        {1, 2000, -1, 2000},  {2, 2000, -1, 4000},  {5, 2000, -1, 32000},   {6, 2000, -1, 60000}, {99, 2000, -1, 60000},
        {3, 250, -1, 1000},   {1, 2000, 3, 3000},   {4, 2000, 0, 0},        {1, 2000, 301, 300000}};
    for (const auto& w : waits)
        EXPECT_EQ(w.dwWaitMs, RetryWaitMs(w.nTry, w.dwFirstMs, w.lRetryAfter)) << w.nTry << " " << w.lRetryAfter;
    const SYSTEMTIME stNow = {2026, 12, 0, 6, 22, 0, 0, 0};  // Sun, 06 Dec 2026 22:00:00 GMT
    const std::pair<const char*, LONG> values[] = {
        {"3", 3}, {" 120 ", 120}, {"99999999999", 0x7FFFFFFF}, {"3 s", -1}, {"", -1}, {"soon", -1},
        {"Sun, 06 Dec 2026 22:01:30 GMT", 90}, {"Sun, 06 Dec 2026 21:00:00 GMT", 0},
        {"Mon, 07 Dec 2026 22:00:00 GMT", 86400}, {"Monday, 07-Dec-26 22:00:00 GMT", -1}};
    for (const auto& v : values)
        EXPECT_EQ(v.second, RetryAfterSeconds(v.first, stNow)) << v.first;
}

TEST(HttpRules, RequestHeadersRangeValidatorAndDate)
{
    const SYSTEMTIME st = {2026, 12, 0, 6, 22, 0, 0, 0};  // Sun, 06 Dec 2026 22:00:00 GMT
    const std::string strDate = "Unless-Modified-Since: Sun, 06 Dec 2026 22:00:00 GMT\r\n";
    const struct { DWORD dwOffset; const char* pszValidator; std::string strHeaders; } rows[] = {
        {0, "", "Range: bytes=0-\r\n" + strDate},
        {4000000000u, "", "Range: bytes=4000000000-\r\n" + strDate},  // never a signed number
        {1234, "\"v1\"", "Range: bytes=1234-\r\nIf-Range: \"v1\"\r\n" + strDate},
    };
    for (const auto& row : rows)
    {
        CString strHeaders;
        ASSERT_TRUE(BuildRequestHeaders(row.dwOffset, row.pszValidator, st, strHeaders));
        EXPECT_EQ(row.strHeaders, (LPCTSTR)strHeaders);
    }
}

TEST(HttpRules, ContentRangesAndMultipartDelimiters)
{
    // Parsed?, first, last, total (0: none given; a FIRST-LAST is given unless first == last == ~0).
    const std::tuple<const char*, BOOL, DWORD, DWORD, DWORD> ranges[] = {
        {"bytes 8-19/20", TRUE, 8, 19, 20},        {" bytes=5-9/*", TRUE, 5, 9, 0},
        {"bytes */20", TRUE, ~0u, ~0u, 20},        {"bytes */*", FALSE, 0, 0, 0},
        {"bytes 9-5/20", FALSE, 0, 0, 0},          {"bytes 0-19/19", FALSE, 0, 0, 0},
        {"bytes 0-4294967295/*", FALSE, 0, 0, 0},  {"bytes 0-1/4294967296", FALSE, 0, 0, 0},
        {"items 0-1/2", FALSE, 0, 0, 0},           {"bytes 1-2", FALSE, 0, 0, 0},
        {"bytes 0-4294967294/4294967295", TRUE, 0, 4294967294u, 4294967295u}};
    for (const auto& c : ranges)
    {
        CONTENT_RANGE range;
        ASSERT_EQ(std::get<1>(c), ParseContentRange(std::get<0>(c), &range)) << std::get<0>(c);
        if (!std::get<1>(c))
            continue;
        const bool fRange = std::get<2>(c) != ~0u;
        EXPECT_EQ(fRange, range.fRange != FALSE) << std::get<0>(c);
        EXPECT_TRUE(!fRange || (range.dwFirst == std::get<2>(c) && range.dwLast == std::get<3>(c))) << std::get<0>(c);
        EXPECT_EQ(std::get<4>(c), range.fTotal ? range.dwTotal : 0u) << std::get<0>(c);
    }
    const std::tuple<const char*, HRESULT, const char*> types[] = {
        {"multipart/x-byteranges; boundary=3d6b", S_OK, "--3d6b"},
        {"Multipart/ByteRanges;boundary=\"3d 6b\"", S_OK, "--3d 6b"},
        {"multipart/byteranges; charset=x; boundary=B; x=y", S_OK, "--B"},
        {"multipart/byteranges; myboundary=B", INET_E_DATA_NOT_AVAILABLE, ""},
        {"multipart/byteranges", INET_E_DATA_NOT_AVAILABLE, ""},
        {"multipart/mixed; boundary=B", S_OK, ""},
        {"application/octet-stream", S_OK, ""}};
    for (const auto& c : types)
    {
        CString strDelimiter = "left over";
        EXPECT_EQ(std::get<1>(c), MultipartDelimiter(std::get<0>(c), strDelimiter)) << std::get<0>(c);
        EXPECT_STREQ(std::get<2>(c), strDelimiter) << std::get<0>(c);
    }
}

TEST(HttpRules, TheScanBuffersSearchAndCompaction)
{
    CReadBuffer buf;
    ASSERT_TRUE(buf.Allocate(64));
    auto fill = [&](const std::string& strText) {
        memcpy(buf.m_pRead = buf.m_pBase, strText.data(), strText.size());
        buf.m_pWrite = buf.m_pBase + strText.size();
    };
    // SkipPast ignores case and needs a buffered byte after the match; a failed search consumes what
    // it scanned.
    const std::tuple<const char*, const char*, BOOL, int> skips[] = {
        {"xxContent-RANGE: bytes", "content-range: ", TRUE, 17}, {"abc--XYZ", "--XYZ", FALSE, 3},
        {"abc--XYZ\r", "--XYZ", TRUE, 8}, {"no boundary here", "--B", FALSE, 13}};
    for (const auto& c : skips)
    {
        fill(std::get<0>(c));
        EXPECT_EQ(std::get<2>(c), buf.SkipPast(std::get<1>(c), (DWORD)strlen(std::get<1>(c)))) << std::get<0>(c);
        EXPECT_EQ(std::get<3>(c), buf.m_pRead - buf.m_pBase) << std::get<0>(c);
    }
    fill("0123456789");
    buf.m_pRead += 6;
    buf.Compact();
    EXPECT_TRUE(buf.m_pRead == buf.m_pBase && buf.m_pWrite == buf.m_pBase + 4 && memcmp(buf.m_pBase, "6789", 4) == 0);
}
