#include "companions/scandrv/Device.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

namespace scandrv {

namespace {

constexpr int kMaxWidth = 20400;  // 17 inches, in 1/1200 inch
constexpr int kMaxLength = 36000; // 30 inches

bool IsFeeder(int source) {
    return source != 0 && source != 8;
}

} // namespace

// The thread starts once every member is initialised.
Device::Device() {
    m_thread = std::thread([this] { MechanismLoop(); });
}

Device::~Device() {
    {
        std::lock_guard lock(m_mutex);
        m_callback = nullptr; // a closed device reports nothing more
        m_quit = true;
        m_stopped = true;
    }
    m_cv.notify_all();
    m_thread.join();
}

bool Device::OnMechanismThread() const {
    return std::this_thread::get_id() == m_thread.get_id();
}

int Device::SetScanParameter(const ScanSettings& s) {
    bool resolutionOk = s.xres >= 75 && s.xres <= 1200 && s.yres >= 75 && s.yres <= 1200;
    bool areaOk = s.left >= 0 && s.top >= 0 && s.left < s.right && s.top < s.bottom && s.right <= kMaxWidth &&
                  s.bottom <= kMaxLength;
    bool sourceOk = (s.source >= 0 && s.source <= 4) || s.source == 8;
    if (!resolutionOk || !areaOk || s.colour < 0 || s.colour > 3 || !sourceOk)
        return 18;
    if (s.PixelsPerLine() < 1 || s.Lines() < 1)
        return 18;
    std::lock_guard lock(m_mutex);
    m_settings = s;
    m_adjustThreshold = -1;
    m_haveSettings = true;
    return 0;
}

int Device::GetScanParameter(int* pixelsPerLine, int* totalLines) {
    std::lock_guard lock(m_mutex);
    if (!m_haveSettings)
        return 1;
    *pixelsPerLine = m_settings.PixelsPerLine();
    *totalLines = m_settings.Lines();
    return 0;
}

int Device::SetAdjustments(int threshold) {
    std::lock_guard lock(m_mutex);
    m_adjustThreshold = threshold;
    return 0;
}

int Device::StartScan(const Control& control) {
    std::unique_lock lock(m_mutex);
    if (!m_haveSettings)
        return 1;
    if (IsFeeder(m_settings.source) && control.feederSheets == 0) {
        m_lastError = 7;
        return 7;
    }
    // A job still under way ends first; its reader (if any) is woken and must leave before the job is replaced.
    m_stopped = true;
    m_cv.notify_all();
    m_cv.wait(lock, [&] { return !m_mechanismBusy && m_readers == 0; });

    m_job = control;
    m_jobSettings = m_settings;
    if (m_adjustThreshold >= 0)
        m_jobSettings.threshold = m_adjustThreshold;
    m_plan.clear();
    const int sheets = IsFeeder(m_settings.source) ? control.feederSheets : 1;
    switch (m_settings.source) {
    case 2: // manual duplex: the fronts, then (after the user turns the stack) the backs
        for (int back = 0; back < 2; ++back)
            for (int s = 1; s <= sheets; ++s)
                m_plan.push_back({s, back != 0});
        break;
    case 3:
        for (int s = 1; s <= sheets; ++s) {
            m_plan.push_back({s, false});
            m_plan.push_back({s, true});
        }
        break;
    default:
        for (int s = 1; s <= sheets; ++s)
            m_plan.push_back({s, false});
        break;
    }
    m_renderer = std::make_unique<RowRenderer>(m_jobSettings, control.document);
    m_renderer->SetPage(m_plan.front().sheet, m_plan.front().back);
    m_rowBuffer.assign(m_renderer->RowBytes(), 0);
    m_rowBufferKey = -1;
    m_planSize = static_cast<int>(m_plan.size());
    m_jobLines = m_jobSettings.Lines();
    m_jobRowBytes = static_cast<long long>(m_renderer->RowBytes());

    m_progress = 0;
    m_hostPage = 0;
    m_hostRow = 0;
    m_hostOffset = 0;
    m_stallDone = false;
    m_pushIndex = 0;
    m_lastError = 0;
    m_jammed = false;
    m_paused = false;
    m_stopped = false;
    m_running = true;
    m_started = true;
    m_mechanismBusy = true;
    ++m_generation;
    lock.unlock();
    m_cv.notify_all();
    return 0;
}

int Device::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_cv.notify_all();
    return 0;
}

void Device::SetCallback(ScanDrvCallback callback, void* context) {
    std::lock_guard lock(m_mutex);
    m_callback = callback;
    m_context = context;
}

