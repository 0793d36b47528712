// The simulated device's jobs: sources, device events, faults, cancelling, polls, discovery and push status.
#include "DriverFixture.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace scandrv;
using namespace std::chrono_literals;

namespace {

struct Event {
    int code, page, side;
    bool operator==(const Event& o) const { return code == o.code && page == o.page && side == o.side; }
};
std::ostream& operator<<(std::ostream& os, const Event& e) {
    return os << "{" << e.code << "," << e.page << "," << e.side << "}";
}

struct Recorder {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<Event> events;
    std::vector<std::thread::id> threads;

    static int Callback(void* context, int code, int page, int side) {
        auto* self = static_cast<Recorder*>(context);
        {
            std::lock_guard lock(self->mutex);
            self->events.push_back({code, page, side});
            self->threads.push_back(std::this_thread::get_id());
        }
        self->cv.notify_all();
        return 0;
    }

    bool WaitFor(int code, std::chrono::milliseconds limit = 5000ms) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, limit, [&] {
            for (const Event& e : events)
                if (e.code == code)
                    return true;
            return false;
        });
    }

    std::vector<Event> Events() {
        std::lock_guard lock(mutex);
        return events;
    }
};

constexpr int kRight = 4800, kBottom = 3000; // a small area keeps the jobs quick

} // namespace

class JobTest : public DriverTest {
protected:
    void OpenWithRecorder() {
        Open();
        ASSERT_EQ(api.ScanDrv_SetCallBackFun(m_handle, &Recorder::Callback, &recorder), 0);
    }
    Recorder recorder;
};

TEST_F(JobTest, DefaultFeederJobScansThreeColourSheetsAndReportsEachPage) {
    OpenWithRecorder();
    EXPECT_EQ(api.ScanDrv_GetADFStatus(m_handle), 0) << "paper in the feeder";
    Start(150, 2, 0, 0, kRight, kBottom, 1);
    Placement p;      // the default document
    WriteControl(""); // the job keeps the settings it started with
    for (int sheet = 1; sheet <= 3; ++sheet) {
        std::vector<uint8_t> page = ReadPage();
        EXPECT_EQ(PixelAtDocument(page, p, 900, 900), kRed);
    }
    ASSERT_TRUE(recorder.WaitFor(9));
    std::vector<Event> expected{{2, 0, 0}, {3, 1, 0}, {3, 2, 0}, {3, 3, 0}, {9, 0, 0}};
    EXPECT_EQ(recorder.Events(), expected);
    for (std::thread::id id : recorder.threads)
        EXPECT_NE(id, std::this_thread::get_id()) << "events come from the device's own thread";
}

TEST_F(JobTest, FeederDuplexAlternatesFrontAndBack) {
    WriteControl("feeder_sheets = 2\ndocument = 0 0 4800 3000\n");
    OpenWithRecorder();
    Start(150, 1, 0, 0, kRight, kBottom, 3);
    Placement p{0, 0, 4800, 3000, 0};
    const std::pair<int, bool> order[] = {{1, false}, {1, true}, {2, false}, {2, true}};
    for (auto expected : order)
        EXPECT_EQ(ReadMarks(ReadPage(), p), expected);
    ASSERT_TRUE(recorder.WaitFor(9));
    std::vector<Event> expected{{2, 0, 0}, {3, 1, 0}, {3, 1, 1}, {3, 2, 0}, {3, 2, 1}, {9, 0, 0}};
    EXPECT_EQ(recorder.Events(), expected);
}

TEST_F(JobTest, ManualDuplexScansFrontsThenWaitsThenBacks) {
    WriteControl("feeder_sheets = 2\ndocument = 0 0 4800 3000\nduplex_wait_ms = 50\n");
    OpenWithRecorder();
    Start(150, 2, 0, 0, kRight, kBottom, 2);
    Placement p{0, 0, 4800, 3000, 0};
    const std::pair<int, bool> order[] = {{1, false}, {2, false}, {1, true}, {2, true}};
    for (auto expected : order) {
        EXPECT_EQ(ReadMarks(ReadPage(), p), expected);
        if (expected == order[0]) {
            EXPECT_FALSE(recorder.WaitFor(7, 30ms)) << "the wait starts once every front side is read";
        }
    }
    ASSERT_TRUE(recorder.WaitFor(9));
    std::vector<Event> expected{{2, 0, 0}, {3, 1, 0}, {3, 2, 0}, {7, 1, 1}, {8, 1, 1}, {3, 1, 1}, {3, 2, 1}, {9, 0, 0}};
    EXPECT_EQ(recorder.Events(), expected);
}

