// Loads the simulated device as a program would, gives each test its own per-user root (and so its own control
// file), and reads whole pages.
#pragma once

#include "companions/scandrv/ScanDrv.h"
#include "companions/scandrv/TestPage.h"
#include "tests/companions/scandrv/WriteControlFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

struct DriverApi {
#define SCANDRV_ENTRY(name) decltype(&::name) name = nullptr;
    SCANDRV_ENTRY(ScanDrv_Open)
    SCANDRV_ENTRY(ScanDrv_Open_C)
    SCANDRV_ENTRY(ScanDrv_Close)
    SCANDRV_ENTRY(ScanDrv_SetResolution1200)
    SCANDRV_ENTRY(ScanDrv_SetContinueFlag)
    SCANDRV_ENTRY(ScanDrv_GetLastError)
    SCANDRV_ENTRY(ScanDrv_SetScanParameter)
    SCANDRV_ENTRY(ScanDrv_GetScanParameter)
    SCANDRV_ENTRY(ScanDrv_StartScan)
    SCANDRV_ENTRY(ScanDrv_AbortScan)
    SCANDRV_ENTRY(ScanDrv_ReadScanData)
    SCANDRV_ENTRY(ScanDrv_GetCurScanLineNum)
    SCANDRV_ENTRY(ScanDrv_GetCurTransferSize)
    SCANDRV_ENTRY(ScanDrv_SetScanParameterAdj)
    SCANDRV_ENTRY(ScanDrv_CancelScan)
    SCANDRV_ENTRY(ScanDrv_CheckConnect)
    SCANDRV_ENTRY(ScanDrv_GetADFStatus)
    SCANDRV_ENTRY(ScanDrv_BroadcastMFP)
    SCANDRV_ENTRY(ScanDrv_LocateMFP)
    SCANDRV_ENTRY(ScanDrv_DetectNetMFP)
    SCANDRV_ENTRY(ScanDrv_SetCallBackFun)
    SCANDRV_ENTRY(ScanDrv_SetHorizontal)
    SCANDRV_ENTRY(ScanDrv_GetNextPushStatus)
#undef SCANDRV_ENTRY
};

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/scandrv_test_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_root = tmpl;
        setenv("PLATFORM_ROOT", m_root.c_str(), 1);
        m_lib = dlopen(SCANDRV_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_lib, nullptr) << dlerror();
#define SCANDRV_BIND(name) api.name = reinterpret_cast<decltype(api.name)>(dlsym(m_lib, #name));
        SCANDRV_BIND(ScanDrv_Open)
        SCANDRV_BIND(ScanDrv_Open_C)
        SCANDRV_BIND(ScanDrv_Close)
        SCANDRV_BIND(ScanDrv_SetResolution1200)
        SCANDRV_BIND(ScanDrv_SetContinueFlag)
        SCANDRV_BIND(ScanDrv_GetLastError)
        SCANDRV_BIND(ScanDrv_SetScanParameter)
        SCANDRV_BIND(ScanDrv_GetScanParameter)
        SCANDRV_BIND(ScanDrv_StartScan)
        SCANDRV_BIND(ScanDrv_AbortScan)
        SCANDRV_BIND(ScanDrv_ReadScanData)
        SCANDRV_BIND(ScanDrv_GetCurScanLineNum)
        SCANDRV_BIND(ScanDrv_GetCurTransferSize)
        SCANDRV_BIND(ScanDrv_SetScanParameterAdj)
        SCANDRV_BIND(ScanDrv_CancelScan)
        SCANDRV_BIND(ScanDrv_CheckConnect)
        SCANDRV_BIND(ScanDrv_GetADFStatus)
        SCANDRV_BIND(ScanDrv_BroadcastMFP)
        SCANDRV_BIND(ScanDrv_LocateMFP)
        SCANDRV_BIND(ScanDrv_DetectNetMFP)
        SCANDRV_BIND(ScanDrv_SetCallBackFun)
        SCANDRV_BIND(ScanDrv_SetHorizontal)
        SCANDRV_BIND(ScanDrv_GetNextPushStatus)
