// CRateMeter: rate and time-left arithmetic and the progress texts.
#include "transfer/CRateMeter.h"
#include <shlwapi.h>

const char CRateMeter::kNotKnown[] = "Not Known";

void CRateMeter::Begin(DWORD dwNow, DWORD dwHadBefore)
{
    m_dwStartTick = m_dwMarkTick = dwNow;
    m_dwHadBefore = dwHadBefore;
    m_dwBytes = m_dwMarkBytes = 0;
}

void CRateMeter::Count(DWORD cbWritten, DWORD dwNow, DWORD dwTotal)
{
    m_dwBytes += cbWritten;
    if (dwNow - m_dwMarkTick <= 1000)
        return;
    m_dRate = (double)(m_dwBytes - m_dwMarkBytes) / (double)(dwNow - m_dwMarkTick);
    m_dwMarkTick = dwNow;
    m_dwMarkBytes = m_dwBytes;
    if (cbWritten > 0 && dwTotal > 0)
    {
        // Average time per byte since the answer, times the bytes still missing (what the local
        // file held before this transfer is not missing), in seconds.
        const double dElapsed = (double)dwNow - (double)m_dwStartTick;
        const DWORD dwHave = m_dwHadBefore + m_dwBytes;
        const DWORD dwMissing = dwTotal > dwHave ? dwTotal - dwHave : 0;
        m_nSecondsLeft = (int)(dElapsed / (double)m_dwBytes * (double)dwMissing * 0.001);
    }
}

CString CRateMeter::FormatTransferRate(double dRate)
{
    // The rate is in bytes per millisecond, which is shown directly as kilobytes per second.
    CString strNumber;
    CString strRate;
    if (dRate < 1.0)
    {
        strNumber.Format("%0.0f", dRate * 1024.0);
        strRate.Format("%s bytes/sec", (LPCTSTR)strNumber);
    }
    else if (dRate < 10.0)
    {
        strNumber.Format("%0.2f", dRate);
        strRate.Format("%s K/sec", (LPCTSTR)strNumber);
    }
    else
    {
        strNumber.Format("%0.0f", dRate);
        strRate.Format("%s K/sec", (LPCTSTR)strNumber);
    }
    return strRate;
}

CString CRateMeter::FormatTimeLeft(int nSeconds)
{
    CTimeSpan span(nSeconds);
    if ((unsigned)nSeconds < 86400u)
        return span.Format("%H : %M : %S");
    return span.Format("%D days, %H : %M : %S");
}

CString CRateMeter::ProgressText(DWORD dwDone, DWORD dwTotal)
{
    char szDone[64], szTotal[64];
    ::StrFormatByteSizeA(dwDone, szDone, sizeof(szDone));
    CString strText;
    if (dwTotal == 0)
    {
        strText.Format("Downloaded %s (total size unknown)", szDone);
        return strText;
    }
    ::StrFormatByteSizeA(dwTotal, szTotal, sizeof(szTotal));
    strText.Format("Downloaded %s of %s", szDone, szTotal);
    return strText;
}

int CRateMeter::Percent(DWORD dwPart, DWORD dwTotal)
{
    if (dwTotal == 0)
        return 0;
    return static_cast<int>(static_cast<double>(dwPart) * 100.0 / static_cast<double>(dwTotal));
}
