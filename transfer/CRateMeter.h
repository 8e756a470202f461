// CRateMeter: the transfer rate and the time-left estimate of a running transfer, and the texts the
// progress display shows them in.
#pragma once
#include <afx.h>

class CRateMeter
{
public:
    // The answer has come: counting starts now; dwHadBefore bytes were on disk already.
    void Begin(DWORD dwNow, DWORD dwHadBefore);
    // cbWritten more bytes are on disk: once a second the rate (bytes per millisecond) and the time
    // left towards dwTotal (0: unknown) are measured anew.
    void Count(DWORD cbWritten, DWORD dwNow, DWORD dwTotal);
    DWORD BytesThisTransfer() const { return m_dwBytes; }
    double Rate() const { return m_dRate; }
    int SecondsLeft() const { return m_nSecondsLeft; }

    static CString FormatTransferRate(double dRate);
    static CString FormatTimeLeft(int nSeconds);
    // "Downloaded <done> of <total>", or "... (total size unknown)" when dwTotal is 0.
    static CString ProgressText(DWORD dwDone, DWORD dwTotal);
    // Percentage of part in total, truncated; 0 while the total is unknown.
    static int Percent(DWORD dwPart, DWORD dwTotal);
    static const char kNotKnown[];  // the rate and time left while they are unknown

private:
    DWORD m_dwStartTick = 0;
    DWORD m_dwHadBefore = 0;
    DWORD m_dwBytes = 0;
    DWORD m_dwMarkTick = 0;
    DWORD m_dwMarkBytes = 0;
    double m_dRate = 0.0;
    int m_nSecondsLeft = 0;
};