#undef SCANDRV_BIND
    }

    void TearDown() override {
        if (m_handle)
            api.ScanDrv_Close(m_handle);
        if (m_lib)
            dlclose(m_lib);
        std::filesystem::remove_all(m_root);
    }

    void WriteControl(const std::string& text) {
        scandrv_test::WriteControlFile(m_root, text);
    }

    void Open() {
        ASSERT_EQ(api.ScanDrv_Open("\\\\.\\Usbscan", &m_handle), 0);
    }

    // Sets the parameters and starts a job.
    void Start(int dpi, int colour, int left, int top, int right, int bottom, int source, int threshold = 128) {
        ASSERT_EQ(api.ScanDrv_SetScanParameter(m_handle, dpi, dpi, colour, left, top, right, bottom, threshold, source),
                  0);
        ASSERT_EQ(api.ScanDrv_GetScanParameter(m_handle, &m_width, &m_lines), 0);
        m_colour = colour;
        m_dpi = dpi;
        m_left = left;
        m_top = top;
        ASSERT_EQ(api.ScanDrv_StartScan(m_handle), 0);
    }

    size_t RowBytes() const {
        int bits = m_colour == 0 ? 1 : m_colour == 1 ? 8 : 24;
        return (static_cast<size_t>(m_width) * bits + 7) / 8;
    }

    // Reads one page side row by row, as the data source does.
    std::vector<uint8_t> ReadPage() {
        std::vector<uint8_t> page(RowBytes() * static_cast<size_t>(m_lines));
        for (int y = 0; y < m_lines; ++y) {
            int count = 0;
            int r =
                api.ScanDrv_ReadScanData(m_handle, page.data() + y * RowBytes(), static_cast<int>(RowBytes()), &count);
            EXPECT_EQ(r, 0) << "row " << y;
            if (r != 0)
                break;
        }
        return page;
    }

    // The colour of the pixel whose centre lies at a document point (grey in all three for grey pages; black or white
    // for black-and-white pages).
    scandrv::Rgb PixelAtDocument(const std::vector<uint8_t>& page, const scandrv::Placement& p, double u, double v) {
        scandrv::Point px = scandrv::BedToPixel(scandrv::DocumentToBed(p, u, v), m_left, m_top, m_dpi, m_dpi);
        return PixelAt(page, static_cast<int>(px.x + 0.5), static_cast<int>(px.y + 0.5));
    }

    scandrv::Rgb PixelAt(const std::vector<uint8_t>& page, int x, int y) {
        const uint8_t* row = page.data() + static_cast<size_t>(y) * RowBytes();
        if (m_colour == 0) {
            uint8_t v = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
            return {v, v, v};
        }
        if (m_colour == 1)
            return {row[x], row[x], row[x]};
        return {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
    }

    // Page number and side from the marks of a page side.
    std::pair<int, bool> ReadMarks(const std::vector<uint8_t>& page, const scandrv::Placement& p) {
        auto black = [&](int i) {
            scandrv::Point c = scandrv::MarkCellCentre(i);
            return scandrv::GreyOf(PixelAtDocument(page, p, c.x, c.y)) < 64;
        };
        EXPECT_TRUE(black(0)) << "the anchor cell is missing";
        int number = 0;
        for (int i = 1; i <= 8; ++i)
            number |= black(i) ? 1 << (i - 1) : 0;
        return {number, black(9)};
    }

    DriverApi api;
    void* m_lib = nullptr;
    void* m_handle = nullptr;
    std::string m_root;
    int m_width = 0, m_lines = 0, m_colour = 2, m_dpi = 0, m_left = 0, m_top = 0;
};

namespace scandrv {
inline std::ostream& operator<<(std::ostream& os, Rgb c) {
    return os << "(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << ")";
}
} // namespace scandrv