TEST_F(JobTest, AManualDuplexPauseOfNeverLastsUntilTheFileIsRewritten) {
    WriteControl("feeder_sheets = 1\nduplex_wait_ms = never\n");
    OpenWithRecorder();
    Start(150, 2, 0, 0, kRight, kBottom, 2);
    ReadPage();
    ASSERT_TRUE(recorder.WaitFor(7)) << "the pause begins once the front is read";
    EXPECT_FALSE(recorder.WaitFor(8, 200ms)) << "and lasts while the file says so";
    WriteControl("feeder_sheets = 1\n");
    ASSERT_TRUE(recorder.WaitFor(8)) << "rewritten, the pause ends";
    ReadPage();
    ASSERT_TRUE(recorder.WaitFor(9));
    std::vector<Event> expected{{2, 0, 0}, {3, 1, 0}, {7, 1, 1}, {8, 1, 1}, {3, 1, 1}, {9, 0, 0}};
    EXPECT_EQ(recorder.Events(), expected);
}

TEST_F(JobTest, EmptyFeederRefusesFeederJobsButNotTheFlatbed) {
    WriteControl("feeder_sheets = 0\n");
    Open();
    EXPECT_EQ(api.ScanDrv_GetADFStatus(m_handle), 7);
    ASSERT_EQ(api.ScanDrv_SetScanParameter(m_handle, 150, 150, 2, 0, 0, kRight, kBottom, 128, 1), 0);
    EXPECT_EQ(api.ScanDrv_StartScan(m_handle), 7);
    EXPECT_EQ(api.ScanDrv_GetLastError(m_handle), 7);
    Start(150, 2, 0, 0, kRight, kBottom, 0);
    EXPECT_EQ(ReadPage().size(), RowBytes() * static_cast<size_t>(m_lines));
}

TEST_F(JobTest, JamStopsThePageAtItsLine) {
    WriteControl("jam = 2 100\n");
    OpenWithRecorder();
    Start(150, 2, 0, 0, kRight, kBottom, 1);
    ReadPage();
    EXPECT_EQ(api.ScanDrv_GetNextPushStatus(m_handle), 0) << "the jammed sheet is announced; its read tells the jam";
    std::vector<uint8_t> row(RowBytes());
    int count = 0;
    for (int y = 0; y < 100; ++y)
        ASSERT_EQ(api.ScanDrv_ReadScanData(m_handle, row.data(), static_cast<int>(row.size()), &count), 0) << y;
    EXPECT_EQ(api.ScanDrv_ReadScanData(m_handle, row.data(), static_cast<int>(row.size()), &count), 8);
    EXPECT_EQ(api.ScanDrv_GetLastError(m_handle), 8);
    EXPECT_EQ(api.ScanDrv_GetADFStatus(m_handle), 8);
    ASSERT_TRUE(recorder.WaitFor(9));
    std::vector<Event> expected{{2, 0, 0}, {3, 1, 0}, {11, 2, 0}, {9, 0, 0}};
    EXPECT_EQ(recorder.Events(), expected);
}

TEST_F(JobTest, CancelFromAnotherThreadEndsAStalledRead) {
    WriteControl("stall = 1 10 0\n");
    OpenWithRecorder();
    Start(150, 2, 0, 0, kRight, kBottom, 1);
    std::vector<uint8_t> rows(RowBytes() * 20);
    int count = 0;
    const auto begin = std::chrono::steady_clock::now(); // before the canceller's 100 ms begin
    std::thread canceller([&] {
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(api.ScanDrv_CancelScan(m_handle), 0);
    });
    EXPECT_EQ(api.ScanDrv_ReadScanData(m_handle, rows.data(), static_cast<int>(rows.size()), &count), 10);
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 90ms) << "the read stalled";
    canceller.join();
    EXPECT_EQ(api.ScanDrv_ReadScanData(m_handle, rows.data(), static_cast<int>(RowBytes()), &count), 10)
        << "the job stays cancelled";
    ASSERT_TRUE(recorder.WaitFor(9));
    std::vector<Event> events = recorder.Events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2].code, 11) << "abort, then job end, so waiters wake";
    EXPECT_EQ(events.back().code, 9);
    // A new job runs again.
    Start(150, 2, 0, 0, kRight, kBottom, 0);
    EXPECT_EQ(api.ScanDrv_ReadScanData(m_handle, rows.data(), static_cast<int>(RowBytes()), &count), 0);
}

