// The simulated device's control file: what lies in the feeder, which network devices answer, what the pages look
// like and which faults to play. It is "scandrv.conf" in the per-user root folder (the folder that stands for C:\:
// $PLATFORM_ROOT, else $HOME/.cdrive). One setting a line, "key = value"; '#' starts a comment; a line with an
// unknown key or a malformed value is ignored and reported to the debug output (standard error with
// PLATFORM_DEBUG=1). Without the file every key has its default.
//
//   feeder_sheets  = 3                   sheets in the feeder for every job (0: the feeder is empty)
//   usb            = 1                   a device answers on the local port ("\\.\Usbscan" and other "\\" paths)
//   net_device     = <name> <address>    a network device (repeatable); found by discovery, opened by either
//   net_wait_ms    = 0                   discovery and detection answer only after that long; "never": not while the
//                                        file says so (a network that does not answer; rewrite the file to release)
//   document       = 1200 1200 7200 9600 left top width height of the document on the bed, 1/1200 inch
//   skew           = 0                   the document's angle in degrees, counter-clockwise
//   page_ms        = 0                   time the mechanism takes to scan one page side (0: at once)
//   duplex_wait_ms = 1000                manual duplex: once every front side is read, the pause before the backs
//                                        (the user turns the stack over); "never": while the file says so
//   jam            = <page> <line>       the feeder jams at that line of that page side of the job (1-based page)
//   stall          = <page> <line> <ms>  a read stalls that long at that line (0: until cancelled or aborted)
//   push_status    = 0 0 1               successive answers of ScanDrv_GetNextPushStatus, the last one repeating
//                                        (without it: 0 while pages of the job remain unread, a jammed one
//                                        included, else 1)
//   fault          = <entry> <code> [once|from] [<n>]
//                                        the entry point (e.g. ScanDrv_StartScan) answers the driver code at its
//                                        n-th call (default 1) counted from the file's last change, or from then on
//                                        (a fault on ScanDrv_Close still closes the device)
//   short_reads    = <bytes>             every read reports at most that many bytes in its count while it still
//                                        fills the whole buffer (a driver that undercounts; 0: the whole request)
//   journal        = <file>              every call of an entry point (but reads and progress polls) appends a line
//                                        "<entry> <arguments> -> <driver code>" to that file, in the control
//                                        file's folder unless the name starts with '/'
#pragma once

#include "companions/scandrv/TestPage.h"

#include <string>
#include <vector>

namespace scandrv {

struct NetDevice {
    std::string name, address;
};

struct Fault {
    std::string entry;
    int code = 0;
    bool from = false; // false: only the n-th call
    long long n = 1;
};

inline constexpr int kNetWaitNever = -1;
inline constexpr int kDuplexWaitNever = -1;

struct Control {
    int feederSheets = 3;
    bool usb = true;
    std::vector<NetDevice> netDevices;
    int netWaitMs = 0; // kNetWaitNever: until the file says otherwise
    Placement document;
    int pageMs = 0;
    int duplexWaitMs = 1000;      // kDuplexWaitNever: until the file says otherwise
    int jamPage = 0, jamLine = 0; // jamPage 0: no jam
    int stallPage = 0, stallLine = 0, stallMs = 0;
    std::vector<int> pushStatus;
    std::vector<Fault> faults;
    int shortReads = 0;  // 0: a read reports what it delivered
    std::string journal; // as written: a POSIX path, or a name in the control file's folder; empty: no journal
};

// Parses the text of a control file; the lines it cannot read ("line 3: usb = maybe") are added to `unread`.
Control ParseControl(const std::string& text, std::vector<std::string>* unread = nullptr);
// The control file's path.
std::string ControlFilePath();
// Reads the control file; false when it cannot be read (text then empty).
bool ReadControlFile(std::string& text);

} // namespace scandrv
