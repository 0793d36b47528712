// Every module links its own copy of the renderer; handles, counts and the text log are still one per process.
#include "test_support.h"

#include <dlfcn.h>

using gditest::MemDC;

namespace {

class OtherModule : public ::testing::Test {
protected:
    void SetUp() override {
        m_handle = dlopen(GDI_OTHER_MODULE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(nullptr, m_handle) << dlerror();
        createBrush = reinterpret_cast<HBRUSH (*)(COLORREF)>(dlsym(m_handle, "OtherModuleCreateBrush"));
        fill = reinterpret_cast<BOOL (*)(HDC, const RECT*, HBRUSH)>(dlsym(m_handle, "OtherModuleFill"));
        text = reinterpret_cast<BOOL (*)(HDC, int, int, LPCWSTR, int)>(dlsym(m_handle, "OtherModuleText"));
        liveObjects = reinterpret_cast<int (*)()>(dlsym(m_handle, "OtherModuleLiveObjects"));
        remove = reinterpret_cast<BOOL (*)(HGDIOBJ)>(dlsym(m_handle, "OtherModuleDelete"));
        ASSERT_TRUE(createBrush && fill && text && liveObjects && remove);
    }
    void TearDown() override {
        if (m_handle)
            dlclose(m_handle);
    }

    HBRUSH (*createBrush)(COLORREF) = nullptr;
    BOOL (*fill)(HDC, const RECT*, HBRUSH) = nullptr;
    BOOL (*text)(HDC, int, int, LPCWSTR, int) = nullptr;
    int (*liveObjects)() = nullptr;
    BOOL (*remove)(HGDIOBJ) = nullptr;

private:
    void* m_handle = nullptr;
};

} // namespace

TEST_F(OtherModule, HandlesMadeInOneModuleWorkInTheOther) {
    MemDC dc(4, 4);
    HBRUSH brush = createBrush(RGB(1, 2, 3));
    RECT r{0, 0, 2, 2};
    EXPECT_TRUE(FillRect(dc, &r, brush)) << "our copy accepts the other module's brush";
    EXPECT_EQ(RGB(1, 2, 3), dc.at(1, 1));
    HBRUSH ours = CreateSolidBrush(RGB(7, 8, 9));
    RECT s{2, 2, 4, 4};
    EXPECT_TRUE(fill(dc, &s, ours)) << "the other copy draws into our DC with our brush";
    EXPECT_EQ(RGB(7, 8, 9), dc.at(3, 3));
    EXPECT_EQ(platform::gdi::LiveObjectCount(), liveObjects());
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(remove(ours));
    EXPECT_FALSE(remove(ours)) << "deleted once, for both";
}

TEST_F(OtherModule, TextDrawnByTheOtherModuleIsInOurLog) {
    MemDC dc(60, 20);
    platform::gdi::ClearTextLog();
    EXPECT_TRUE(text(dc, 3, 4, u"Scan", 4));
    auto log = platform::gdi::TextLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(u"Scan", log[0].text);
}
