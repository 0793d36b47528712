#include "companions/sti/StiLaunch.h"

#include "platform/base/path.h"
#include "platform/base/wstring.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace sti {

bool WriteLaunch(const Launch& launch) {
    if (!platform::path::EnsureDosFolder(u"C:\\StillImage"))
        return false;
    std::ostringstream text;
    text << "DeviceName=" << platform::ToUtf8(launch.deviceName) << "\n";
    text << "EventCode=" << launch.eventCode << "\n";
    text << "EventName=" << platform::ToUtf8(launch.eventName) << "\n";
    text << "EventData=";
    for (size_t i = 0; i < launch.eventData.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", launch.eventData[i]);
        text << (i ? " " : "") << hex;
    }
    text << "\n";
    text << "DevicePath=" << platform::ToUtf8(launch.devicePath) << "\n";
    std::ofstream out(platform::path::ToHostPath(kLaunchFile), std::ios::trunc | std::ios::binary);
    out << text.str();
    out.close();
    return static_cast<bool>(out);
}

bool ReadLaunch(Launch& launch) {
    std::ifstream in(platform::path::ToHostPath(kLaunchFile), std::ios::binary);
    if (!in)
        return false;
    launch = Launch{};
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == "DeviceName") {
            launch.deviceName = platform::ToUtf16(value);
        } else if (key == "EventCode") {
            launch.eventCode = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
        } else if (key == "EventName") {
            launch.eventName = platform::ToUtf16(value);
        } else if (key == "EventData") {
            std::istringstream bytes(value);
            std::string hex;
            while (bytes >> hex)
                launch.eventData.push_back(static_cast<BYTE>(std::strtoul(hex.c_str(), nullptr, 16)));
        } else if (key == "DevicePath") {
            launch.devicePath = platform::ToUtf16(value);
        }
    }
    return !launch.deviceName.empty();
}

} // namespace sti
