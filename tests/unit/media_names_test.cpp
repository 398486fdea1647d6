// Telling addresses from file names.
#include "platform/MediaAddress.h"

#include <gtest/gtest.h>

using namespace quavix;

TEST(StreamAddress, OnlyKnownSchemesAreAddresses)
{
    struct Case {
        const char* text;
        bool address;
    };
    for (const Case& c : {Case{"http://radio.example/live", true},
                          {"HTTPS://a/b.mp3", true},
                          {"mms://a/b", true},
                          {"mmsh://a/b", true},
                          {"rtsp://a/b", true},
                          {"file:///music/a.mp3", true},
                          {"a:b.mp3", false},
                          {"C:\\x.mp3", false},
                          {"C://x.mp3", false},
                          {"ftp://a/b.mp3", false},
                          {"/music/http://a.mp3", false},
                          {"://a", false},
                          {"", false}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(isStreamAddress(c.text), c.address);
    }
}
