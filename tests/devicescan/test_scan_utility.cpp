// The push-scan thread against the simulated device: what it tells its callback, page by page, and what each page
// stream holds.
#include "devicescan/CScanUtility.h"
#include "settings/PlatformFlags.h"
#include "tests/devicescan/page_marks.h"
#include "tests/devicescan/velmora_test_root.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

// Answers like the program's own callback without a window: the message's status; pages are kept as bytes.
class RecordingCallback : public CTransferCallback {
public:
    ~RecordingCallback() override {
        if (m_stream)
            m_stream->Release();
    }

    int NewStream(int, IStream** out) override {
        ++streams;
        if (m_stream)
            m_stream->Release();
        m_stream = nullptr;
        if (makeStream ? !(m_stream = makeStream()) : FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &m_stream)))
            return -40;
        m_stream->AddRef();
        *out = m_stream;
        return 0;
    }

    int TransferCallback(int, TransferMessage* message) override {
        messages.push_back(*message);
        if (message->type == TRANSFER_MSG_END_OF_STREAM && m_stream) {
            const BYTE* data = nullptr;
            ULONGLONG size = 0;
            if (platform::com::StreamBytes(m_stream, &data, &size))
                pages.emplace_back(data, data + size);
            // Only this callback's reference is left: the thread dropped its own at the end of the page.
            EXPECT_EQ(m_stream->AddRef(), 2u);
            m_stream->Release();
        }
        if (onMessage) {
            const int answer = onMessage(*message);
            if (answer != kPass)
                return answer;
        }
        return message->status;
    }

    bool IsCancelled() override { return cancelled; }

    std::vector<int> Types() const {
        std::vector<int> types;
        for (const TransferMessage& m : messages)
            types.push_back(m.type);
        return types;
    }
    // The statuses of error reports ({0, 0, 0, code} with code not 0).
    std::vector<int> Errors() const {
        std::vector<int> errors;
        for (const TransferMessage& m : messages)
            if (m.type == TRANSFER_MSG_PROGRESS && m.status != 0)
                errors.push_back(m.status);
        return errors;
    }
    int Count(int type) const {
        int n = 0;
        for (const TransferMessage& m : messages)
            n += m.type == type;
        return n;
    }

    static constexpr int kPass = 0x7FFFFFFF;
    std::vector<TransferMessage> messages;
    std::vector<std::vector<BYTE>> pages;
    std::function<int(const TransferMessage&)> onMessage; // kPass: answer as usual
    std::function<IStream*()> makeStream;
    std::atomic<bool> cancelled{false};
    int streams = 0;

private:
    IStream* m_stream = nullptr;
};

// A stream whose writes fail once `limit` bytes are in it.
class FailingStream final : public IStream {
public:
    explicit FailingStream(ULONG limit) : m_limit(limit) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG n = --m_refs;
        if (n == 0)
            delete this;
        return n;
    }
    HRESULT Read(void*, ULONG, ULONG*) override { return E_FAIL; }
    HRESULT Write(const void*, ULONG size, ULONG* written) override {
        if (m_size + size > m_limit)
            return STG_E_MEDIUMFULL;
        m_size += size;
        if (written)
            *written = size;
        return S_OK;
    }
    HRESULT Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return S_OK; }
    HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT Commit(DWORD) override { return S_OK; }
    HRESULT Revert() override { return E_NOTIMPL; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT Clone(IStream**) override { return E_NOTIMPL; }

private:
    ~FailingStream() = default;
    ULONG m_refs = 1;
    ULONG m_limit;
    ULONG m_size = 0;
};

} // namespace

class ScanUtilityTest : public velmoratest::TestRoot {
protected:
    void SetUp() override {
        TestRoot::SetUp();
        ASSERT_EQ(utility.GetScanner().LoadDriver(velmoratest::SimulatedDriverName().c_str()), 0);
    }
    void TearDown() override {
        g_bIsPlatformOrca = FALSE;
        TestRoot::TearDown();
    }

    // A4 at 75 dpi into C:\Scans, from the given source.
    ScanRequest Request(int colour, int source, int multiPage, int dpi = 75, int width = 9921, int height = 14031) {
        ScanRequest r{};
        r.openDevice = 1;
        std::strcpy(r.devicePath, "\\\\.\\Usbscan");
        std::u16string folder = u"C:\\Scans\\";
        std::copy(folder.begin(), folder.end(), r.saveFolder);
        r.multiPage = multiPage;
        r.source = source;
        r.colour = colour;
        r.dpiX = r.dpiY = dpi;
        r.width = width;
        r.height = height;
        r.threshold = 127;
        r.callback = &callback;
        return r;
    }

