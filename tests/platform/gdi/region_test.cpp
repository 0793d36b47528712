#include "test_support.h"

TEST(Region, CombineModes) {
    HRGN a = CreateRectRgn(0, 0, 10, 10);
    HRGN b = CreateRectRgn(5, 5, 15, 15);
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(COMPLEXREGION, CombineRgn(r, a, b, RGN_OR));
    EXPECT_TRUE(PtInRegion(r, 12, 12));
    EXPECT_FALSE(PtInRegion(r, 12, 2));
    EXPECT_EQ(SIMPLEREGION, CombineRgn(r, a, b, RGN_AND));
    RECT box;
    GetRgnBox(r, &box);
    EXPECT_EQ(5, box.left);
    EXPECT_EQ(10, box.right);
    DeleteObject(a);
    DeleteObject(b);
    DeleteObject(r);
}
