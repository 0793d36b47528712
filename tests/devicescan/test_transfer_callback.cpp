// The transfer callback of the push scan: its page streams, the progress window it keeps up to date, the errors it
// shows for each status, and the cancel it passes on.
#include "VelmoraTestRoot.h"

#include "devicescan/CDlg_error.h"
#include "devicescan/CProgressDlg.h"
#include "devicescan/CTransferCallbackEx.h"
#include "platform/user/commctrl.h"
#include "platform/user/testing.h"
#include "tests/support/WindowText.h"

#include <chrono>
#include <thread>

namespace ut = platform::user::testing;

namespace {

const int g_headless = setenv("PLATFORM_HEADLESS", "1", 0);

using testsupport::ItemText;

TransferMessage Message(int type, int percent = 0, int status = 0) {
    return TransferMessage{type, percent, 0, status};
}

// The progress window while it is up: the one top-level dialog with a progress bar.
HWND ProgressWindow() {
    HWND window = FindWindowW(nullptr, u"Scan to PC");
    return window && GetDlgItem(window, CProgressDlg::kProgressBar) ? window : nullptr;
}

} // namespace

class TransferCallbackTest : public VelmoraTestRoot {
protected:
    void SetUp() override {
        VelmoraTestRoot::SetUp();
        UseLanguage("enus");
        SetIni(u"English", u"Push UI Title", u"Scan to PC");
        ut::SetModalInterceptor([this](HWND dialog) {
            if (GetDlgItem(dialog, CProgressDlg::kProgressBar))
                return;
            m_shown.push_back(ItemText(dialog, CDlg_error::kMessage));
            EndDialog(dialog, IDOK);
        });
    }
    void TearDown() override {
        ut::SetModalInterceptor(nullptr);
        VelmoraTestRoot::TearDown();
    }

    std::vector<std::u16string> m_shown; // the texts of the error windows
};

TEST_F(TransferCallbackTest, EachStatusShowsItsTextAndClosesTheProgressWindow) {
    const std::pair<int, UINT> statuses[] = {{3, 8018},   {6, 8023},   {7, 8024},  {8, 8026},  {12, 8017},  {-51, 8016},
                                             {-54, 8019}, {-55, 8021}, {-3, 8017}, {-1, 8017}, {-40, 8017}, {99, 8017}};
    for (auto [status, stringId] : statuses) {
        m_shown.clear();
        CTransferCallbackEx callback;
        TransferMessage page = Message(TRANSFER_MSG_NEW_PAGE);
        ASSERT_EQ(callback.TransferCallback(0, &page), 0);
        ASSERT_NE(ProgressWindow(), nullptr);
        TransferMessage error = Message(TRANSFER_MSG_PROGRESS, 0, status);
        EXPECT_EQ(callback.TransferCallback(0, &error), status);
        EXPECT_EQ(m_shown, std::vector<std::u16string>{std::u16string(LoadResString(stringId))}) << status;
        EXPECT_TRUE(callback.IsCancelled()) << "no progress window is left";
    }
    // Driver result 2 closes the window and shows nothing.
    m_shown.clear();
    CTransferCallbackEx callback;
    TransferMessage page = Message(TRANSFER_MSG_NEW_PAGE);
    callback.TransferCallback(0, &page);
    TransferMessage two = Message(TRANSFER_MSG_PROGRESS, 0, 2);
    EXPECT_EQ(callback.TransferCallback(0, &two), 2);
    EXPECT_TRUE(m_shown.empty());
    EXPECT_TRUE(callback.IsCancelled());
}

TEST_F(TransferCallbackTest, ProgressShowsThePercentAndThePageAndEndOfPageOrCancelIsNoError) {
    CTransferCallbackEx callback;
    TransferMessage page = Message(TRANSFER_MSG_NEW_PAGE);
    callback.TransferCallback(0, &page);
    callback.TransferCallback(0, &page);
    HWND window = ProgressWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ItemText(window, CProgressDlg::kPageNumber), u"2");

    TransferMessage progress = Message(TRANSFER_MSG_PROGRESS, 45);
    EXPECT_EQ(callback.TransferCallback(0, &progress), 0);
    EXPECT_EQ(ItemText(window, CProgressDlg::kPercentText), u"Scanning... 45%");
    EXPECT_EQ(SendDlgItemMessageW(window, CProgressDlg::kProgressBar, PBM_GETPOS, 0, 0), 45);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, IDCANCEL)));
    for (int status : {201, 202}) {
        TransferMessage done = Message(TRANSFER_MSG_PROGRESS, 100, status);
        EXPECT_EQ(callback.TransferCallback(0, &done), status);
    }
    EXPECT_TRUE(m_shown.empty()) << "201 and 202 are no errors";
    // Nor is 1, which a PlatformOrca device answers when no page follows: the window stays.
    TransferMessage noPage = Message(TRANSFER_MSG_PROGRESS, 100, 1);
    EXPECT_EQ(callback.TransferCallback(0, &noPage), 1);
    EXPECT_TRUE(m_shown.empty());
    EXPECT_EQ(ProgressWindow(), window);
    EXPECT_EQ(ItemText(window, CProgressDlg::kPercentText), u"Scanning... 100%");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDCANCEL))) << "no Cancel at 100 percent";

    TransferMessage end = Message(TRANSFER_MSG_END_OF_TRANSFER);
    EXPECT_EQ(callback.TransferCallback(0, &end), 0);
    EXPECT_TRUE(callback.IsCancelled());
    EXPECT_EQ(callback.TransferCallback(0, nullptr), -1);

    // Without a window the progress calls do nothing.
    callback.UpdateProgress(50);
    callback.OnNewPage();
}

TEST_F(TransferCallbackTest, CancelInTheWindowIsAnsweredAs202) {
    CTransferCallbackEx callback;
    TransferMessage page = Message(TRANSFER_MSG_NEW_PAGE);
    callback.TransferCallback(0, &page);
    HWND window = ProgressWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(callback.IsCancelled());
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; i < 500 && !callback.IsCancelled(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(callback.IsCancelled());
    TransferMessage progress = Message(TRANSFER_MSG_PROGRESS, 10);
    EXPECT_EQ(callback.TransferCallback(0, &progress), 202);
}

TEST_F(TransferCallbackTest, EachNewStreamReplacesThePreviousOneAndOpensTheWindow) {
    CTransferCallbackEx callback;
    IStream* first = nullptr;
    ASSERT_EQ(callback.NewStream(0, &first), 0);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(ProgressWindow(), nullptr) << "the first stream of a job brings the progress window";
    const BYTE bytes[] = {1, 2, 3};
    ULONG written = 0;
    EXPECT_EQ(first->Write(bytes, 3, &written), S_OK);
    EXPECT_EQ(first->Release(), 1u) << "the callback keeps its own reference";

    IStream* second = nullptr;
    ASSERT_EQ(callback.NewStream(0, &second), 0);
    STATSTG stat{};
    second->Stat(&stat, STATFLAG_NONAME);
    EXPECT_EQ(stat.cbSize.QuadPart, 0u) << "a fresh page";
    second->Release();
    EXPECT_EQ(callback.NewStream(0, nullptr), -40);
}
