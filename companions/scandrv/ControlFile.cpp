#include "companions/scandrv/ControlFile.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace scandrv {

namespace {

std::string Trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// Positions and sizes beyond 50 inches lie off any bed: such a document line is malformed, not a huge page.
constexpr double kMaxExtent = 1200.0 * 50;

bool OnTheBed(const Placement& p) {
    return p.width > 0 && p.height > 0 && p.width <= kMaxExtent && p.height <= kMaxExtent &&
           std::abs(p.left) <= kMaxExtent && std::abs(p.top) <= kMaxExtent;
}

template <typename T> bool ReadAll(std::istringstream& in, T& value) {
    return static_cast<bool>(in >> value);
}

// One line without its comment into the settings; false when it holds no setting that can be read.
bool ReadLine(const std::string& line, Control& c) {
    std::size_t eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    std::string key = Trim(line.substr(0, eq));
    std::istringstream value(line.substr(eq + 1));
    if (key == "feeder_sheets") {
        int n;
        if (!ReadAll(value, n) || n < 0)
            return false;
        c.feederSheets = n;
    } else if (key == "usb") {
        int n;
        if (!ReadAll(value, n))
            return false;
        c.usb = n != 0;
    } else if (key == "net_device") {
        NetDevice d;
        if (!(value >> d.name >> d.address))
            return false;
        c.netDevices.push_back(d);
    } else if (key == "net_wait_ms") {
        int n;
        if (Trim(value.str()) == "never")
            c.netWaitMs = kNetWaitNever;
        else if (ReadAll(value, n) && n >= 0)
            c.netWaitMs = n;
        else
            return false;
    } else if (key == "document") {
        Placement p = c.document;
        if (!(value >> p.left >> p.top >> p.width >> p.height) || !OnTheBed(p))
            return false;
        c.document = {p.left, p.top, p.width, p.height, c.document.skewDegrees};
    } else if (key == "skew") {
        double a;
        if (!ReadAll(value, a) || !(a > -45 && a < 45))
            return false;
        c.document.skewDegrees = a;
    } else if (key == "page_ms") {
        int n;
        if (!ReadAll(value, n) || n < 0)
            return false;
        c.pageMs = n;
    } else if (key == "duplex_wait_ms") {
        int n;
        if (Trim(value.str()) == "never")
            c.duplexWaitMs = kDuplexWaitNever;
        else if (ReadAll(value, n) && n >= 0)
            c.duplexWaitMs = n;
        else
            return false;
    } else if (key == "jam") {
        int page, row;
        if (!(value >> page >> row) || page <= 0 || row < 0)
            return false;
        c.jamPage = page;
        c.jamLine = row;
    } else if (key == "stall") {
        int page, row, ms;
        if (!(value >> page >> row >> ms) || page <= 0 || row < 0 || ms < 0)
            return false;
        c.stallPage = page;
        c.stallLine = row;
        c.stallMs = ms;
    } else if (key == "push_status") {
        std::vector<int> list;
        for (int n; value >> n;)
            list.push_back(n);
        c.pushStatus = list;
    } else if (key == "short_reads") {
        int n;
        if (!ReadAll(value, n) || n < 0)
            return false;
        c.shortReads = n;
    } else if (key == "journal") {
        std::string file = Trim(value.str());
        if (file.empty())
            return false;
        c.journal = file;
    } else if (key == "fault") {
        Fault f;
        if (!(value >> f.entry >> f.code))
            return false;
        std::string mode;
        if (value >> mode) {
            if (mode == "from")
                f.from = true;
            else if (mode != "once")
                return false;
            long long n;
            if (value >> n) {
                if (n < 1)
                    return false;
                f.n = n;
            }
        }
        c.faults.push_back(f);
    } else {
        return false;
    }
    return true;
}

} // namespace

Control ParseControl(const std::string& text, std::vector<std::string>* unread) {
    Control c;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        const std::string whole = Trim(line);
        if (std::size_t hash = line.find('#'); hash != std::string::npos)
            line.resize(hash);
        if (ReadLine(line, c))
            continue;
        if (unread != nullptr && !Trim(line).empty())
            unread->push_back("line " + std::to_string(number) + ": " + whole);
    }
    return c;
}

std::string ControlFilePath() {
    std::string root;
    if (const char* r = std::getenv("PLATFORM_ROOT"); r && *r)
        root = r;
    else if (const char* home = std::getenv("HOME"); home && *home)
        root = std::string(home) + "/.cdrive";
    else
        root = ".cdrive";
    if (root.back() != '/')
        root += '/';
    return root + "scandrv.conf";
}

bool ReadControlFile(std::string& text) {
    text.clear();
    std::ifstream in(ControlFilePath(), std::ios::binary);
    if (!in)
        return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

} // namespace scandrv
