// Driver codes to the program's codes, and the error text chosen for a failed step.
#include "ScannerTestRoot.h"

#include "platform/base/afxcore.h"
#include "platform/base/module.h"
#include "scanner/CLLDKorvel.h"
#include "scanner/ScanErrors.h"
#include "settings/Language.h"
#include "settings/PlatformFlags.h"

TEST(MapDriverResult, FollowsTheTableAndGivesMinusOneOutsideIt) {
    const int expected[22] = {0,  -1,   200, -21, -4,  0,   -7,  -73, -72, -12, -1,
                              -1, -210, -74, -9,  -75, -76, -77, -78, -79, -80, 0};
    for (int code = 0; code < 22; ++code)
        EXPECT_EQ(CLLDKorvel::MapDriverResult(code), expected[code]) << "driver code " << code;
    for (int code : {22, 100, -5, -1, 0x7fffffff})
        EXPECT_EQ(CLLDKorvel::MapDriverResult(code), -1) << "driver code " << code;
    EXPECT_EQ(CLLDKorvel::MapDriverResult(5), 0) << "end of data reads as success";
}

TEST(GetScanErrorStringId, ChoosesByCategoryAndCode) {
    struct Row {
        int category, code;
        UINT id;
    } rows[] = {
        {0, -21, 1104},  {0, -73, 1101}, {0, -1, 1101},  {1, -73, 1139}, {1, -72, 1143},  {1, -21, 1104},
        {1, -7, 1140},   {1, -1, 1103},  {1, 200, 1103}, {2, -78, 1152}, {2, -73, 1103},  {6, -210, 1101},
        {6, -100, 1105}, {6, -80, 1155}, {6, -79, 1153}, {6, -78, 1152}, {6, -77, 1151},  {6, -76, 1149},
        {6, -75, 1103},  {6, -73, 1139}, {6, -72, 1143}, {6, -21, 1104}, {6, -9, 1103},   {6, -7, 1140},
        {6, -4, 1101},   {6, -1, 1103},  {5, -73, 1103}, {13, -4, 1103}, {-1, -21, 1103},
    };
    for (const Row& r : rows)
        EXPECT_EQ(GetScanErrorStringId(r.category, r.code), r.id) << "(" << r.category << ", " << r.code << ")";
}

TEST(GetScanErrorStringId, PlatformIbisHasItsOwnGenericDeviceError) {
    g_bIsPlatformIbis = TRUE;
    EXPECT_EQ(GetScanErrorStringId(0, -73), 1154u);
    EXPECT_EQ(GetScanErrorStringId(6, -210), 1154u);
    EXPECT_EQ(GetScanErrorStringId(6, -4), 1154u);
    EXPECT_EQ(GetScanErrorStringId(0, -21), 1104u);
    g_bIsPlatformIbis = FALSE;
}

TEST(GetScanErrorMessage, ComesFromTheLanguageLibrary) {
    const char* moduleDir = std::getenv("MODULE_DIR");
    if (!moduleDir)
        GTEST_SKIP() << "MODULE_DIR is not set";
    std::u16string library = platform::path::ToDosPath(std::string(moduleDir) + "/kvxtwrcenus.dll");
    HMODULE strings = LoadLibraryW(library.c_str());
    if (!strings)
        GTEST_SKIP() << "no English language library in MODULE_DIR";
    HINSTANCE previous = AfxGetResourceHandle();
    AfxSetResourceHandle(strings);
    for (UINT id : {1101u, 1103u, 1104u, 1105u, 1139u, 1140u, 1143u, 1149u, 1151u, 1152u, 1153u, 1155u})
        EXPECT_NE(LoadResString(id), CString(u"Load String Error!")) << "text " << id << " is missing";
    EXPECT_EQ(GetScanErrorMessage(1, -73), LoadResString(1139));
    EXPECT_EQ(GetScanErrorMessage(6, -78), LoadResString(1152));
    AfxSetResourceHandle(previous);
    FreeLibrary(strings);
}

TEST(GetScanErrorMessage, AMissingTextReadsLoadStringError) {
    // The test program itself carries no string table.
    EXPECT_EQ(GetScanErrorMessage(1, -73), CString(u"Load String Error!"));
}
