// The progress window: its own thread, reference counting, cancel, and a window that cannot be created.
#include "VelmoraTestRoot.h"

#include "devicescan/CProgressDlg.h"
#include "platform/user/commctrl.h"
#include "platform/user/testing.h"
#include "platform/user/winuser.h"
#include "tests/support/WindowText.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace ut = platform::user::testing;

namespace {

using testsupport::ItemText;

// Waits (a few seconds at most) until `done` holds; the windows answer on their own threads meanwhile.
template <typename Condition> bool Eventually(Condition done) {
    for (int i = 0; i < 500 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

// An application object whose message pre-translation is slow, as a real one's may be: the window's modal loop calls
// it for every message, on the window's thread.
class SlowApplication : public CWinApp {
public:
    BOOL PreTranslateMessage(MSG* msg) override {
        ++m_calls;
        m_inside = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        m_inside = false;
        return CWinApp::PreTranslateMessage(msg);
    }
    std::atomic<int> m_calls{0};
    std::atomic<bool> m_inside{false};
};

} // namespace

class ProgressDlgTest : public VelmoraTestRoot {
protected:
    void SetUp() override {
        VelmoraTestRoot::SetUp();
        UseLanguage("enus");
        SetIni(u"English", u"Push UI Title", u"Scan to PC");
    }
};

TEST_F(ProgressDlgTest, ComesUpInitialisedOnAThreadOfItsOwn) {
    auto* dlg = new CProgressDlg();
    dlg->AddRef();
    HWND hwnd = dlg->GetSafeHwnd();
    ASSERT_NE(hwnd, nullptr) << "the constructor returns once the window is initialised";
    EXPECT_NE(GetWindowThreadProcessId(hwnd, nullptr), GetCurrentThreadId());
    // Its thread shows it once the initialisation has returned, after the constructor may have.
    EXPECT_TRUE(Eventually([&] { return IsWindowVisible(hwnd) != FALSE; }));
    WCHAR title[64] = {};
    GetWindowTextW(hwnd, title, 64);
    EXPECT_EQ(std::u16string(title), u"Scan to PC");
    EXPECT_EQ(ItemText(hwnd, IDCANCEL), u"Cancel");
    EXPECT_EQ(ItemText(hwnd, CProgressDlg::kPageNumber), u"0");
    EXPECT_EQ(ItemText(hwnd, CProgressDlg::kPageLabel), u"Pages:");
    SendDlgItemMessageW(hwnd, CProgressDlg::kProgressBar, PBM_SETPOS, 150, 0);
    EXPECT_EQ(SendDlgItemMessageW(hwnd, CProgressDlg::kProgressBar, PBM_GETPOS, 0, 0), 100) << "range 0 to 100";
    dlg->Release();
}

TEST_F(ProgressDlgTest, TheLastReleaseClosesTheWindow) {
    auto* dlg = new CProgressDlg();
    EXPECT_EQ(dlg->AddRef(), 1u);
    EXPECT_EQ(dlg->AddRef(), 2u);
    HWND hwnd = dlg->GetSafeHwnd();
    EXPECT_EQ(dlg->Release(), 1u);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(dlg->Release(), 0u);
    EXPECT_TRUE(Eventually([&] { return !IsWindow(hwnd); }));
    EXPECT_TRUE(Logged(u"End Progress Dialog"));
}

TEST_F(ProgressDlgTest, TheLastReleaseReturnsOnlyOnceTheWindowThreadHasEnded) {
    // Attended, as in the program: the modal loop takes every message from its queue.
    ut::SetModalInterceptor([](HWND) {});
    for (int round = 0; round < 3; ++round) {
        SlowApplication app; // goes when the round does: nothing may call it afterwards
        auto* dlg = new CProgressDlg();
        dlg->AddRef();
        HWND hwnd = dlg->GetSafeHwnd();
        ASSERT_NE(hwnd, nullptr);
        // A hidden window is ended without a word to its thread, which may be busy in the application meanwhile.
        ShowWindow(hwnd, SW_HIDE);
        PostMessageW(hwnd, WM_NULL, 0, 0);
        ASSERT_TRUE(Eventually([&] { return app.m_inside.load(); })) << "the modal loop asks the application";
        EXPECT_EQ(dlg->Release(), 0u);
        EXPECT_FALSE(app.m_inside) << "the window thread was still inside the application object";
        EXPECT_FALSE(IsWindow(hwnd)) << "the window thread had not ended when the last release returned";
        const int calls = app.m_calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(app.m_calls, calls) << "the application was called after the last release";
    }
    ut::SetModalInterceptor(nullptr);
}

TEST_F(ProgressDlgTest, AnswersOnlyIUnknown) {
    auto* dlg = new CProgressDlg();
    dlg->AddRef();
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(dlg->QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(object, static_cast<IUnknown*>(dlg));
    EXPECT_EQ(dlg->Release(), 1u) << "QueryInterface added a reference";
    EXPECT_EQ(dlg->QueryInterface(IID_IStream, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(dlg->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    dlg->Release();
}

TEST_F(ProgressDlgTest, CancelCountsEveryPressAndSaysSo) {
    auto* dlg = new CProgressDlg();
    dlg->AddRef();
    HWND hwnd = dlg->GetSafeHwnd();
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(dlg->GetCancelCount(), 2);
    EXPECT_EQ(ItemText(hwnd, IDCANCEL), u"Canceling...");
    EXPECT_TRUE(IsWindow(hwnd)) << "Cancel only asks; the scan closes the window";
    dlg->Release();
}

TEST_F(ProgressDlgTest, TheCloseBoxCancelsBelowOneHundredPercentAndIsIgnoredAtIt) {
    auto* dlg = new CProgressDlg();
    dlg->AddRef();
    HWND hwnd = dlg->GetSafeHwnd();
    dlg->SetLastPercent(100);
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(dlg->GetCancelCount(), 0);
    dlg->SetLastPercent(40);
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(dlg->GetCancelCount(), 1);
    EXPECT_TRUE(IsWindow(hwnd));
    dlg->Release();
}

TEST_F(ProgressDlgTest, ThePageNumberIsShownAndWrittenToTheDebugOutput) {
    auto* dlg = new CProgressDlg();
    dlg->AddRef();
    dlg->SetPageNumber(12);
    EXPECT_EQ(ItemText(dlg->GetSafeHwnd(), CProgressDlg::kPageNumber), u"12");
    EXPECT_EQ(dlg->GetPageNumber(), 12);
    EXPECT_TRUE(Logged(u"12"));
    dlg->Release();
}

TEST_F(ProgressDlgTest, ManyWindowsComeAndGoFromSeveralThreads) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 10; ++i) {
                auto* dlg = new CProgressDlg();
                dlg->AddRef();
                dlg->SetPageNumber(i);
                dlg->Release();
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_TRUE(Eventually([] { return FindWindowW(nullptr, u"Scan to PC") == nullptr; }));
}

TEST_F(ProgressDlgTest, InHebrewTheBarFillsFromTheRightAndTheLabelsChangeSides) {
    UseLanguage("he");
    auto* dlg = new CProgressDlg();
    dlg->AddRef();
    HWND hwnd = dlg->GetSafeHwnd();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(hwnd, CProgressDlg::kProgressBar), GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
    RECT label{}, cancel{};
    GetWindowRect(GetDlgItem(hwnd, CProgressDlg::kPageLabel), &label);
    GetWindowRect(GetDlgItem(hwnd, IDCANCEL), &cancel);
    EXPECT_GT(label.left, cancel.right) << "the page label moves right of Cancel";
    EXPECT_EQ(ItemText(hwnd, CProgressDlg::kPageLabel), u"\u05e2\u05de\u05d5\u05d3\u05d9\u05dd:");
    dlg->Release();
}

// A resource module whose progress layout cannot be built (a control of a class nobody registered): the window
// cannot be created, and nothing waits for it.
class ProgressDlgWithoutWindowTest : public VelmoraTestRoot {};

TEST_F(ProgressDlgWithoutWindowTest, NeverHangsAndEveryCallStillWorks) {
    const std::string path = std::string(PROJECT_STAGE_DIR) + "/../tests/devicescan/brokenlayout.so";
    HMODULE broken = LoadLibraryW(platform::path::ToDosPath(path).c_str());
    ASSERT_NE(broken, nullptr) << path;
    AfxSetResourceHandle(broken);
    auto* dlg = new CProgressDlg();
    AfxSetResourceHandle(AfxGetInstanceHandle());
    FreeLibrary(broken);
    dlg->AddRef();
    EXPECT_EQ(dlg->GetSafeHwnd(), nullptr);
    dlg->SetPageNumber(3);
    EXPECT_EQ(dlg->GetCancelCount(), 0);
    EXPECT_EQ(dlg->Release(), 0u);
}