    // Runs the job on its thread and waits for it.
    void Run(ScanRequest& request) {
        ASSERT_TRUE(utility.StartScanThread(&request));
        utility.WaitForScanThread();
    }

    pagemarks::Marks MarksOf(size_t page, int dpi = 75) {
        pagemarks::GreyImage image;
        EXPECT_TRUE(pagemarks::FromBmp(callback.pages.at(page), image)) << "page " << page;
        return pagemarks::ReadMarks(image, dpi, dpi);
    }

    RecordingCallback callback;
    CScanUtility utility;
};

TEST_F(ScanUtilityTest, AFlatbedPageIsAnnouncedStreamedCompletedAndTheJobAndThreadEnd) {
    ScanRequest request = Request(2, 0, 0);
    Run(request);
    std::vector<int> types = callback.Types();
    ASSERT_GE(types.size(), 5u) << DebugText();
    EXPECT_EQ(types.front(), TRANSFER_MSG_NEW_PAGE);
    EXPECT_EQ(std::vector<int>(types.end() - 3, types.end()),
              (std::vector<int>{TRANSFER_MSG_END_OF_STREAM, TRANSFER_MSG_END_OF_TRANSFER, TRANSFER_MSG_THREAD_END}));
    EXPECT_TRUE(callback.Errors().empty());
    ASSERT_EQ(callback.pages.size(), 1u);

    // 620 pixels of 3 bytes make a stride of 1860; the progress counts image bytes only and ends at 100.
    const int stride = 1860, lines = 14031 * 75 / 1200;
    EXPECT_EQ(callback.pages[0].size(), 54u + static_cast<size_t>(stride) * lines);
    int lastBytes = 0, lastPercent = -1;
    for (const TransferMessage& m : callback.messages) {
        if (m.type != TRANSFER_MSG_PROGRESS)
            continue;
        EXPECT_GT(m.bytes, lastBytes);
        EXPECT_GE(m.percent, lastPercent);
        EXPECT_EQ(m.bytes % stride, 0);
        lastBytes = m.bytes;
        lastPercent = m.percent;
    }
    EXPECT_EQ(lastBytes, stride * lines);
    EXPECT_EQ(lastPercent, 100);
    EXPECT_EQ(callback.messages[1].bytes, 131072 / stride * stride) << "75 dpi reads 128 KiB chunks";

    pagemarks::Marks marks = MarksOf(0);
    EXPECT_TRUE(marks.valid);
    EXPECT_EQ(marks.sheet, 1);
    EXPECT_FALSE(marks.back);
    EXPECT_TRUE(Logged(u"no page.")) << "a single-page job still asks whether another page follows";
}

TEST_F(ScanUtilityTest, ChunksGrowWithTheResolution) {
    // A 90 x 55 mm card keeps the 300 and 600 dpi pages small.
    const std::pair<int, int> chunks[] = {{150, 131072}, {300, 262144}, {600, 1048576}};
    for (auto [dpi, chunk] : chunks) {
        RecordingCallback fresh;
        ScanRequest request = Request(1, 0, 0, dpi, 4252, 2598);
        request.callback = &fresh;
        CScanUtility local;
        ASSERT_EQ(local.GetScanner().LoadDriver(velmoratest::SimulatedDriverName().c_str()), 0);
        ASSERT_EQ(local.Scan(&request), 0);
        const int stride = (4252 * dpi / 1200 + 3) / 4 * 4;
        const int pageBytes = stride * (2598 * dpi / 1200);
        ASSERT_GE(fresh.messages.size(), 2u);
        EXPECT_EQ(fresh.messages[1].bytes, std::min(chunk / stride * stride, pageBytes)) << dpi;
    }
}

TEST_F(ScanUtilityTest, EveryColourModeGivesAPageWhoseMarksCanBeRead) {
    for (int colour : {0, 1, 2}) {
        RecordingCallback fresh;
        ScanRequest request = Request(colour, 0, 0);
        request.callback = &fresh;
        ASSERT_EQ(utility.Scan(&request), 0) << colour;
        ASSERT_EQ(fresh.pages.size(), 1u) << colour;
        const std::vector<BYTE>& bmp = fresh.pages[0];
        EXPECT_EQ(bmp[28], colour == 0 ? 1 : colour == 1 ? 8 : 24) << colour;
        pagemarks::GreyImage image;
        ASSERT_TRUE(pagemarks::FromBmp(bmp, image));
        pagemarks::Marks marks = pagemarks::ReadMarks(image, 75, 75);
        EXPECT_TRUE(marks.valid) << colour;
        EXPECT_EQ(marks.sheet, 1) << colour;
    }
}

