// The two sides of a transfer: how the download dialog starts and stops one (ITransfer; the engine
// is the real one, dialog tests put a fake in its place) and what the transfer reports back
// (ITransferEvents, called on the transfer's worker thread).
#pragma once
#include <afx.h>

// One progress display: the texts as shown and the bar's percentage.
struct TRANSFER_PROGRESS
{
    CString strStatus;    // the server status sentence
    CString strProgress;  // "Downloaded X of Y"
    CString strRate;      // the transfer rate, or "Not Known"
    CString strTimeLeft;  // the time left, or "Not Known"
    int nPercent = 0;
};

// What the download dialog needs to decide whether a failed transfer resumes by itself.
struct TRANSFER_RETRY_HINT
{
    DWORD dwStatus = 0;         // the HTTP status of the answer; 0: no answer came
    LONG lRetryAfterSec = -1;   // the refusal's Retry-After in seconds; -1: none
    BOOL fAddedBytes = FALSE;   // the transfer added bytes to the local file
};

// The end of a transfer, once the local file is closed.
struct TRANSFER_END
{
    HRESULT hrResult = S_OK;  // S_OK: complete, every byte of the file on disk
    TRANSFER_RETRY_HINT retry;
    CString strOutcome;       // the sentence for the user
    BOOL fAborted = FALSE;    // Abort was called for the transfer
};

class ITransferEvents
{
public:
    virtual void OnTransferProgress(const TRANSFER_PROGRESS& progress) = 0;
    // The local file has to be deleted and cannot be: the user is told, and the call returns once
    // told. The transfer then ends without writing.
    virtual void OnLocalFileUndeletable(LPCTSTR pszPath) = 0;
    virtual void OnTransferEnded(const TRANSFER_END& end) = 0;

protected:
    ~ITransferEvents() = default;
};

struct TRANSFER_START
{
    CString strURL;
    CString strFilePath;
    BOOL fResumeStored = FALSE;  // the local file continues the download an earlier run stored
    BOOL fBeginAnew = FALSE;     // the local file is new: nothing of an earlier version counts
    CString strPublisher;        // the signer of the genuine installer; empty: no check
};

class ITransfer
{
public:
    // Begins the transfer on a worker thread of its own; the events go to pEvents up to and
    // including OnTransferEnded. FALSE, and no event, when the thread cannot be started.
    virtual BOOL Start(const TRANSFER_START& start, ITransferEvents* pEvents) = 0;
    // Stop/Pause or the end of the dialog, from any thread: no byte more is written, and the binding
    // is aborted on the worker's own thread.
    virtual void Abort() = 0;
    // A binding is running: an abort has something to end.
    virtual BOOL IsBound() = 0;

protected:
    ~ITransfer() = default;
};
