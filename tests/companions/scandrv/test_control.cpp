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