TEST_F(ScanUtilityTest, TheFeederScansEverySheetInOrder) {
    WriteControl("feeder_sheets = 3\n");
    ScanRequest request = Request(1, 1, 1);
    Run(request);
    ASSERT_EQ(callback.pages.size(), 3u) << DebugText();
    for (size_t i = 0; i < 3; ++i) {
        pagemarks::Marks marks = MarksOf(i);
        EXPECT_TRUE(marks.valid);
        EXPECT_EQ(marks.sheet, static_cast<int>(i) + 1);
        EXPECT_FALSE(marks.back);
    }
    EXPECT_EQ(callback.Count(TRANSFER_MSG_NEW_PAGE), 3);
    EXPECT_EQ(callback.Count(TRANSFER_MSG_END_OF_TRANSFER), 1);
    EXPECT_TRUE(callback.Errors().empty());
}

TEST_F(ScanUtilityTest, DuplexScansTheFrontAndBackOfEachSheet) {
    WriteControl("feeder_sheets = 2\n");
    ScanRequest request = Request(2, 3, 1);
    Run(request);
    ASSERT_EQ(callback.pages.size(), 4u) << DebugText();
    const std::pair<int, bool> expected[] = {{1, false}, {1, true}, {2, false}, {2, true}};
    for (size_t i = 0; i < 4; ++i) {
        pagemarks::Marks marks = MarksOf(i);
        EXPECT_EQ(marks.sheet, expected[i].first) << i;
        EXPECT_EQ(marks.back, expected[i].second) << i;
    }
}

TEST_F(ScanUtilityTest, AJamEndsTheJobWithTheDriverCodeAfterThePagesBeforeIt) {
    WriteControl("feeder_sheets = 3\njam = 2 100\n");
    ScanRequest request = Request(1, 1, 1);
    Run(request);
    EXPECT_EQ(callback.pages.size(), 1u);
    EXPECT_EQ(callback.Errors(), std::vector<int>{8}) << "one error: the jam";
    std::vector<int> types = callback.Types();
    ASSERT_GE(types.size(), 3u);
    EXPECT_EQ(types[types.size() - 2], TRANSFER_MSG_END_OF_TRANSFER) << "the error comes before the end of transfer";
    EXPECT_TRUE(Logged(u"Scan thread fail: 8"));
}

TEST_F(ScanUtilityTest, ACancelWakesAReadTheDeviceHoldsUpAndTheJobEndsWithoutAnError) {
    WriteControl("stall = 1 20 0\n");
    ScanRequest request = Request(2, 0, 0);
    ASSERT_TRUE(utility.StartScanThread(&request));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    callback.cancelled = true;
    utility.WaitForScanThread();
    EXPECT_TRUE(callback.pages.empty()) << "the cancelled page is not complete";
    EXPECT_EQ(callback.Count(TRANSFER_MSG_END_OF_STREAM), 0);
    EXPECT_EQ(callback.Errors(), std::vector<int>{202}) << "the cancel travels as 202, which is no error to show";
    EXPECT_EQ(callback.Count(TRANSFER_MSG_END_OF_TRANSFER), 1);
}

TEST_F(ScanUtilityTest, ACancelAnsweredToAProgressMessageEndsThePage) {
    WriteControl("feeder_sheets = 3\n");
    ScanRequest request = Request(1, 1, 1);
    callback.onMessage = [&](const TransferMessage& m) {
        return m.type == TRANSFER_MSG_PROGRESS && m.percent > 50 && callback.pages.size() == 1
                   ? 202
                   : RecordingCallback::kPass;
    };
    Run(request);
    EXPECT_EQ(callback.pages.size(), 1u);
    EXPECT_TRUE(Logged(u"Scan thread is cancel"));
    EXPECT_EQ(callback.Count(TRANSFER_MSG_END_OF_TRANSFER), 1);
}

