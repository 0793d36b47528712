// Velmora's push command, from both roads: the still-image event data (the bytes as the device sends them) and
// the "-PUSH_PARAM" digits of the command line. Any bytes either are refused or decode to settings a scan can run
// with.
//
// Input: u8 flags (bit 0: PlatformOrca's 8-byte command), then the command bytes; the same bytes, two to a
// character, are also the command-line digits.

#include "FuzzSupport.h"

#include "devicescan/PushCommand.h"
#include "devicescan/SaveImage.h"

#include <string>
#include <vector>

namespace {

void CheckSettings(const PushScanSettings& s) {
    fuzz::Check(s.dpi == 75 || s.dpi == 150 || s.dpi == 300 || s.dpi == 600, "a push scan has a known resolution");
    fuzz::Check(s.colour >= 0 && s.colour <= 2, "a push scan has a known colour mode");
    fuzz::Check(s.width > 0 && s.height > 0, "a push scan has an area");
    fuzz::Check(s.saveType == SaveTypeTiff || s.saveType == SaveTypeJpeg || s.saveType == SaveTypePdf ||
                    s.saveType == SaveTypeOfd,
                "a push scan saves in a type it has a writer for");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const bool orca = data[0] & 1;
    const int length = orca ? kPushCommandLengthOrca : kPushCommandLength;
    // The event data exactly as long as it came, so a read past it is caught.
    std::vector<BYTE> command(data + 1, data + size);
    PushScanSettings settings{};
    if (DecodePushCommand(command.data(), static_cast<int>(command.size()), orca, &settings))
        CheckSettings(settings);

    std::u16string digits;
    for (size_t i = 1; i + 1 < size; i += 2)
        digits += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    std::vector<BYTE> built(static_cast<size_t>(length));
    if (BuildPushCommandFromDigits(digits.c_str(), built.data(), length)) {
        fuzz::Check(built[0] == kPushCommandHead, "a command built from digits starts with its head");
        if (DecodePushCommand(built.data(), length, orca, &settings))
            CheckSettings(settings);
    }
    return 0;
}
