// The launch information of the still-image service stand-in: what the service knows about the device event that
// starts a program. The scan key (tools/scankey) writes it before it starts the program; the stand-in's object reads
// it. One file, C:\StillImage\launch.txt, UTF-8 "key=value" lines:
//
//   DeviceName=<the device's internal name>
//   EventCode=<decimal>
//   EventName=<text>
//   EventData=<hex bytes, blank separated>     the device value "EventData" (REG_BINARY): the push command
//   DevicePath=<path>                          the device value "DevicePath" (REG_SZ)
#pragma once

#include "platform/base/windows.h"

#include <string>
#include <vector>

namespace sti {

inline constexpr const WCHAR* kLaunchFile = u"C:\\StillImage\\launch.txt";

struct Launch {
    std::u16string deviceName;
    DWORD eventCode = 0;
    std::u16string eventName;
    std::vector<BYTE> eventData;
    std::u16string devicePath;
};

// Writes the file (and its folder); false when it cannot be written.
bool WriteLaunch(const Launch& launch);
// Reads the file; false when there is none or it names no device.
bool ReadLaunch(Launch& launch);

} // namespace sti