TEST_F(JobTest, AbortWakesAReadWaitingForTheMechanism) {
    WriteControl("page_ms = 600000\n"); // ten minutes a page: the read waits for its lines
    Open();
    Start(150, 2, 0, 0, kRight, kBottom, 0);
    std::vector<uint8_t> rows(RowBytes() * static_cast<size_t>(m_lines));
    int count = 0;
    std::thread aborter([&] {
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(api.ScanDrv_AbortScan(m_handle), 0);
    });
    EXPECT_EQ(api.ScanDrv_ReadScanData(m_handle, rows.data(), static_cast<int>(rows.size()), &count), 10);
    aborter.join();
}

TEST_F(JobTest, CloseWakesABlockedReadOnAnotherThread) {
    WriteControl("stall = 1 0 0\n");
    Open();
    Start(150, 2, 0, 0, kRight, kBottom, 0);
    std::vector<uint8_t> row(RowBytes());
    int count = 0, result = -1;
    std::thread reader(
        [&] { result = api.ScanDrv_ReadScanData(m_handle, row.data(), static_cast<int>(row.size()), &count); });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(api.ScanDrv_Close(m_handle), 0);
    reader.join();
    m_handle = nullptr;
    EXPECT_EQ(result, 10);
}

TEST_F(JobTest, PollsFromAnotherThreadFollowTheMechanismAndTheReads) {
    WriteControl("page_ms = 400\n");
    Open();
    int line = -1, status = -1, total = 0, done = 0;
    Start(150, 2, 0, 0, kRight, kBottom, 0);
    std::atomic<bool> reading{true};
    std::vector<std::pair<int, int>> seen;
    std::thread poller([&] {
        while (reading) {
            int l = 0, s = 0;
            EXPECT_EQ(api.ScanDrv_GetCurScanLineNum(m_handle, &l, &s), 0);
            seen.push_back({l, s});
            std::this_thread::sleep_for(20ms);
        }
    });
    std::vector<uint8_t> half(RowBytes() * static_cast<size_t>(m_lines / 2));
    std::vector<uint8_t> rest(RowBytes() * static_cast<size_t>(m_lines - m_lines / 2));
    int count = 0;
    ASSERT_EQ(api.ScanDrv_ReadScanData(m_handle, half.data(), static_cast<int>(half.size()), &count), 0);
    ASSERT_EQ(api.ScanDrv_GetCurTransferSize(m_handle, &total, &done), 0);
    EXPECT_EQ(total, static_cast<int>(RowBytes()) * m_lines);
    EXPECT_EQ(done, static_cast<int>(half.size()));
    ASSERT_EQ(api.ScanDrv_ReadScanData(m_handle, rest.data(), static_cast<int>(rest.size()), &count), 0);
    reading = false;
    poller.join();
    ASSERT_FALSE(seen.empty());
    bool scanning = false;
    int last = 0;
    for (auto [l, s] : seen) {
        if (s == ScanDrv_LINE_SCANNING) {
            scanning = true;
            EXPECT_GE(l, last) << "lines only grow";
            last = l;
        }
    }
    EXPECT_TRUE(scanning) << "status 15 while the page is being scanned";
    EXPECT_EQ(api.ScanDrv_GetCurScanLineNum(m_handle, &line, &status), 0);
    EXPECT_EQ(status, 0) << "nothing left to scan";
}

