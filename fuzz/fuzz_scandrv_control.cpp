// The simulated device's control file (scandrv.conf): any text parses, and the page it describes renders at every
// colour mode without reading or writing outside a row.

#include "FuzzSupport.h"

#include "companions/scandrv/ControlFile.h"
#include "companions/scandrv/RowRenderer.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const scandrv::Control control = scandrv::ParseControl(std::string(reinterpret_cast<const char*>(data), size));
    fuzz::Check(control.feederSheets >= 0 && control.pageMs >= 0 && control.duplexWaitMs >= 0,
                "counts and times of the control file are never negative");
    // An A4 bed at 75 dpi, the whole page and a corner of it, in each colour mode; a few rows of each.
    for (int colour = 0; colour <= 2; ++colour) {
        for (const int right : {9920, 600}) {
            scandrv::ScanSettings settings;
            settings.xres = 75;
            settings.yres = 75;
            settings.colour = colour;
            settings.right = right;
            settings.bottom = 14030;
            scandrv::RowRenderer renderer(settings, control.document);
            renderer.SetPage(control.feederSheets + 1, control.feederSheets % 2 != 0);
            // A guard byte behind the row catches a write past its end.
            std::vector<std::uint8_t> row(renderer.RowBytes() + 1, 0xA5);
            for (int y = 0; y < settings.Lines(); y += 97) {
                renderer.Render(y, row.data());
                fuzz::Check(row.back() == 0xA5, "a rendered row stays within its bytes");
            }
        }
    }
    return 0;
}
