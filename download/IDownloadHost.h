// What the download dialog needs of the program around it: the stored record of an unfinished
// download (its validator, and its removal once complete) and the end of the program.
#pragma once
#include "transfer/CInstallerVersion.h"

class IDownloadHost : public IValidatorStore
{
public:
    // The download has completed: the stored folder and validator are deleted.
    virtual void ForgetStoredDownload() = 0;
    // The download dialog has ended: so does the program.
    virtual void DownloadDialogEnded() = 0;

protected:
    ~IDownloadHost() = default;
};