TEST_F(JobTest, FaultsAnswerTheirCodeOnceOrFromTheNthCall) {
    WriteControl("fault = ScanDrv_StartScan 3\nfault = ScanDrv_ReadScanData 13 from 4\n"
                 "fault = ScanDrv_GetADFStatus 6 once 2\n");
    Open();
    EXPECT_EQ(api.ScanDrv_GetADFStatus(m_handle), 0);
    EXPECT_EQ(api.ScanDrv_GetADFStatus(m_handle), 6);
    EXPECT_EQ(api.ScanDrv_GetADFStatus(m_handle), 0);
    ASSERT_EQ(api.ScanDrv_SetScanParameter(m_handle, 150, 150, 2, 0, 0, kRight, kBottom, 128, 0), 0);
    EXPECT_EQ(api.ScanDrv_StartScan(m_handle), 3);
    EXPECT_EQ(api.ScanDrv_StartScan(m_handle), 0);
    std::vector<uint8_t> row(1000, 0xAB);
    int count = 0;
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(api.ScanDrv_ReadScanData(m_handle, row.data(), 1000, &count), 0) << i;
    row.assign(1000, 0xAB);
    EXPECT_EQ(api.ScanDrv_ReadScanData(m_handle, row.data(), 1000, &count), 13);
    EXPECT_EQ(api.ScanDrv_ReadScanData(m_handle, row.data(), 1000, &count), 13);
    EXPECT_EQ(row[0], 0xAB) << "a fault leaves the buffer alone";
    // A changed control file starts the counts afresh.
    WriteControl("fault = ScanDrv_Close 1\n");
    EXPECT_EQ(api.ScanDrv_GetADFStatus(m_handle), 0);
    EXPECT_EQ(api.ScanDrv_ReadScanData(m_handle, row.data(), 1000, &count), 0);
    EXPECT_EQ(api.ScanDrv_Close(m_handle), 1);
    EXPECT_EQ(api.ScanDrv_Close(m_handle), 1) << "the faulted close closed the device all the same";
    m_handle = nullptr;
}

// The device tells the debug output which lines of its control file it ignored, once for each change of the file.
TEST_F(JobTest, UnreadableControlLinesReachTheDebugOutput) {
    WriteControl("feeder_sheets = 2\nfault = ScanDrv_Open -5 sometimes\n");
    setenv("PLATFORM_DEBUG", "1", 1);
    ::testing::internal::CaptureStderr();
    Open();
    api.ScanDrv_GetADFStatus(m_handle);
    const std::string reported = ::testing::internal::GetCapturedStderr();
    unsetenv("PLATFORM_DEBUG");
    EXPECT_EQ(reported, "scandrv: " + m_root + "/scandrv.conf line 2: fault = ScanDrv_Open -5 sometimes (ignored)\n");
}

TEST_F(JobTest, OpenFaultAndBusyDevice) {
    WriteControl("fault = ScanDrv_Open 4\n");
    void* handle = nullptr;
    EXPECT_EQ(api.ScanDrv_Open("\\\\.\\Usbscan", &handle), 4);
    EXPECT_EQ(handle, nullptr);
    Open();
    EXPECT_EQ(api.ScanDrv_Open("\\\\.\\Usbscan", &handle), 3) << "one open device at a time";
    EXPECT_EQ(api.ScanDrv_Close(nullptr), 1);
    EXPECT_EQ(api.ScanDrv_StartScan(&handle), 1) << "not a handle of this driver";
}

TEST_F(JobTest, DiscoveryAnswersFromTheConfiguredDevices) {
    WriteControl("usb = 0\nnet_device = KVX-7731-OFFICE 192.168.1.20\nnet_device = KVX-7731-LAB 10.0.0.7\n");
    int count = -1;
    ASSERT_EQ(api.ScanDrv_BroadcastMFP(&count, nullptr), 0);
    ASSERT_EQ(count, 2);
    std::vector<char> names(static_cast<size_t>(count) * 256, 'x');
    ASSERT_EQ(api.ScanDrv_BroadcastMFP(&count, names.data()), 0);
    EXPECT_STREQ(names.data(), "KVX-7731-OFFICE");
    EXPECT_STREQ(names.data() + 256, "KVX-7731-LAB");
    count = 1;
    ASSERT_EQ(api.ScanDrv_BroadcastMFP(&count, names.data()), 0);
    EXPECT_EQ(count, 1) << "never more names than the buffer holds";

    NetDetectRequest request{};
    std::strcpy(request.address, "10.0.0.7");
    EXPECT_EQ(api.ScanDrv_DetectNetMFP(&request), 0);
    std::strcpy(request.address, "kvx-7731-office");
    EXPECT_EQ(api.ScanDrv_DetectNetMFP(&request), 0) << "names answer in any case";
    std::strcpy(request.address, "10.0.0.8");
    EXPECT_EQ(api.ScanDrv_DetectNetMFP(&request), 4);
    EXPECT_EQ(api.ScanDrv_CheckConnect(0, nullptr), 4) << "no local device";
    EXPECT_EQ(api.ScanDrv_CheckConnect(1, const_cast<char*>("192.168.1.20")), 0);

    void* handle = nullptr;
    EXPECT_EQ(api.ScanDrv_Open("\\\\.\\Usbscan", &handle), 4);
    ASSERT_EQ(api.ScanDrv_Open_C("KVX-7731-LAB", &m_handle), 0);
}