TEST_F(ScanUtilityTest, NotEnoughDiskSpaceOrNoFolderEndsTheJobBeforeAnyPage) {
    ScanRequest request = Request(2, 0, 0);
    platform::testing::SetDiskFreeSpace(1000);
    EXPECT_EQ(utility.Scan(&request), 0);
    EXPECT_EQ(callback.Errors(), std::vector<int>{-54});
    EXPECT_EQ(callback.Count(TRANSFER_MSG_NEW_PAGE), 0);
    EXPECT_EQ(callback.Count(TRANSFER_MSG_END_OF_TRANSFER), 1);

    platform::testing::SetDiskFreeSpace(std::nullopt);
    callback.messages.clear();
    std::u16string missing = u"C:\\Nowhere\\";
    std::copy(missing.begin(), missing.end() + 1, request.saveFolder);
    EXPECT_EQ(utility.Scan(&request), 0);
    EXPECT_EQ(callback.Errors(), std::vector<int>{-51});
    EXPECT_EQ(callback.Count(TRANSFER_MSG_NEW_PAGE), 0);
}

TEST_F(ScanUtilityTest, AFolderRemovedOrADiskFilledBetweenPagesEndsTheJobBeforeTheNextStream) {
    WriteControl("feeder_sheets = 3\n");
    ScanRequest request = Request(1, 1, 1);
    callback.onMessage = [&](const TransferMessage& m) {
        if (m.type == TRANSFER_MSG_END_OF_STREAM)
            std::filesystem::remove_all(Host("Scans"));
        return RecordingCallback::kPass;
    };
    Run(request);
    EXPECT_EQ(callback.pages.size(), 1u);
    EXPECT_EQ(callback.streams, 1) << "no stream for a page that has nowhere to go";
    EXPECT_EQ(callback.Errors(), std::vector<int>{-51});

    std::filesystem::create_directories(Host("Scans"));
    RecordingCallback fresh;
    request.callback = &fresh;
    fresh.onMessage = [&](const TransferMessage& m) {
        if (m.type == TRANSFER_MSG_END_OF_STREAM)
            platform::testing::SetDiskFreeSpace(1000);
        return RecordingCallback::kPass;
    };
    CScanUtility second;
    ASSERT_EQ(second.GetScanner().LoadDriver(velmoratest::SimulatedDriverName().c_str()), 0);
    ASSERT_TRUE(second.StartScanThread(&request));
    second.WaitForScanThread();
    EXPECT_EQ(fresh.pages.size(), 1u);
    EXPECT_EQ(fresh.Errors(), std::vector<int>{-54});
}

TEST_F(ScanUtilityTest, AStreamThatCannotTakeThePageEndsItWithMinus40) {
    ScanRequest request = Request(2, 0, 0);
    callback.makeStream = [] { return static_cast<IStream*>(new FailingStream(200000)); };
    Run(request);
    EXPECT_TRUE(callback.pages.empty());
    EXPECT_EQ(callback.Errors(), std::vector<int>{-40});

    RecordingCallback fresh;
    fresh.makeStream = [] { return static_cast<IStream*>(new FailingStream(10)); };
    request.callback = &fresh;
    EXPECT_EQ(utility.Scan(&request), 0);
    EXPECT_EQ(fresh.Errors(), std::vector<int>{-40}) << "not even the header fits";
    EXPECT_EQ(fresh.Count(TRANSFER_MSG_PROGRESS), 1) << "no progress before the failure";

    RecordingCallback none;
    none.makeStream = [] { return static_cast<IStream*>(nullptr); };
    request.callback = &none;
    const int readFailures = CountLogged(u"Scan thread fail");
    utility.Scan(&request);
    EXPECT_EQ(none.Errors(), std::vector<int>{-40});
    EXPECT_TRUE(Logged(u"new stream fail"));
    EXPECT_EQ(CountLogged(u"Scan thread fail"), readFailures) << "no page was read";
}