void Device::Emit(int code, int page, int side) {
    ScanDrvCallback callback;
    void* context;
    {
        std::lock_guard lock(m_mutex);
        callback = m_callback;
        context = m_context;
    }
    if (callback)
        callback(context, code, page, side);
}

void Device::Publish(std::uint64_t progress) {
    {
        std::lock_guard lock(m_mutex);
        m_progress = progress;
    }
    m_cv.notify_all();
}

bool Device::PauseUnlessStopped(int ms) {
    std::unique_lock lock(m_mutex);
    return !m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_stopped.load(); });
}

// "never" holds the pause while the control file still says so (looked at every 20 ms), as a user who takes their
// time; a test releases it once it has seen what it waits for.
bool Device::PauseForTheStack() {
    if (m_job.duplexWaitMs != kDuplexWaitNever)
        return PauseUnlessStopped(m_job.duplexWaitMs);
    for (;;) {
        if (!PauseUnlessStopped(20))
            return false;
        std::string text;
        ReadControlFile(text);
        if (ParseControl(text).duplexWaitMs != kDuplexWaitNever)
            return true;
    }
}

void Device::MechanismLoop() {
    std::unique_lock lock(m_mutex);
    std::uint64_t done = 0;
    for (;;) {
        m_cv.wait(lock, [&] { return m_quit || m_generation != done; });
        if (m_quit)
            return;
        done = m_generation;
        lock.unlock();
        RunJob();
        lock.lock();
        m_mechanismBusy = false;
        m_cv.notify_all();
    }
}

void Device::RunJob() {
    using Clock = std::chrono::steady_clock;
    const int lines = m_jobSettings.Lines();
    const bool manualDuplex = m_jobSettings.source == 2;
    Emit(2, 0, 0);
    for (std::size_t i = 0; i < m_plan.size(); ++i) {
        const PageSide side = m_plan[i];
        if (manualDuplex && side.back && (i == 0 || !m_plan[i - 1].back)) {
            // The user turns the stack once every front side has left the device.
            {
                std::unique_lock lock(m_mutex);
                m_cv.wait(lock, [&] { return m_stopped || m_hostPage.load() >= static_cast<int>(i); });
            }
            if (m_stopped)
                break;
            m_paused = true;
            Emit(7, side.sheet, 1);
            bool goOn = PauseForTheStack();
            m_paused = false;
            if (!goOn)
                break;
            Emit(8, side.sheet, 1);
        }
        {
            std::unique_lock lock(m_mutex);
            m_cv.wait(lock, [&] { return m_stopped || static_cast<int>(i) - m_hostPage.load() < 2; });
        }
        if (m_stopped)
            break;
        const bool jam = m_job.jamPage == static_cast<int>(i) + 1;
        const int last = jam ? std::min(m_job.jamLine, lines) : lines;
        if (m_job.pageMs > 0) {
            const auto start = Clock::now();
            for (;;) {
                double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                int scanned = static_cast<int>(std::min<double>(last, elapsed * lines / m_job.pageMs));
                Publish(Progress(static_cast<int>(i), scanned));
                if (scanned >= last || !PauseUnlessStopped(2))
                    break;
            }
            if (m_stopped)
                break;
        } else {
            Publish(Progress(static_cast<int>(i), last));
        }
        if (jam) {
            m_lastError = 8;
            {
                std::lock_guard lock(m_mutex);
                m_jammed = true;
            }
            m_cv.notify_all();
            m_running = false;
            Emit(11, side.sheet, side.back ? 1 : 0);
            Emit(9, 0, 0);
            return;
        }
        Publish(Progress(static_cast<int>(i) + 1, 0));
        Emit(3, side.sheet, side.back ? 1 : 0);
    }
    m_running = false;
    if (m_stopped)
        Emit(11, 0, 0);
    Emit(9, 0, 0);
}

int Device::WaitForRow(int page, int row) {
    const std::uint64_t key = Progress(page, row);
    if (m_stopped)
        return 10;
    if (m_progress.load() > key)
        return 0;
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [&] { return m_stopped || m_jammed || m_progress.load() > key; });
    if (m_stopped)
        return 10;
    if (m_progress.load() > key)
        return 0;
    return 8;
}

int Device::Stall(int ms) {
    std::unique_lock lock(m_mutex);
    if (ms == 0)
        m_cv.wait(lock, [&] { return m_stopped.load(); });
    else
        m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_stopped.load(); });
    return m_stopped ? 10 : 0;
}