TEST_F(JobTest, DiscoveryWaitsAsTheControlFileSaysAndNeverAnswersUntilReleased) {
    WriteControl("net_device = KVX-7731-LAB 10.0.0.7\nnet_wait_ms = 150\n");
    int count = 0;
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(api.ScanDrv_BroadcastMFP(&count, nullptr), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
    EXPECT_EQ(count, 1);

    WriteControl("net_device = KVX-7731-LAB 10.0.0.7\nnet_wait_ms = never\n");
    std::atomic<int> answer{-1};
    std::thread detect([&] {
        NetDetectRequest request{};
        std::strcpy(request.address, "10.0.0.7");
        answer = api.ScanDrv_DetectNetMFP(&request);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(answer.load(), -1) << "the network does not answer";
    WriteControl("net_device = KVX-7731-LAB 10.0.0.7\n");
    detect.join();
    EXPECT_EQ(answer.load(), 0) << "released, it answers from the file as it now stands";
}

TEST_F(JobTest, PushStatusFollowsTheJobOrTheControlFile) {
    WriteControl("feeder_sheets = 2\n");
    Open();
    Start(150, 1, 0, 0, kRight, kBottom, 1);
    ReadPage();
    EXPECT_EQ(api.ScanDrv_GetNextPushStatus(m_handle), 0) << "another sheet follows";
    ReadPage();
    EXPECT_EQ(api.ScanDrv_GetNextPushStatus(m_handle), 1) << "no page";

    WriteControl("push_status = 13 0 1\n");
    Start(150, 1, 0, 0, kRight, kBottom, 0);
    EXPECT_EQ(api.ScanDrv_GetNextPushStatus(m_handle), 13);
    EXPECT_EQ(api.ScanDrv_GetNextPushStatus(m_handle), 0);
    EXPECT_EQ(api.ScanDrv_GetNextPushStatus(m_handle), 1);
    EXPECT_EQ(api.ScanDrv_GetNextPushStatus(m_handle), 1) << "the last answer repeats";
}

TEST_F(JobTest, ReadPastTheLastPageGivesEndOfDataAndWhite) {
    Open();
    Start(75, 2, 0, 0, 1200, 1200, 0);
    ReadPage();
    std::vector<uint8_t> row(RowBytes(), 0);
    int count = -1;
    EXPECT_EQ(api.ScanDrv_ReadScanData(m_handle, row.data(), static_cast<int>(row.size()), &count), ScanDrv_STATUS_EOF);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(row[0], 255);
}

namespace {

struct Closer {
    DriverApi* api;
    void* handle;
    std::atomic<bool> closed{false};
    static int Callback(void* context, int code, int, int) {
        auto* self = static_cast<Closer*>(context);
        if (code == 3 && !self->closed.exchange(true)) {
            EXPECT_EQ(self->api->ScanDrv_Close(self->handle), 0);
        }
        return 0;
    }
};

} // namespace

TEST_F(JobTest, ClosingFromInsideADeviceEventIsSafe) {
    Open();
    Closer closer{&api, m_handle};
    ASSERT_EQ(api.ScanDrv_SetCallBackFun(m_handle, &Closer::Callback, &closer), 0);
    Start(150, 2, 0, 0, kRight, kBottom, 1);
    for (int i = 0; i < 200 && !closer.closed; ++i)
        std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(closer.closed);
    m_handle = nullptr;
    std::this_thread::sleep_for(50ms);
    Open(); // the device was let go and opens again
}
