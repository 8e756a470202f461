// CMultipartReader: the reader of multipart/byteranges answers.
#include "transfer/CMultipartReader.h"

namespace
{
// A part header is parsed only when this much follows the cursor, or the stream has ended.
const DWORD kHeaderLookahead = 500;
// More header lines than this in one part is no part header.
const int kMaxPartHeaderLines = 16;
}  // namespace

BOOL CMultipartReader::Begin(const CString& strDelimiter)
{
    m_strDelimiter = strDelimiter;
    m_dwPartPos = m_dwPartEnd = 0;
    m_fDone = FALSE;
    return m_buffer.Allocate(kBufferBytes);
}

BOOL CMultipartReader::ParsePartHeader(IPartSink& sink)
{
    CReadBuffer& buf = m_buffer;
    if (m_dwPartPos > 0 && !buf.SkipPast("\n", 1))  // the line end after the previous part's data
        return FALSE;
    if (!buf.SkipPast(m_strDelimiter, static_cast<DWORD>(m_strDelimiter.GetLength())))
        return FALSE;
    if (buf.m_pWrite - buf.m_pRead >= 2 && buf.m_pRead[0] == '-' && buf.m_pRead[1] == '-')
    {
        // The closing delimiter.
        m_dwPartPos = 0;
        m_dwPartEnd = 0;
        return TRUE;
    }
    if (!buf.SkipPast("\n", 1))  // the end of the boundary line
        return FALSE;

    // The part's header lines, up to the empty line that ends them; the data starts right after it.
    // Only Content-Range matters, wherever it stands: servers send Content-Type first, but may add
    // lines of their own, and one line too many must not shift the data.
    CONTENT_RANGE range = {};
    for (int cLines = 0; !buf.SkipLineEnd(); ++cLines)
    {
        if (cLines == kMaxPartHeaderLines)
            return FALSE;
        if (buf.StartsWith("Content-Range:", 14))
        {
            // The value up to the line end, as the response header would give it.
            char szValue[128];
            DWORD cch = 0;
            for (const BYTE* p = buf.m_pRead + 14; p < buf.m_pWrite && *p != '\r' && *p != '\n' && cch < 127; ++p)
                szValue[cch++] = static_cast<char>(*p);
            szValue[cch] = '\0';
            if (range.fRange || !ParseContentRange(szValue, &range) || !range.fRange)
                return FALSE;
        }
        if (!buf.SkipPast("\n", 1))  // the end of this header line
            return FALSE;
    }
    if (!range.fRange || !sink.AcceptPart(range))
        return FALSE;
    m_dwPartPos = range.dwFirst;
    m_dwPartEnd = range.dwLast + 1;  // the header gives the inclusive last byte
    return TRUE;
}

HRESULT CMultipartReader::Read(IStream* pStream, IPartSink& sink, BOOL& fMalformed)
{
    fMalformed = FALSE;
    CReadBuffer& buf = m_buffer;
    HRESULT hrRead = S_OK;
    for (;;)
    {
        if (!sink.KeepReading() || pStream == nullptr || buf.m_pBase == nullptr)
            return S_OK;
        if (m_fDone)
        {
            // An epilogue after the closing delimiter is read and thrown away.
            ULONG cbIgnored = 0;
            hrRead = pStream->Read(buf.m_pBase, buf.m_cbSize, &cbIgnored);
            if (hrRead == S_OK)
                continue;
            break;
        }
        ULONG cbRead = 0;
        hrRead = pStream->Read(buf.m_pWrite, static_cast<ULONG>(buf.m_pEnd - buf.m_pWrite), &cbRead);
        buf.m_pWrite += cbRead;
        if (!PlaceBufferedParts(hrRead, sink, fMalformed))
            return S_OK;
        if (hrRead != S_OK)
            break;
    }
    return hrRead == S_FALSE || hrRead == E_PENDING ? S_OK : hrRead;
}

BOOL CMultipartReader::PlaceBufferedParts(HRESULT hrRead, IPartSink& sink, BOOL& fMalformed)
{
    CReadBuffer& buf = m_buffer;
    for (;;)
    {
        if (m_dwPartPos == m_dwPartEnd)
        {
            // Header stage: wait for enough text unless the stream has ended.
            if (hrRead != S_FALSE && buf.m_pRead + kHeaderLookahead > buf.m_pWrite)
            {
                buf.Compact();
                return TRUE;
            }
            if (!ParsePartHeader(sink))
            {
                // At the end of the stream the byte count decides (a missing closing delimiter
                // loses nothing). Before it, the framing is malformed: nothing more can be placed.
                fMalformed = hrRead != S_FALSE;
                return FALSE;
            }
            if (m_dwPartPos == m_dwPartEnd)
            {
                // The closing delimiter: the body is complete; what follows is ignored.
                m_fDone = TRUE;
                buf.m_pRead = buf.m_pWrite = buf.m_pBase;
                return FALSE;
            }
        }

        // Delivery stage.
        const DWORD cbBuffered = static_cast<DWORD>(buf.m_pWrite - buf.m_pRead);
        const DWORD cbMissing = m_dwPartEnd - m_dwPartPos;
        const DWORD n = cbBuffered < cbMissing ? cbBuffered : cbMissing;
        if (n > 0)
        {
            if (!sink.PlaceData(m_dwPartPos, buf.m_pRead, n))
                return FALSE;
            m_dwPartPos += n;
        }
        if (m_dwPartPos != m_dwPartEnd)
        {
            buf.m_pRead = buf.m_pWrite = buf.m_pBase;
            return TRUE;
        }
        buf.m_pRead += n;  // the next part may be buffered already
    }
}
