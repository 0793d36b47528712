// The paper lists of each source for every combination of the model flags.
#include "scanner/PaperTables.h"
#include "settings/PlatformFlags.h"

#include <gtest/gtest.h>

namespace {

std::vector<int> Ids(const std::vector<_PaperInfo>& rows) {
    std::vector<int> ids;
    ids.reserve(rows.size());
    for (const _PaperInfo& r : rows)
        ids.push_back(r.id);
    return ids;
}

// Restores the flags and forgets the lists the test built.
struct ModelFlags {
    ModelFlags(BOOL a3, BOOL ibis) {
        g_bHasA3 = a3;
        g_bIsPlatformIbis = ibis;
        ResetPaperListsForTesting();
    }
    ~ModelFlags() {
        g_bHasA3 = FALSE;
        g_bIsPlatformIbis = FALSE;
        ResetPaperListsForTesting();
    }
};

} // namespace

TEST(PaperRowsFor, EveryModelFlagCombination) {
    using V = std::vector<int>;
    // flatbed, then feeder, for (A3, PlatformIbis) = (0,0), (0,1), (1,0), (1,1)
    EXPECT_EQ(Ids(PaperRowsFor(0, FALSE, FALSE)), (V{1, 2, 12, 4, 7, 6, 9}));
    EXPECT_EQ(Ids(PaperRowsFor(0, FALSE, TRUE)), (V{1, 2, 12, 4, 7, 6, 9}));
    EXPECT_EQ(Ids(PaperRowsFor(0, TRUE, FALSE)), (V{1, 2, 12, 4, 7, 10, 15, 6, 9}));
    EXPECT_EQ(Ids(PaperRowsFor(0, TRUE, TRUE)), (V{1, 2, 12, 4, 7, 10, 15, 9}));
    for (unsigned feeder : {1u, 2u, 3u}) {
        EXPECT_EQ(Ids(PaperRowsFor(feeder, FALSE, FALSE)), (V{1, 2, 12, 4, 7, 10, 11}));
        EXPECT_EQ(Ids(PaperRowsFor(feeder, FALSE, TRUE)), (V{1, 2, 12, 4, 7, 10, 11}));
        EXPECT_EQ(Ids(PaperRowsFor(feeder, TRUE, FALSE)), (V{1, 2, 12, 4, 7, 10, 11, 15}));
        EXPECT_EQ(Ids(PaperRowsFor(feeder, TRUE, TRUE)), (V{1, 2, 12, 4, 7, 10, 11}));
    }
}

TEST(PaperRowsFor, RowsCarryTheirSizesAndUnits) {
    std::vector<_PaperInfo> flatbed = PaperRowsFor(0, TRUE, FALSE);
    EXPECT_EQ(flatbed[6].id, 15);
    EXPECT_EQ(flatbed[6].nameId, 1150);
    EXPECT_FLOAT_EQ(flatbed[6].width, 297);
    EXPECT_FLOAT_EQ(flatbed[6].height, 420);
    EXPECT_EQ(flatbed[7].id, 6);
    EXPECT_FLOAT_EQ(flatbed[7].width, 297) << "the A3 model's whole-bed row";
    std::vector<_PaperInfo> small = PaperRowsFor(0, FALSE, FALSE);
    EXPECT_FLOAT_EQ(small[5].width, 216) << "the A4 model's whole-bed row";
    EXPECT_FLOAT_EQ(small[5].height, 297);
    for (const _PaperInfo& row : PaperRowTable)
        EXPECT_EQ(row.unit, row.id == 7 ? kPaperUnitInch : kPaperUnitMillimetre) << "only Letter is in inches";
}

