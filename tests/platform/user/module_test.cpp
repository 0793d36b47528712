// A module's copy of the window manager shares the process's windows, classes, hooks and timers; when the module is
// unloaded, those that run its code go with it, so that nothing calls into code that is no longer there.
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <thread>

namespace {

namespace ut = platform::user::testing;

TEST(ModuleUnload, WhatAModuleLeftRunningGoesWithIt) {
    void* module = dlopen(LEAVING_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto leave = reinterpret_cast<HWND (*)()>(dlsym(module, "LeavingModuleLeaveThings"));
    ASSERT_NE(leave, nullptr);
    HWND left = leave();
    ASSERT_TRUE(IsWindow(left));
    ASSERT_EQ(dlclose(module), 0);
    ASSERT_EQ(dlopen(LEAVING_MODULE, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the module stayed loaded";

    EXPECT_FALSE(IsWindow(left)) << "its window outlived it";
    WNDCLASSW wc{};
    EXPECT_FALSE(GetClassInfoW(nullptr, u"LeavingModuleClass", &wc)) << "its window class outlived it";
    // Its hook would see these messages, its timer would be due.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0);
    ut::RunPendingMessages();

    // The cursor it set is still the process's shape: the same handle as this module's own of that system cursor.
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_SIZEWE)) << "every module shares the process's cursors";

    // The built-in classes it may have registered first still serve this module.
    HWND button =
        CreateWindowExW(0, u"Button", u"mine", WS_OVERLAPPEDWINDOW, 0, 0, 40, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(GetClassInfoW(nullptr, u"#32770", &wc));
    EXPECT_NE(wc.lpfnWndProc, nullptr);
    SendMessageW(button, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"still drawn"));
    ut::RunPendingMessages();
    DestroyWindow(button);
}

} // namespace