int Device::Read(void* buffer, int size, int* count) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_started)
            return 1;
        if (m_stopped)
            return 10;
        ++m_readers;
    }
    struct Leave {
        Device* d;
        ~Leave() {
            {
                std::lock_guard lock(d->m_mutex);
                --d->m_readers;
            }
            d->m_cv.notify_all();
        }
    } leave{this};

    auto* out = static_cast<std::uint8_t*>(buffer);
    const std::size_t total = static_cast<std::size_t>(size);
    const std::size_t rowBytes = m_renderer->RowBytes();
    const int lines = m_jobSettings.Lines();
    std::size_t delivered = 0;
    *count = 0;
    if (m_hostPage >= static_cast<int>(m_plan.size())) {
        std::memset(out, 0xFF, total);
        return ScanDrv_STATUS_EOF;
    }
    while (delivered < total) {
        const int page = m_hostPage, row = m_hostRow;
        if (page >= static_cast<int>(m_plan.size())) { // past the last page side: white
            std::memset(out + delivered, 0xFF, total - delivered);
            delivered = total;
            break;
        }
        const std::size_t offset = static_cast<std::size_t>(m_hostOffset.load());
        if (int r = WaitForRow(page, row); r != 0) {
            *count = static_cast<int>(delivered);
            return r;
        }
        if (!m_stallDone && m_job.stallPage == page + 1 && m_job.stallLine == row) {
            m_stallDone = true;
            if (int r = Stall(m_job.stallMs); r != 0) {
                *count = static_cast<int>(delivered);
                return r;
            }
        }
        std::size_t take;
        if (offset == 0 && total - delivered >= rowBytes) {
            m_renderer->Render(row, out + delivered);
            take = rowBytes;
        } else {
            const std::int64_t key = (static_cast<std::int64_t>(page) << 32) | row;
            if (m_rowBufferKey != key) {
                m_renderer->Render(row, m_rowBuffer.data());
                m_rowBufferKey = key;
            }
            take = std::min(rowBytes - offset, total - delivered);
            std::memcpy(out + delivered, m_rowBuffer.data() + offset, take);
        }
        delivered += take;
        if (offset + take < rowBytes) {
            m_hostOffset = static_cast<int>(offset + take);
            continue;
        }
        m_hostOffset = 0;
        if (row + 1 < lines) {
            m_hostRow = row + 1;
            continue;
        }
        // The page side is read: the mechanism may go on, and the next side's content takes over.
        m_hostRow = 0;
        if (page + 1 < static_cast<int>(m_plan.size()))
            m_renderer->SetPage(m_plan[static_cast<std::size_t>(page) + 1].sheet,
                                m_plan[static_cast<std::size_t>(page) + 1].back);
        {
            std::lock_guard lock(m_mutex);
            m_hostPage = page + 1;
        }
        m_cv.notify_all();
    }
    *count = static_cast<int>(delivered);
    if (m_job.shortReads > 0)
        *count = std::min(*count, m_job.shortReads);
    return 0;
}

void Device::LinePoll(int* line, int* status) const {
    *line = 0;
    *status = 0;
    const int page = m_hostPage;
    if (!m_started || m_stopped || m_jammed || page >= m_planSize)
        return;
    const std::uint64_t progress = m_progress;
    const int mechanismPage = static_cast<int>(progress >> 32);
    if (mechanismPage > page) {
        *line = m_jobLines;
        *status = ScanDrv_LINE_TRANSFERRING;
    } else if (mechanismPage == page) {
        *line = static_cast<int>(progress & 0xFFFFFFFFu);
        *status = m_paused ? ScanDrv_LINE_TRANSFERRING : ScanDrv_LINE_SCANNING;
    } else {
        *status = ScanDrv_LINE_SCANNING;
    }
}

void Device::TransferPoll(int* total, int* done) const {
    const long long rowBytes = m_jobRowBytes;
    *total = static_cast<int>(std::min<long long>(INT_MAX, rowBytes * m_jobLines));
    *done = static_cast<int>(std::min<long long>(INT_MAX, rowBytes * m_hostRow + m_hostOffset));
}

int Device::GetADFStatus(const Control& control) const {
    if (m_jammed)
        return 8;
    return control.feederSheets > 0 ? 0 : 7;
}

int Device::NextPushStatus() {
    std::lock_guard lock(m_mutex);
    if (!m_job.pushStatus.empty()) {
        std::size_t i = std::min(m_pushIndex, m_job.pushStatus.size() - 1);
        ++m_pushIndex;
        return m_job.pushStatus[i];
    }
    // A jammed page is still unread: it is announced like any other, and its read then reports the jam.
    bool more = m_started && !m_stopped && m_hostPage < m_planSize;
    return more ? 0 : 1;
}

} // namespace scandrv