TEST(PaperRowTable, EveryRowHasItsIdentifierNameUnitAndSize) {
    struct Expected {
        int id;
        int nameId;
        int unit;
        float width;
        float height;
        const char* what;
    };
    const Expected rows[kPaperRowCount] = {
        {1, 1038, kPaperUnitMillimetre, 210, 297, "A4"},
        {2, 1039, kPaperUnitMillimetre, 148, 210, "A5"},
        {4, 1041, kPaperUnitMillimetre, 182, 257, "B5"},
        {6, 1042, kPaperUnitMillimetre, 216, 297, "A4 whole bed"},
        {7, 1043, kPaperUnitInch, 8.5f, 11, "Letter"},
        {9, 1045, kPaperUnitMillimetre, 216, 297, "A4 whole feeder"},
        {10, 1136, kPaperUnitMillimetre, 216, 356, "Legal"},
        {11, 1137, kPaperUnitMillimetre, 216, 330, "Folio"},
        {12, 1146, kPaperUnitMillimetre, 105, 148, "A6"},
        {15, 1150, kPaperUnitMillimetre, 297, 420, "A3"},
        {6, 1042, kPaperUnitMillimetre, 297, 420, "A3 whole bed"},
        {9, 1045, kPaperUnitMillimetre, 297, 420, "A3 whole feeder"},
    };
    for (int i = 0; i < kPaperRowCount; ++i) {
        const _PaperInfo& row = PaperRowTable[i];
        const Expected& want = rows[i];
        EXPECT_EQ(row.id, want.id) << "row " << i + 1 << " (" << want.what << ")";
        EXPECT_EQ(row.nameId, want.nameId) << "row " << i + 1 << " (" << want.what << ")";
        EXPECT_EQ(row.unit, want.unit) << "row " << i + 1 << " (" << want.what << ")";
        EXPECT_FLOAT_EQ(row.width, want.width) << "row " << i + 1 << " (" << want.what << ")";
        EXPECT_FLOAT_EQ(row.height, want.height) << "row " << i + 1 << " (" << want.what << ")";
    }
}

TEST(PaperLists, ModelWithoutA3) {
    ModelFlags flags(FALSE, FALSE);
    EXPECT_EQ(GetFlatbedPaperList().GetSize(), 7);
    EXPECT_EQ(GetMaxSanSizeNum(0), 6) << "the last flatbed row stands for the whole area";
    EXPECT_EQ(GetAdfPaperList().GetSize(), 7);
    EXPECT_EQ(GetMaxSanSizeNum(1), 7);
    EXPECT_EQ(GetMaxSanSizeNum(2), 7);
    EXPECT_DOUBLE_EQ(GetMaxScanWidthInch(), 8.503937);
    EXPECT_DOUBLE_EQ(GetMaxScanLengthInch(), 11.692913);
}

TEST(PaperLists, A3ModelOutsideAndInsidePlatformIbis) {
    {
        ModelFlags flags(TRUE, FALSE);
        EXPECT_EQ(GetFlatbedPaperList().GetSize(), 9);
        EXPECT_EQ(GetAdfPaperList().GetSize(), 8);
        EXPECT_EQ(GetMaxSanSizeNum(0), 8);
        EXPECT_DOUBLE_EQ(GetMaxScanWidthInch(), 11.692913);
        EXPECT_DOUBLE_EQ(GetMaxScanLengthInch(), 16.535433);
    }
    ModelFlags flags(TRUE, TRUE);
    EXPECT_EQ(GetFlatbedPaperList().GetSize(), 8);
    EXPECT_EQ(GetAdfPaperList().GetSize(), 7);
}

TEST(PaperLists, BuiltOnceAndKept) {
    ModelFlags flags(FALSE, FALSE);
    EXPECT_EQ(GetFlatbedPaperList().GetSize(), 7);
    g_bHasA3 = TRUE;
    EXPECT_EQ(GetFlatbedPaperList().GetSize(), 7) << "a later flag does not rebuild the list";
}

TEST(PaperLists, RowsAndNamesByIndexAndOutsideTheList) {
    ModelFlags flags(FALSE, FALSE);
    _PaperInfo info{};
    getPeperInfo(&info, 1, 2);
    EXPECT_EQ(info.id, 12) << "feeder index 2 is A6";
    getPeperInfo(&info, 0, 4);
    EXPECT_EQ(info.id, 7);
    EXPECT_EQ(info.unit, kPaperUnitInch);
    info.id = 99;
    getPeperInfo(&info, 0, 7);
    EXPECT_EQ(info.id, 0) << "outside the list: a zeroed row";
    EXPECT_FLOAT_EQ(info.width, 0);
    getPeperInfo(&info, 1, -1);
    EXPECT_EQ(info.id, 0);
    EXPECT_EQ(GetPaperName(0, 0), GetFlatbedPaperList()[0]);
    EXPECT_TRUE(GetPaperName(1, 7).IsEmpty()) << "outside the list: an empty name";
    EXPECT_TRUE(GetPaperName(0, -1).IsEmpty());
}

TEST(ManualDuplexFlag, StoresWhatAppModeChose) {
    EXPECT_EQ(GetManualDuplexFlag(), 0);
    SetManualDuplexFlag(1);
    EXPECT_EQ(GetManualDuplexFlag(), 1);
    SetManualDuplexFlag(0);
    EXPECT_EQ(GetScanResetValue(), 0);
}