// Each entry point failing once: the job reports one error (or, where the design ignores the result, none), never
// completes a page after the failure, and the device ends closed.
TEST_F(ScanUtilityTest, ADeviceFaultAtEachStepGivesOneErrorAndNoPageAfterIt) {
    struct Case {
        const char* fault;
        std::vector<int> errors;
        size_t pages;
        bool endOfTransfer;
    };
    const Case cases[] = {
        {"ScanDrv_Open 4", {4}, 0, false},
        {"ScanDrv_SetScanParameter 18", {18}, 0, false},
        // The driver's general failure 1 is reported as -1: as a status, 1 is no error.
        {"ScanDrv_GetScanParameter 1", {-1}, 0, false},
        {"ScanDrv_StartScan 3", {-1}, 0, true}, // ignored: the first read then finds no job (1)
        {"ScanDrv_ReadScanData 8 once 1000", {8}, 1, true},
        // Any status but 0 means no further page; one other than 1 ("no page follows") is an error the user hears of.
        {"ScanDrv_GetNextPushStatus 7", {7}, 1, true},
        {"ScanDrv_GetNextPushStatus 1", {}, 1, true},
        {"ScanDrv_Close 1", {}, 3, true},
        {"ScanDrv_SetScanParameterAdj 1", {}, 3, true},
    };
    for (const Case& c : cases) {
        WriteControl(std::string("feeder_sheets = 3\nfault = ") + c.fault + "\n");
        RecordingCallback fresh;
        ScanRequest request = Request(1, 1, 1);
        request.callback = &fresh;
        CScanUtility local;
        ASSERT_EQ(local.GetScanner().LoadDriver(velmoratest::SimulatedDriverName().c_str()), 0);
        local.Scan(&request);
        EXPECT_EQ(fresh.Errors(), c.errors) << c.fault;
        EXPECT_EQ(fresh.pages.size(), c.pages) << c.fault;
        EXPECT_EQ(fresh.Count(TRANSFER_MSG_END_OF_TRANSFER), c.endOfTransfer ? 1 : 0) << c.fault;
        EXPECT_FALSE(local.GetScanner().IsOpen()) << c.fault;
    }
}

TEST_F(ScanUtilityTest, PlatformOrcaWaitsWhileTheDeviceIsBusyAndEndsWithoutErrorWhenCancelled) {
    g_bIsPlatformOrca = TRUE;
    WriteControl("feeder_sheets = 3\npush_status = 13 0 13\n");
    ScanRequest request = Request(1, 4, 1);
    callback.onMessage = [&](const TransferMessage& m) {
        // The user gives up while the device keeps answering 13 after the second page.
        if (m.type == TRANSFER_MSG_END_OF_STREAM && callback.pages.size() == 2)
            std::thread([this] {
                std::this_thread::sleep_for(std::chrono::milliseconds(1200));
                callback.cancelled = true;
            }).detach();
        return RecordingCallback::kPass;
    };
    Run(request);
    EXPECT_EQ(callback.pages.size(), 2u);
    EXPECT_TRUE(callback.Errors().empty());
    EXPECT_EQ(callback.Count(TRANSFER_MSG_END_OF_TRANSFER), 1);
    EXPECT_TRUE(Logged(u"CScanner:: DevMon_Open_C_()"));
}

TEST_F(ScanUtilityTest, PlatformOrcaEndsASinglePageJobAfterThePageAndAnUnknownStatusWithThatError) {
    g_bIsPlatformOrca = TRUE;
    WriteControl("feeder_sheets = 3\npush_status = 6\n");
    ScanRequest single = Request(1, 8, 0);
    EXPECT_EQ(utility.Scan(&single), 0);
    EXPECT_EQ(callback.pages.size(), 1u);
    EXPECT_TRUE(callback.Errors().empty());

    RecordingCallback fresh;
    ScanRequest several = Request(1, 4, 1);
    several.callback = &fresh;
    EXPECT_EQ(utility.Scan(&several), 0);
    EXPECT_EQ(fresh.pages.size(), 1u);
    EXPECT_EQ(fresh.Errors(), std::vector<int>{6});
}

TEST_F(ScanUtilityTest, TheDiskRuleCountsTwoPagesAt1200DpiAnd300MiB) {
    EXPECT_EQ(DiskSpaceNeeded(2, 9921, 14031), 1149782106LL);
    EXPECT_EQ(DiskSpaceNeeded(1, 9921, 14031), 9921LL * 14031 * 2 + 314572800);
    EXPECT_EQ(DiskSpaceNeeded(0, 9921, 14031), (9921LL + 7) / 8 * 14031 * 2 + 314572800);
    platform::testing::SetDiskFreeSpace(1149782106ULL);
    EXPECT_TRUE(CheckDiskSpace(2, 9921, 14031, u"C:\\Scans\\"));
    platform::testing::SetDiskFreeSpace(1149782105ULL);
    EXPECT_FALSE(CheckDiskSpace(2, 9921, 14031, u"C:\\Scans\\"));
}
