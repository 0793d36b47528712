// What an application meets through DS_Entry alone, with the staged module and the simulated device: feeder jobs
// whose pages are dropped, counted or cut short by a jam; the capabilities that feed the scan without the window;
// the file transfer that fails; the calls after a job has ended; and the answers that say why a call failed.
#include "TwainTestSupport.h"
#include "TransferTestSupport.h"

#include "twain/CapabilityTable.h"

#include "companions/scandrv/TestPage.h"
#include "platform/user/winuser.h"

#include <chrono>
#include <sstream>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using transfer_test::ManagerRecorder;

constexpr int kDpi = 75;

// A page as the application received it by native transfer: grey, 8 bits.
struct GreyPage {
    int width = 0;
    int height = 0;
    std::vector<BYTE> rows; // top first, unpadded
    int At(int x, int y) const { return rows[static_cast<size_t>(y) * width + x]; }
};

// The sheet number a page of the simulated device shows in its mark cells (0 when the marks are not there).
int SheetOf(const GreyPage& page) {
    auto black = [&](int cell) {
        const scandrv::Point centre = scandrv::MarkCellCentre(cell);
        const scandrv::Point pixel =
            scandrv::BedToPixel(scandrv::DocumentToBed(scandrv::Placement{}, centre.x, centre.y), 0, 0, kDpi, kDpi);
        const int x = static_cast<int>(pixel.x + 0.5), y = static_cast<int>(pixel.y + 0.5);
        return x >= 0 && y >= 0 && x < page.width && y < page.height && page.At(x, y) < 100;
    };
    if (!black(0))
        return 0;
    int sheet = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (black(bit + 1))
            sheet |= 1 << bit;
    return sheet;
}

