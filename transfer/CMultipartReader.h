// CMultipartReader: reads a multipart/byteranges answer (also under the older name
// multipart/x-byteranges) through its scan buffer and hands on only the bytes of each part with
// their file offsets, never the framing.
#pragma once
#include <objidl.h>
#include "transfer/CReadBuffer.h"
#include "transfer/HttpRules.h"

// Whoever places the parts in the file.
class IPartSink
{
public:
    virtual BOOL KeepReading() = 0;                         // FALSE: the transfer is being stopped
    virtual BOOL AcceptPart(const CONTENT_RANGE& range) = 0;  // FALSE: the part is another version
    virtual BOOL PlaceData(DWORD dwOffset, const BYTE* pbData, DWORD cbData) = 0;  // FALSE: stop
protected:
    ~IPartSink() = default;
};

class CMultipartReader
{
public:
    // A multipart body with this delimiter ("--" and the boundary) follows; FALSE without memory.
    BOOL Begin(const CString& strDelimiter);
    void End() { m_strDelimiter.Empty(); }
    BOOL IsActive() const { return !m_strDelimiter.IsEmpty(); }
    // Reads what the stream has now. fMalformed: the framing broke before the end of the stream, so
    // nothing more can be placed. Returns the stream's last answer as the data callback returns it.
    HRESULT Read(IStream* pStream, IPartSink& sink, BOOL& fMalformed);

private:
    BOOL ParsePartHeader(IPartSink& sink);
    BOOL PlaceBufferedParts(HRESULT hrRead, IPartSink& sink, BOOL& fMalformed);
    enum { kBufferBytes = 8192 };
    CReadBuffer m_buffer;
    CString m_strDelimiter;
    DWORD m_dwPartPos = 0;
    DWORD m_dwPartEnd = 0;
    BOOL m_fDone = FALSE;  // the closing delimiter has been read
};
