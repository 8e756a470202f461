// GetResultMessage: the outcome sentence of every final HRESULT of a binding.
#include <gtest/gtest.h>
#include "download/CURLDownloading.h"

TEST(ResultMessageTest, EveryRowOfTheTableHasItsSentence)
{
    CURLDownloading dlg;
    struct Row
    {
        HRESULT hr;
        const char* pszText;
    };
    const Row rows[] = {
        {S_OK, "Download Complete"},
        {S_FALSE, "Download InComplete - UnKnown Failure"},
        {E_FAIL, "Download InComplete - UnKnown Failure"},
        {static_cast<HRESULT>(0x800C0002), "You have entered in an invalid URL.  Please enter in the correct URL"},
        {static_cast<HRESULT>(0x800C0003), "Internet session cannot be established"},
        {static_cast<HRESULT>(0x800C0004), "The attempt to connect to the Internet has failed"},
        {static_cast<HRESULT>(0x800C0005), "The specified file does not exist on server."},
        {static_cast<HRESULT>(0x800C0006), "The object was not found"},
        {static_cast<HRESULT>(0x800C0007), "An Internet connection was established, but the data cannot be retrieved"},
        {static_cast<HRESULT>(0x800C0008), "The download has failed (the connection was interrupted)"},
        {static_cast<HRESULT>(0x800C0009), "Authentication is needed to access the object"},
        {static_cast<HRESULT>(0x800C000A), "The file is not one of the acceptable MIME types"},
        {static_cast<HRESULT>(0x800C000B), "The Internet connection has timed out"},
        {static_cast<HRESULT>(0x800C000C), "The request was invalid"},
        {static_cast<HRESULT>(0x800C000D),
         "The protocol is not known and no pluggable protocols have been entered that match"},
        {static_cast<HRESULT>(0x800C000E), "A security problem was encountered"},
        {static_cast<HRESULT>(0x800C000F), "The object could not be loaded"},
        {static_cast<HRESULT>(0x800C0010), "CoCreateInstance failed"},
        {static_cast<HRESULT>(0x800C0014), "The request is being redirected"},
        // The engine's own outcomes for a local file that cannot be written.
        {STG_E_WRITEFAULT, "The download could not be written to the local file"},
        {STG_E_MEDIUMFULL, "There is not enough space on the disk to save the download"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.pszText);
        EXPECT_STREQ(row.pszText, dlg.GetResultMessage(row.hr));
    }
}

TEST(ResultMessageTest, AnyOtherValueIsTheInterruptedSentence)
{
    CURLDownloading dlg;
    const HRESULT others[] = {E_ABORT, E_OUTOFMEMORY, static_cast<HRESULT>(0x800C0001),
                              static_cast<HRESULT>(0x800C0011), 2, static_cast<HRESULT>(0x80070070)};
    for (HRESULT hr : others)
        EXPECT_STREQ("Download Interrupted / Time Out Action _ By User", dlg.GetResultMessage(hr));
}
