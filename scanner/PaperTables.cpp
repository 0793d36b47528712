#include "scanner/PaperTables.h"

#include "settings/DebugOutput.h"
#include "settings/Language.h"
#include "settings/PlatformFlags.h"

const _PaperInfo PaperRowTable[kPaperRowCount] = {
    {1, 1038, kPaperUnitMillimetre, 210, 297},  {2, 1039, kPaperUnitMillimetre, 148, 210},
    {4, 1041, kPaperUnitMillimetre, 182, 257},  {6, 1042, kPaperUnitMillimetre, 216, 297},
    {7, 1043, kPaperUnitInch, 8.5f, 11},        {9, 1045, kPaperUnitMillimetre, 216, 297},
    {10, 1136, kPaperUnitMillimetre, 216, 356}, {11, 1137, kPaperUnitMillimetre, 216, 330},
    {12, 1146, kPaperUnitMillimetre, 105, 148}, {15, 1150, kPaperUnitMillimetre, 297, 420},
    {6, 1042, kPaperUnitMillimetre, 297, 420},  {9, 1045, kPaperUnitMillimetre, 297, 420},
};

std::vector<_PaperInfo> g_AdfPaperInfo;
CStringArray g_AdfPaperNames;
std::vector<_PaperInfo> g_FlatbedPaperInfo;
CStringArray g_FlatbedPaperNames;
int g_bManualDuplex = 0;

namespace {

bool s_adfBuilt = false;
bool s_flatbedBuilt = false;
int s_scanReset = 0;

const _PaperInfo& Row(int number) {
    return PaperRowTable[number - 1];
} // rows are numbered from 1

void Build(unsigned source, std::vector<_PaperInfo>& rows, CStringArray& names) {
    rows = PaperRowsFor(source, g_bHasA3, g_bIsPlatformIbis);
    names.RemoveAll();
    for (const _PaperInfo& row : rows)
        names.Add(LoadResString(static_cast<UINT>(row.nameId)));
}

const std::vector<_PaperInfo>& RowsOf(unsigned source) {
    if (source != 0) {
        GetAdfPaperList();
        return g_AdfPaperInfo;
    }
    GetFlatbedPaperList();
    return g_FlatbedPaperInfo;
}

} // namespace

std::vector<_PaperInfo> PaperRowsFor(unsigned source, BOOL hasA3, BOOL isPlatformIbis) {
    std::vector<_PaperInfo> rows;
    if (source != 0) {
        for (int n : {1, 2, 9, 3, 5, 7, 8})
            rows.push_back(Row(n));
        if (hasA3 && !isPlatformIbis)
            rows.push_back(Row(10));
        return rows;
    }
    for (int n : {1, 2, 9, 3, 5})
        rows.push_back(Row(n));
    if (hasA3) {
        rows.push_back(Row(7));
        rows.push_back(Row(10));
        if (!isPlatformIbis)
            rows.push_back(Row(11));
        rows.push_back(Row(12));
    } else {
        rows.push_back(Row(4));
        rows.push_back(Row(6));
    }
    return rows;
}

const CStringArray& GetAdfPaperList() {
    if (!s_adfBuilt) {
        Build(1, g_AdfPaperInfo, g_AdfPaperNames);
        s_adfBuilt = true;
    }
    return g_AdfPaperNames;
}

const CStringArray& GetFlatbedPaperList() {
    if (!s_flatbedBuilt) {
        Build(0, g_FlatbedPaperInfo, g_FlatbedPaperNames);
        s_flatbedBuilt = true;
    }
    return g_FlatbedPaperNames;
}

CString GetPaperName(int source, int index) {
    const CStringArray& names = source != 0 ? GetAdfPaperList() : GetFlatbedPaperList();
    if (index < 0 || index >= names.GetSize())
        return CString();
    return names.GetAt(index);
}

void getPeperInfo(_PaperInfo* out, unsigned source, int index) {
    DebugPrint(u"getPeperInfo(): src = %d, index = %d\r\n", static_cast<int>(source), index);
    if (!out)
        return;
    const std::vector<_PaperInfo>& rows = RowsOf(source);
    if (index < 0 || static_cast<size_t>(index) >= rows.size())
        *out = _PaperInfo{};
    else
        *out = rows[static_cast<size_t>(index)];
}

int GetMaxSanSizeNum(unsigned source) {
    int count = static_cast<int>(RowsOf(source).size());
    int n = source != 0 ? count : count - 1; // the flatbed's last row stands for its whole area
    DebugPrint(u"GetMaxSanSizeNum = %d, src = %d\r\n", n, static_cast<int>(source));
    return n;
}

double GetMaxScanWidthInch() {
    return g_bHasA3 ? 11.692913 : 8.503937;
}

double GetMaxScanLengthInch() {
    return g_bHasA3 ? 16.535433 : 11.692913;
}

void SetManualDuplexFlag(int on) {
    g_bManualDuplex = on;
}

int GetManualDuplexFlag() {
    return g_bManualDuplex;
}

void SetScanResetValue(int value) {
    s_scanReset = value;
}

int GetScanResetValue() {
    return s_scanReset;
}

void ResetPaperListsForTesting() {
    s_adfBuilt = false;
    s_flatbedBuilt = false;
    g_AdfPaperInfo.clear();
    g_FlatbedPaperInfo.clear();
    g_AdfPaperNames.RemoveAll();
    g_FlatbedPaperNames.RemoveAll();
}
