// The control file's parser on its own: documents that lie off any bed are malformed lines, kept out like others.

#include "companions/scandrv/ControlFile.h"

#include <gtest/gtest.h>

using scandrv::ParseControl;

TEST(ControlFile, DocumentOffEveryBedIsIgnored) {
    const scandrv::Placement defaults;
    for (const char* line :
         {"document = 1200 1200 1e12 9600\n", "document = 1200 1200 7200 60001\n", "document = -1e9 1200 7200 9600\n",
          "document = 1200 1e300 7200 9600\n", "document = 1200 1200 0 9600\n"}) {
        const scandrv::Control control = ParseControl(line);
        EXPECT_EQ(control.document.width, defaults.width) << line;
        EXPECT_EQ(control.document.height, defaults.height) << line;
        EXPECT_EQ(control.document.left, defaults.left) << line;
        EXPECT_EQ(control.document.top, defaults.top) << line;
    }
    const scandrv::Control largest = ParseControl("document = -60000 60000 60000 60000\n");
    EXPECT_EQ(largest.document.left, -60000);
    EXPECT_EQ(largest.document.height, 60000) << "a document of 50 inches is still on the bed";
}

// A line the device cannot read is reported with its number, not silently dropped; comments, blank lines and good
// lines are not.
TEST(ControlFile, LinesItCannotReadAreReported) {
    std::vector<std::string> unread;
    const scandrv::Control control = ParseControl("# the feeder\n"
                                                  "feeder_sheets = 5\n"
                                                  "\n"
                                                  "feeder_sheets = five\n"
                                                  "colour = red   # not a key\n"
                                                  "usb 0\n"
                                                  "jam = 0 12\n"
                                                  "fault = ScanDrv_StartScan\n"
                                                  "fault = ScanDrv_StartScan 5 twice\n"
                                                  "skew = 50\n"
                                                  "   # only a comment\n"
                                                  "page_ms = 20\n",
                                                  &unread);
    EXPECT_EQ(control.feederSheets, 5);
    EXPECT_EQ(control.pageMs, 20);
    EXPECT_TRUE(control.usb);
    EXPECT_EQ(unread,
              (std::vector<std::string>{"line 4: feeder_sheets = five", "line 5: colour = red   # not a key",
                                        "line 6: usb 0", "line 7: jam = 0 12", "line 8: fault = ScanDrv_StartScan",
                                        "line 9: fault = ScanDrv_StartScan 5 twice", "line 10: skew = 50"}));
}

TEST(ControlFile, TheNetworkWaitIsMillisecondsOrNever) {
    EXPECT_EQ(ParseControl("").netWaitMs, 0);
    EXPECT_EQ(ParseControl("net_wait_ms = 250\n").netWaitMs, 250);
    EXPECT_EQ(ParseControl("net_wait_ms = never\n").netWaitMs, scandrv::kNetWaitNever);
    std::vector<std::string> unread;
    EXPECT_EQ(ParseControl("net_wait_ms = -5\nnet_wait_ms = soon\n", &unread).netWaitMs, 0);
    EXPECT_EQ(unread.size(), 2u);
}

TEST(ControlFile, TheManualDuplexPauseIsMillisecondsOrNever) {
    EXPECT_EQ(ParseControl("").duplexWaitMs, 1000);
    EXPECT_EQ(ParseControl("duplex_wait_ms = 0\n").duplexWaitMs, 0);
    EXPECT_EQ(ParseControl("duplex_wait_ms = never\n").duplexWaitMs, scandrv::kDuplexWaitNever);
    std::vector<std::string> unread;
    EXPECT_EQ(ParseControl("duplex_wait_ms = -1\nduplex_wait_ms = later\n", &unread).duplexWaitMs, 1000);
    EXPECT_EQ(unread.size(), 2u);
}

TEST(ControlFile, ShortReadsAreBytesOrNothing) {
    EXPECT_EQ(ParseControl("").shortReads, 0);
    EXPECT_EQ(ParseControl("short_reads = 512\n").shortReads, 512);
    std::vector<std::string> unread;
    EXPECT_EQ(ParseControl("short_reads = -3\nshort_reads = half\n", &unread).shortReads, 0);
    EXPECT_EQ(unread.size(), 2u);
}
