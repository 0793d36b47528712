// One open scanner of the simulated device: scan settings, the job being scanned and the mechanism that scans it.
//
// The mechanism runs on the device's own thread: it walks the job's page sides (flatbed one page; feeder the sheets;
// feeder duplex front and back of each sheet; manual duplex all fronts, a pause, all backs), makes each page's lines
// available over the configured page time, and reports the course of the job through the registered callback. It
// keeps at most two page sides ahead of the reader, like a device with a two-page buffer.
//
// Reads run on the caller's thread and wait for the lines they need; a cancel or abort from any thread wakes them.
// Polls of the line number and transfer size may come from any thread at any time.
#pragma once

#include "companions/scandrv/ControlFile.h"
#include "companions/scandrv/RowRenderer.h"
#include "companions/scandrv/ScanDrv.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace scandrv {

class Device {
public:
    Device();
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    int SetScanParameter(const ScanSettings& settings);
    int GetScanParameter(int* pixelsPerLine, int* totalLines);
    int SetAdjustments(int threshold);
    int StartScan(const Control& control);
    int Stop(); // cancel and abort alike
    int Read(void* buffer, int size, int* count);
    void LinePoll(int* line, int* status) const;
    void TransferPoll(int* total, int* done) const;
    void SetCallback(ScanDrvCallback callback, void* context);
    int GetADFStatus(const Control& control) const;
    int NextPushStatus();
    int LastError() const { return m_lastError.load(); }
    // True inside a device event: the device must then not be destroyed on this thread.
    bool OnMechanismThread() const;
    void SetLastError(int code) { m_lastError.store(code); }

private:
    struct PageSide {
        int sheet;
        bool back;
    };

    void MechanismLoop();
    void RunJob();
    void Emit(int code, int page, int side);
    bool PauseUnlessStopped(int ms); // false when stopped meanwhile
    bool PauseForTheStack();         // the manual-duplex pause; false when stopped meanwhile
    void Publish(std::uint64_t progress);
    int WaitForRow(int page, int row);
    int Stall(int ms);

    static std::uint64_t Progress(int page, int lines) {
        return (static_cast<std::uint64_t>(page) << 32) | static_cast<std::uint32_t>(lines);
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::thread m_thread;
    bool m_quit = false;

    ScanSettings m_settings;
    bool m_haveSettings = false;
    int m_adjustThreshold = -1;

    ScanDrvCallback m_callback = nullptr;
    void* m_context = nullptr;

    // The job. Written by StartScan while the mechanism is idle; read by the mechanism and the reader.
    std::uint64_t m_generation = 0; // the job the mechanism is asked to run; 0: none yet
    bool m_mechanismBusy = false;
    Control m_job;
    ScanSettings m_jobSettings;
    std::vector<PageSide> m_plan;
    std::unique_ptr<RowRenderer> m_renderer;
    std::atomic<bool> m_started{false}, m_stopped{false}, m_jammed{false}, m_paused{false}, m_running{false};
    std::atomic<std::uint64_t> m_progress{0}; // page index << 32 | lines scanned of it
    std::atomic<int> m_planSize{0}, m_jobLines{0};
    std::atomic<long long> m_jobRowBytes{0};
    int m_readers = 0;
    std::atomic<int> m_lastError{0};
    std::size_t m_pushIndex = 0;

    // The reader's place: page side index, row, bytes of that row already delivered.
    std::atomic<int> m_hostPage{0}, m_hostRow{0};
    std::atomic<int> m_hostOffset{0};
    bool m_stallDone = false;
    std::vector<std::uint8_t> m_rowBuffer;
    std::int64_t m_rowBufferKey = -1; // page << 32 | row held in m_rowBuffer
};

} // namespace scandrv
