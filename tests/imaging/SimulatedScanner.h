// Whole pages from the simulated device, scanned as the data source reads them (row by row), with the document's
// placement and skew set through its control file in a C:\ root of the test's own.
#pragma once

#include "companions/scandrv/ScanDrv.h"
#include "companions/scandrv/TestPage.h"
#include "tests/companions/scandrv/WriteControlFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

struct ScannedPage {
    int width = 0, height = 0, colour = 0, dpi = 0;
    std::vector<std::uint8_t> bytes;
    std::size_t RowBytes() const {
        return (static_cast<std::size_t>(width) * (colour == 0 ? 1 : colour == 1 ? 8 : 24) + 7) / 8;
    }
};

class SimulatedScanner {
public:
    SimulatedScanner() {
        char pattern[] = "/tmp/imaging-scan-XXXXXX";
        if (mkdtemp(pattern) != nullptr)
            m_root = pattern;
        setenv("PLATFORM_ROOT", m_root.c_str(), 1);
        m_lib = dlopen(SCANDRV_PATH, RTLD_NOW | RTLD_LOCAL);
    }
    ~SimulatedScanner() {
        if (m_lib)
            dlclose(m_lib);
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    SimulatedScanner(const SimulatedScanner&) = delete;
    SimulatedScanner& operator=(const SimulatedScanner&) = delete;

    // Lines of the control file (document placement, skew).
    void Control(const std::string& text) { scandrv_test::WriteControlFile(m_root, text); }

    // One flatbed page of the area (1/1200 inch) at dpi in the colour mode (0 black and white, 1 grey, 2 colour).
    ScannedPage Scan(int dpi, int colour, int left, int top, int right, int bottom) {
        ScannedPage page;
        auto bind = [this](const char* name) { return dlsym(m_lib, name); };
        if (m_lib == nullptr) {
            ADD_FAILURE() << "the simulated device does not load: " << SCANDRV_PATH;
            return page;
        }
        auto open = reinterpret_cast<decltype(&ScanDrv_Open)>(bind("ScanDrv_Open"));
        auto close = reinterpret_cast<decltype(&ScanDrv_Close)>(bind("ScanDrv_Close"));
        auto set = reinterpret_cast<decltype(&ScanDrv_SetScanParameter)>(bind("ScanDrv_SetScanParameter"));
        auto get = reinterpret_cast<decltype(&ScanDrv_GetScanParameter)>(bind("ScanDrv_GetScanParameter"));
        auto start = reinterpret_cast<decltype(&ScanDrv_StartScan)>(bind("ScanDrv_StartScan"));
        auto read = reinterpret_cast<decltype(&ScanDrv_ReadScanData)>(bind("ScanDrv_ReadScanData"));
        void* device = nullptr;
        EXPECT_EQ(open("\\\\.\\Usbscan", &device), 0);
        EXPECT_EQ(set(device, dpi, dpi, colour, left, top, right, bottom, 128, 0), 0);
        EXPECT_EQ(get(device, &page.width, &page.height), 0);
        EXPECT_EQ(start(device), 0);
        page.colour = colour;
        page.dpi = dpi;
        const std::size_t rowBytes = page.RowBytes();
        page.bytes.resize(rowBytes * static_cast<std::size_t>(page.height));
        for (int y = 0; y < page.height; ++y) {
            int count = 0;
            if (read(device, page.bytes.data() + rowBytes * y, static_cast<int>(rowBytes), &count) != 0) {
                ADD_FAILURE() << "row " << y << " was not read";
                break;
            }
        }
        close(device);
        return page;
    }

    // An A4 page (210 x 297 mm) from the top-left corner of the bed.
    ScannedPage ScanA4(int dpi, int colour) { return Scan(dpi, colour, 0, 0, 9921, 14031); }

private:
    std::string m_root;
    void* m_lib = nullptr;
};