// Standard error of the process, into a file while the object lives: the module's debug channel and the lines of
// the boxes nobody sees go there.
class StderrCapture {
public:
    explicit StderrCapture(const std::string& file) : m_file(file) {
        std::fflush(stderr);
        m_saved = dup(2);
        const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        close(fd);
    }
    ~StderrCapture() { Stop(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    std::string Text() {
        Stop();
        std::ifstream in(m_file);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }

private:
    void Stop() {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        dup2(m_saved, 2);
        close(m_saved);
        m_saved = -1;
    }
    std::string m_file;
    int m_saved = -1;
};

class ApplicationTest : public TwainTestRoot {
protected:
    static constexpr TW_UINT32 kAppId = 31;

    void SetUp() override {
        TwainTestRoot::SetUp();
        setenv("PLATFORM_HEADLESS", "1", 1);
        setenv("PLATFORM_DIALOG_TIMEOUT", "0.2", 1); // an error box of the source declines itself at once
        // An application with a message loop, which gives the source's window its turns on this thread.
        IsGUIThread(TRUE);
        Control("");
        m_manager = std::make_unique<ManagerRecorder>();
        Load();
    }
    void TearDown() override {
        m_ds.reset();
        m_manager.reset();
        unsetenv("PLATFORM_DIALOG_TIMEOUT");
        unsetenv("PLATFORM_DEBUG");
        TwainTestRoot::TearDown();
    }

    // The staged module loaded and opened by the application.
    void Load() {
        m_ds = std::make_unique<LoadedModule>(StagedModule());
        ASSERT_TRUE(m_ds->ok());
        m_app = MakeAppIdentity(kAppId);
        TW_IDENTITY assigned{};
        (*m_ds)(&m_app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &assigned);
        assigned.Id = 9;
        ASSERT_EQ((*m_ds)(&m_app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned), TWRC_SUCCESS);
    }
    // The device's control file, with a new journal of its calls.
    void Control(const std::string& text) {
        std::filesystem::remove(m_root + "/calls.log");
        scandrv_test::WriteControlFile(m_root, "journal = calls.log\n" + text);
    }
    std::vector<std::string> CallsOf(const std::string& entry) const {
        std::vector<std::string> found;
        std::ifstream in(m_root + "/calls.log");
        for (std::string line; std::getline(in, line);)
            if (line.rfind(entry + " ", 0) == 0)
                found.push_back(line);
        return found;
    }

    TW_UINT16 Ds(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) { return (*m_ds)(&m_app, dg, dat, msg, data); }
    TW_UINT16 Status() { return m_ds->Status(&m_app); }

    TW_UINT16 SetOne(TW_UINT16 cap, TW_UINT16 type, TW_UINT32 item) {
        TW_ONEVALUE value{type, item};
        TW_CAPABILITY capability{cap, TWON_ONEVALUE, &value};
        return Ds(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
    }
    TW_UINT16 SetFix(TW_UINT16 cap, float number) {
        const TW_FIX32 fix = FloatToFix32(number);
        TW_UINT32 item = 0;
        std::memcpy(&item, &fix, 4);
        return SetOne(cap, TWTY_FIX32, item);
    }
    // The item of a ONEVALUE answer (MSG_GETCURRENT, or MSG_GET of a ONEVALUE capability), 0xFFFFFFFF on failure.
    TW_UINT32 Read(TW_UINT16 cap, TW_UINT16 msg = MSG_GETCURRENT, TW_UINT16* itemType = nullptr) {
        TW_CAPABILITY capability{cap, TWON_DONTCARE16, nullptr};
        if (Ds(DG_CONTROL, DAT_CAPABILITY, msg, &capability) != TWRC_SUCCESS || capability.hContainer == nullptr)
            return 0xFFFFFFFF;
        auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(capability.hContainer));
        const TW_UINT32 item = one->Item;
        if (itemType != nullptr)
            *itemType = one->ItemType;
        GlobalUnlock(capability.hContainer);
        GlobalFree(capability.hContainer);
        return item;
    }
    TW_UINT16 Reset(TW_UINT16 cap) {
        TW_CAPABILITY capability{cap, TWON_DONTCARE16, nullptr};
        const TW_UINT16 rc = Ds(DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &capability);
        if (capability.hContainer != nullptr)
            GlobalFree(capability.hContainer);
        return rc;
    }

    // Grey pages at 75 dpi from the source the capabilities name, enabled without the window.
    void EnableWindowless(bool feeder) {
        ASSERT_EQ(SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
        ASSERT_EQ(SetFix(ICAP_XRESOLUTION, kDpi), TWRC_SUCCESS);
        ASSERT_EQ(SetOne(CAP_FEEDERENABLED, TWTY_BOOL, feeder ? 1 : 0), TWRC_SUCCESS);
        m_manager->Clear();
        TW_USERINTERFACE ui{0, 0, nullptr};
        ASSERT_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    }
    bool Announced() const { return m_manager->Count(MSG_XFERREADY) > 0; }

    // The announced page by native transfer; its sheet number.
    int TransferSheet() {
        TW_IMAGEINFO info{};
        if (Ds(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) != TWRC_SUCCESS)
            return -1;
        TW_HANDLE handle = nullptr;
        if (Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle) != TWRC_XFERDONE || handle == nullptr)
            return -2;
        GreyPage page{info.ImageWidth, info.ImageLength, {}};
        const size_t stride = (static_cast<size_t>(page.width) + 3) / 4 * 4;
        const auto* dib = static_cast<const BYTE*>(handle) + 1064;
        for (int y = 0; y < page.height; ++y) // bottom-up
            page.rows.insert(page.rows.end(), dib + stride * (page.height - 1 - y),
                             dib + stride * (page.height - 1 - y) + page.width);
        std::free(handle);
        return SheetOf(page);
    }
    // MSG_ENDXFER: its return code and Count.
    std::pair<TW_UINT16, int> EndXfer() {
        m_manager->Clear();
        TW_PENDINGXFERS pending{0xFFFF, 0};
        const TW_UINT16 rc = Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        return {rc, pending.Count};
    }
    // MSG_GET of the pending transfers: its Count, -1 when the call fails.
    int PendingCount() {
        TW_PENDINGXFERS pending{0xFFFF, 0};
        return Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending) == TWRC_SUCCESS ? pending.Count : -1;
    }
    void Disable() {
        TW_USERINTERFACE ui{0, 0, nullptr};
        Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    }

    // A feeder job to its end: each page transferred or (its index in `drop`) dropped with MSG_ENDXFER alone. The
    // sheets transferred in order; every MSG_ENDXFER must succeed and offer the next page at once.
    std::vector<int> FeederJob(const std::vector<int>& drop, int& endCalls) {
        std::vector<int> sheets;
        endCalls = 0;
        for (int page = 0; Announced(); ++page) {
            if (std::find(drop.begin(), drop.end(), page) == drop.end())
                sheets.push_back(TransferSheet());
            const auto [rc, count] = EndXfer();
            ++endCalls;
            EXPECT_EQ(rc, TWRC_SUCCESS) << "page " << page;
            if (count == 0)
                break;
            EXPECT_TRUE(Announced()) << "Count " << count << " but no page announced after page " << page;
            if (page > 10)
                break;
        }
        return sheets;
    }

    std::unique_ptr<ManagerRecorder> m_manager;
    std::unique_ptr<LoadedModule> m_ds;
    TW_IDENTITY m_app{};
};

// The scanning window of this thread: the one with the Scan button.
HWND ScanningWindow() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM out) -> BOOL {
            if (GetDlgItem(window, 20006) == nullptr)
                return TRUE;
            *reinterpret_cast<HWND*>(out) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// What a shell command writes to its standard output.
std::string RunCommand(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
        out.append(buffer, n);
    return out;
}

using Clock = std::chrono::steady_clock;
double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// MSG_ENDXFER in state 6 drops the announced page: the job moves on to the next sheet at once, for the first,
// a middle and the last page alike.
TEST_F(ApplicationTest, DroppedFeederPagesAreSkippedAndTheNextIsOfferedAtOnce) {
    const struct {
        std::vector<int> drop;
        std::vector<int> sheets;
    } cases[] = {{{0}, {2, 3}}, {{1}, {1, 3}}, {{2}, {1, 2}}, {{0, 1, 2}, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE("dropping page " + std::to_string(c.drop.front()) + " of " + std::to_string(c.drop.size()));
        const auto start = Clock::now();
        EnableWindowless(true);
        ASSERT_TRUE(Announced());
        int ends = 0;
        EXPECT_EQ(FeederJob(c.drop, ends), c.sheets);
        EXPECT_EQ(ends, 3) << "one MSG_ENDXFER a sheet";
        EXPECT_LT(SecondsSince(start), 20.0) << "the job waited for a page that was never read";
        EXPECT_EQ(m_manager->Count(MSG_CLOSEDSREQ), 1) << "the job's end asks once to close";
        EXPECT_EQ(PendingCount(), 0) << "MSG_GET after the job's end still reports a page";
        Disable();
    }
}

// Both sides of each sheet: dropping a back side still hands over the next front.
TEST_F(ApplicationTest, DroppedDuplexSideIsSkipped) {
    ASSERT_EQ(SetOne(CAP_DUPLEXENABLED, TWTY_BOOL, 1), TWRC_SUCCESS);
    ASSERT_EQ(SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
    ASSERT_EQ(SetFix(ICAP_XRESOLUTION, kDpi), TWRC_SUCCESS);
    m_manager->Clear();
    TW_USERINTERFACE ui{0, 0, nullptr};
    ASSERT_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    int ends = 0;
    EXPECT_EQ(FeederJob({1}, ends), (std::vector<int>{1, 2, 2, 3, 3})) << "sheet 1's back dropped";
    EXPECT_EQ(ends, 6);
}

// The job ends after the pages CAP_XFERCOUNT asks for, with the feeder stopped; -1 and a reset mean every sheet.
TEST_F(ApplicationTest, TransferCountEndsTheFeederJob) {
    const struct {
        int count;
        bool reset;
        std::vector<int> sheets;
    } cases[] = {{1, false, {1}}, {2, false, {1, 2}}, {-1, false, {1, 2, 3}}, {2, true, {1, 2, 3}}};
    for (const auto& c : cases) {
        SCOPED_TRACE("count " + std::to_string(c.count) + (c.reset ? ", reset" : ""));
        ASSERT_EQ(SetOne(CAP_XFERCOUNT, TWTY_INT16, static_cast<TW_UINT16>(c.count)), TWRC_SUCCESS);
        EXPECT_EQ(static_cast<TW_INT16>(Read(CAP_XFERCOUNT)), c.count);
        if (c.reset) {
            ASSERT_EQ(Reset(CAP_XFERCOUNT), TWRC_SUCCESS);
        }
        Control("");
        EnableWindowless(true);
        int ends = 0;
        EXPECT_EQ(FeederJob({}, ends), c.sheets);
        EXPECT_EQ(m_manager->Count(MSG_CLOSEDSREQ), 1);
        if (c.sheets.size() < 3) {
            EXPECT_FALSE(CallsOf("ScanDrv_AbortScan").empty()) << "the feeder was not stopped";
        }
        Disable();
    }
}

// A jam on sheet 3 while the device scans ahead: sheets 1 and 2, scanned whole, reach the application first; the
// jam ends the job after them.
TEST_F(ApplicationTest, JamOnALaterSheetDeliversThePagesScannedBeforeIt) {
    Control("jam = 3 100\n");
    EnableWindowless(true);
    std::vector<int> sheets;
    TW_UINT16 lastRc = TWRC_SUCCESS;
    for (int page = 0; Announced() && page < 5; ++page) {
        sheets.push_back(TransferSheet());
        const auto [rc, count] = EndXfer();
        lastRc = rc;
        if (count == 0)
            break;
    }
    EXPECT_EQ(sheets, (std::vector<int>{1, 2}));
    EXPECT_EQ(lastRc, TWRC_FAILURE) << "the jam is reported after the pages";
    EXPECT_EQ(Status(), TWCC_PAPERJAM) << "the failed MSG_ENDXFER does not say why";
    EXPECT_GE(m_manager->Count(MSG_CLOSEDSREQ), 1);
}

// A driver that refuses the device-event callback: the job goes on by polling the device, without the long wait.
TEST_F(ApplicationTest, FeederJobGoesOnWhenTheDriverRefusesTheEventCallback) {
    Control("fault = ScanDrv_SetCallBackFun 1 from 1\n");
    const auto start = Clock::now();
    EnableWindowless(true);
    ASSERT_TRUE(Announced());
    int ends = 0;
    EXPECT_EQ(FeederJob({}, ends), (std::vector<int>{1, 2, 3}));
    EXPECT_LT(SecondsSince(start), 20.0);
    EXPECT_EQ(m_manager->Count(MSG_CLOSEDSREQ), 1);
}

// The feeder and duplex switches read what the next window-less scan does, and a reset never picks a source the
// application did not ask for; the paper flag asks the device before any job.
TEST_F(ApplicationTest, FeederSwitchesSayWhatTheWindowlessScanDoes) {
    for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT}) {
        EXPECT_EQ(Read(CAP_FEEDERENABLED, msg), 0u) << "msg " << msg << ": the flatbed is scanned";
        EXPECT_EQ(Read(CAP_DUPLEXENABLED, msg), 0u) << "msg " << msg;
    }
    EXPECT_EQ(Read(CAP_FEEDERLOADED, MSG_GET), 1u) << "three sheets lie in the feeder";

    ASSERT_EQ(SetOne(CAP_FEEDERENABLED, TWTY_BOOL, 0), TWRC_SUCCESS);
    ASSERT_EQ(Reset(CAP_DUPLEXENABLED), TWRC_SUCCESS);
    EXPECT_EQ(Read(CAP_FEEDERENABLED), 0u);
    TW_USERINTERFACE ui{0, 0, nullptr};
    ASSERT_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    TW_HANDLE handle = nullptr;
    ASSERT_EQ(Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
    std::free(handle);
    const std::vector<std::string> sent = CallsOf("ScanDrv_SetScanParameter");
    ASSERT_EQ(sent.size(), 1u);
    const std::string flatbed = " 128 0 -> 0"; // threshold, source 0
    EXPECT_EQ(sent[0].substr(sent[0].size() - std::min(sent[0].size(), flatbed.size())), flatbed) << sent[0];
    EXPECT_EQ(EndXfer().second, 0);
    Disable();

    Control("feeder_sheets = 0\n");
    EXPECT_EQ(Read(CAP_FEEDERLOADED, MSG_GET), 0u) << "the feeder is empty";
}

// The application's threshold, brightness and contrast reach the device on the window's adjustments (brightness
// and contrast as a tenth); 0x8124 keeps the adjustments away, never the threshold.
TEST_F(ApplicationTest, ThresholdBrightnessAndContrastReachTheDevice) {
    ASSERT_EQ(SetFix(ICAP_THRESHOLD, 200), TWRC_SUCCESS);
    ASSERT_EQ(SetFix(ICAP_BRIGHTNESS, 500), TWRC_SUCCESS);
    ASSERT_EQ(SetFix(ICAP_CONTRAST, -300), TWRC_SUCCESS);
    ASSERT_EQ(SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW), TWRC_SUCCESS);
    for (bool skip : {false, true}) {
        SCOPED_TRACE(skip ? "adjustments skipped" : "adjustments sent");
        ASSERT_EQ(SetOne(0x8124, TWTY_BOOL, skip ? 1 : 0), TWRC_SUCCESS);
        Control("");
        TW_USERINTERFACE ui{0, 0, nullptr};
        ASSERT_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
        TW_HANDLE handle = nullptr;
        ASSERT_EQ(Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
        std::free(handle);
        const std::vector<std::string> adjustments = CallsOf("ScanDrv_SetScanParameterAdj");
        if (skip) {
            EXPECT_TRUE(adjustments.empty());
        } else {
            ASSERT_EQ(adjustments.size(), 1u);
            EXPECT_NE(adjustments[0].find(" 50,0,0,0 -30,0,0,0 0,0,0,0 "), std::string::npos) << adjustments[0];
            EXPECT_NE(adjustments[0].find(" 200 0 0 -> "), std::string::npos) << adjustments[0];
        }
        const std::vector<std::string> parameters = CallsOf("ScanDrv_SetScanParameter");
        ASSERT_EQ(parameters.size(), 1u);
        EXPECT_NE(parameters[0].find(" 200 0 -> "), std::string::npos) << parameters[0];
        EndXfer();
        Disable();
    }
    ASSERT_EQ(SetOne(0x8124, TWTY_BOOL, 0), TWRC_SUCCESS);
}

// A value a capability does not offer is refused, a number between offered ones takes the nearest; the support
// query answers a TW_INT32.
TEST_F(ApplicationTest, CapabilitiesTakeOnlyWhatTheyOffer) {
    EXPECT_EQ(SetOne(ICAP_PIXELTYPE, TWTY_UINT16, 77), TWRC_FAILURE);
    EXPECT_EQ(Status(), TWCC_BADVALUE);
    EXPECT_EQ(Read(ICAP_PIXELTYPE), static_cast<TW_UINT32>(TWPT_RGB));
    EXPECT_EQ(SetFix(ICAP_XRESOLUTION, 400), TWRC_CHECKSTATUS);
    const TW_UINT32 resolution = Read(ICAP_XRESOLUTION);
    TW_FIX32 fix{};
    std::memcpy(&fix, &resolution, 4);
    EXPECT_EQ(fix.Whole, 300) << "the nearest offered resolution";

    TW_UINT16 type = 0;
    EXPECT_EQ(Read(ICAP_PIXELTYPE, MSG_QUERYSUPPORT, &type), 0x1Fu);
    EXPECT_EQ(type, TWTY_INT32);
}

// A file transfer that fails leaves the application's file as it was: a folder that cannot be written, a full disk.
// The page stays for the next try.
TEST_F(ApplicationTest, FailedFileTransferKeepsTheApplicationsFile) {
    const std::string folder = m_root + "/out";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/page.bmp";
    const std::string before = "the application's own file";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << before;
    EnableWindowless(false);
    TW_SETUPFILEXFER setup{};
    std::strcpy(setup.FileName, path.c_str());
    setup.Format = TWFF_BMP;
    ASSERT_EQ(Ds(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
    for (int way = 0; way < 2; ++way) {
        SCOPED_TRACE(way == 0 ? "read-only folder" : "disk full");
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        auto previous = std::signal(SIGXFSZ, SIG_IGN);
        if (way == 0) {
            std::filesystem::permissions(folder,
                                         std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        } else {
            rlimit small{2000, old.rlim_max}; // the page was scanned by the first try: only the file grows
            setrlimit(RLIMIT_FSIZE, &small);
        }
        const TW_UINT16 rc = Ds(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        EXPECT_EQ(rc, TWRC_FAILURE);
        std::ifstream in(path, std::ios::binary);
        EXPECT_TRUE(std::string((std::istreambuf_iterator<char>(in)), {}) == before)
            << "the file was changed or removed";
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << "something was left beside it";
    }
    EXPECT_EQ(Ds(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE) << "the page was not kept";
    EXPECT_GT(std::filesystem::file_size(path), before.size());
    Disable();
}

// After the job ended with Count 0 nothing is announced: transfers and image information are out of sequence and
// the device is not started again.
TEST_F(ApplicationTest, AfterTheLastPageTransfersAreOutOfSequence) {
    EnableWindowless(false);
    TW_HANDLE handle = nullptr;
    ASSERT_EQ(Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
    std::free(handle);
    ASSERT_EQ(EndXfer().second, 0);
    EXPECT_EQ(PendingCount(), 0) << "MSG_GET contradicts the Count 0 of the last MSG_ENDXFER";
    const size_t starts = CallsOf("ScanDrv_StartScan").size();

    handle = nullptr;
    EXPECT_EQ(Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_FAILURE);
    EXPECT_EQ(Status(), TWCC_SEQERROR);
    TW_IMAGEMEMXFER xfer{};
    std::vector<BYTE> buffer(65535);
    xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, 65535, buffer.data()};
    EXPECT_EQ(Ds(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer), TWRC_FAILURE);
    EXPECT_EQ(Status(), TWCC_SEQERROR);
    TW_IMAGEINFO info{};
    EXPECT_EQ(Ds(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_FAILURE);
    EXPECT_EQ(Status(), TWCC_SEQERROR);
    EXPECT_EQ(CallsOf("ScanDrv_StartScan").size(), starts) << "a scan started on the closed device";
    Disable();

    // The next enable announces a page again.
    EnableWindowless(false);
    EXPECT_EQ(Ds(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    EXPECT_EQ(PendingCount(), 1) << "the announced page";
    Disable();
}

// Triplets the source does not support say so, and the layout reports the frame the window-less scan takes.
TEST_F(ApplicationTest, AnswersSayWhatTheSourceDoes) {
    std::vector<BYTE> ext(1024);
    EXPECT_EQ(Ds(DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, ext.data()), TWRC_FAILURE);
    EXPECT_EQ(Status(), TWCC_BADPROTOCOL);

    TW_IMAGELAYOUT layout{};
    ASSERT_EQ(Ds(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
    EXPECT_NEAR(Fix32ToFloat(layout.Frame.Right), 210 / 25.4, 1e-3) << "the A4 paper of the window-less scan";
    EXPECT_NEAR(Fix32ToFloat(layout.Frame.Bottom), 297 / 25.4, 1e-3);
}

// In app mode a close request goes out only after the user closed the window, in that session: the next enable
// starts without the user's earlier close.
TEST_F(ApplicationTest, UsersCloseLetsCloseRequestsThroughForItsSessionOnly) {
    ASSERT_EQ(SetOne(0x8123, TWTY_BOOL, 1), TWRC_SUCCESS);
    TW_USERINTERFACE ui{1, 0, nullptr};
    ASSERT_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    HWND window = ScanningWindow();
    ASSERT_NE(window, nullptr);
    m_manager->Clear();
    PostMessageW(window, WM_CLOSE, 0, 0);
    TW_EVENT event{};
    MSG msg{};
    event.pEvent = &msg;
    for (int i = 0; i < 20 && m_manager->Count(MSG_CLOSEDSREQ) == 0; ++i)
        Ds(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    ASSERT_EQ(m_manager->Count(MSG_CLOSEDSREQ), 1) << "the user's close is passed on";
    ASSERT_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);

    ASSERT_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    window = ScanningWindow();
    ASSERT_NE(window, nullptr);
    m_manager->Clear();
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(20006, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, 20006)));
    for (int i = 0; i < 50 && !Announced(); ++i)
        Ds(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    ASSERT_TRUE(Announced());
    m_manager->Clear();
    TW_HANDLE handle = nullptr;
    ASSERT_EQ(Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
    std::free(handle);
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 0);
    EXPECT_EQ(m_manager->Count(MSG_CLOSEDSREQ), 0) << "the end of the job asked to close in app mode";
    Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    ASSERT_EQ(SetOne(0x8123, TWTY_BOOL, 0), TWRC_SUCCESS);
}

// Three loads of the module, each with a feeder job: run by the test below under valgrind, as a process of its own.
TEST_F(ApplicationTest, ThreeLoadsWithAFeederJobEach) {
    if (std::getenv("TWAIN_TEST_FEEDER_LOADS") == nullptr)
        GTEST_SKIP() << "run under valgrind by FeederJobsLeaveNothingBehindAtUnload";
    // Under valgrind on a busy machine the first rows can take longer than the fixture's 0.2 s, after which the
    // progress box would be cancelled as unattended and the job cut short.
    setenv("PLATFORM_DIALOG_TIMEOUT", "20", 1);
    for (int load = 0; load < 3; ++load) {
        if (load > 0)
            Load();
        EnableWindowless(true);
        int ends = 0;
        EXPECT_EQ(FeederJob({}, ends).size(), 3u);
        Disable();
        TW_IDENTITY identity{};
        Ds(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity);
        m_ds.reset();
    }
}

// The device-state event of a feeder job goes with the module: what a load leaves behind once is no loss, but a
// block lost at every load that ran a feeder job is.
TEST_F(ApplicationTest, FeederJobsLeaveNothingBehindAtUnload) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "valgrind cannot run a program built with AddressSanitizer, which finds such losses itself";
#endif
    const std::string valgrind = RunCommand("command -v valgrind");
    if (valgrind.empty())
        GTEST_SKIP() << "valgrind is not installed";
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string out = RunCommand("TWAIN_TEST_FEEDER_LOADS=1 valgrind --leak-check=full '" + self +
                                       "' --gtest_filter=ApplicationTest.ThreeLoadsWithAFeederJobEach 2>&1");
    ASSERT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos)
        << out.substr(out.size() > 4000 ? out.size() - 4000 : 0);
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const size_t lost = line.find(" blocks are definitely lost");
        if (lost == std::string::npos)
            continue;
        const size_t in = line.rfind(" in ", lost);
        const int blocks = in == std::string::npos ? 0 : std::atoi(line.c_str() + in + 4);
        EXPECT_LT(blocks, 3) << "lost at every load: " << line;
    }
}

// The window-less scan with the application's frame: a model without A3 scans no wider than 8.5 inches; a frame
// too short for a row is refused as a scan error, without opening the device.
TEST_F(ApplicationTest, ApplicationsFrameIsHeldToTheModelAndTooShortAFrameIsRefused) {
    m_ds.reset();
    m_ini += "IsPlatformWren(kvx7731)=TRUE\n";
    WriteIni();
    Load();
    ASSERT_EQ(SetFix(ICAP_XRESOLUTION, 600), TWRC_SUCCESS);
    TW_IMAGELAYOUT layout{};
    layout.Frame = {FloatToFix32(0), FloatToFix32(0), FloatToFix32(9), FloatToFix32(1)};
    ASSERT_EQ(Ds(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout), TWRC_SUCCESS);
    m_manager->Clear();
    TW_USERINTERFACE ui{0, 0, nullptr};
    ASSERT_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    ASSERT_TRUE(Announced());
    TW_IMAGEINFO info{};
    ASSERT_EQ(Ds(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    EXPECT_EQ(info.ImageWidth, static_cast<int>(8.5 * info.XResolution.Whole + 0.5)) << "8.5 inches";
    Disable();

    // An Office host without the window rounds the page to even sizes and takes two rows off.
    m_ds.reset();
    platform::testing::SetHostProgramName(u"WINWORD.EXE");
    setenv("PLATFORM_DEBUG", "1", 1);
    StderrCapture capture(m_root + "/stderr.txt");
    Load();
    layout.Frame = {FloatToFix32(0), FloatToFix32(0), FloatToFix32(4), FloatToFix32(0.002f)};
    ASSERT_EQ(Ds(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout), TWRC_SUCCESS);
    Control("");
    m_manager->Clear();
    ASSERT_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    const std::string said = capture.Text();
    unsetenv("PLATFORM_DEBUG");
    EXPECT_FALSE(Announced());
    EXPECT_EQ(m_manager->Count(MSG_CLOSEDSREQ), 1);
    EXPECT_TRUE(CallsOf("ScanDrv_Open").empty()) << "the device was opened for a page of no rows";
    EXPECT_EQ(said.find("ERROR_NOENOUGHSPACE"), std::string::npos) << "a short frame is no lack of space";
    Disable();
}

} // namespace
