// The push command's bytes: every value of every byte, both platform variants, and the command-line digits.
#include "devicescan/PushCommand.h"
#include "devicescan/SaveImage.h"
#include "platform/base/testing.h"
#include "settings/PlatformFlags.h"
#include "tests/support/DebugLines.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <vector>

namespace {

class PushCommandTest : public ::testing::Test {
protected:
    void SetUp() override { m_debug.Capture(); }
    void TearDown() override {
        m_debug.Release();
        g_bIsPlatformOrca = FALSE;
    }

    bool Logged(std::u16string_view text) const { return m_debug.Has(text); }
    void ClearLog() { m_debug.Clear(); }

    // 'V', 300 dpi, colour, A4, PDF, flatbed, one page, and an eighth byte for PlatformOrca.
    static std::array<BYTE, 8> Base() { return {'V', 2, 2, 0, 2, 0, 0, 0}; }

    testsupport::DebugLines m_debug;
};

} // namespace

TEST_F(PushCommandTest, TheExampleCommandAsksForA600DpiColourA4FeederPdfOfSeveralPages) {
    std::array<BYTE, 8> command = {'V', 3, 2, 0, 2, 1, 0, 0};
    PushScanSettings s{};
    ASSERT_TRUE(DecodePushCommand(command.data(), 7, false, &s));
    EXPECT_EQ(s.dpi, 600);
    EXPECT_EQ(s.colour, 2);
    EXPECT_EQ(s.width, 9921);
    EXPECT_EQ(s.height, 14031);
    EXPECT_EQ(s.saveType, SaveTypePdf);
    EXPECT_EQ(s.source, 1);
    EXPECT_EQ(s.multiPage, 1);
    EXPECT_TRUE(Logged(u"multi scan mode"));
}

TEST_F(PushCommandTest, OnlyTheHeadVIsAccepted) {
    for (int value = 0; value < 256; ++value) {
        auto command = Base();
        command[0] = static_cast<BYTE>(value);
        ClearLog();
        PushScanSettings s{};
        EXPECT_EQ(DecodePushCommand(command.data(), 7, false, &s), value == 'V') << value;
        EXPECT_EQ(Logged(u"Push CMD Head error!"), value != 'V') << value;
    }
}

TEST_F(PushCommandTest, ResolutionCodesZeroToThreeGive75To600DpiAndOthersAreRefused) {
    const int dpi[] = {75, 150, 300, 600};
    for (int value = 0; value < 256; ++value) {
        auto command = Base();
        command[1] = static_cast<BYTE>(value);
        ClearLog();
        PushScanSettings s{};
        const bool ok = DecodePushCommand(command.data(), 7, false, &s);
        EXPECT_EQ(ok, value <= 3) << value;
        if (ok)
            EXPECT_EQ(s.dpi, dpi[value]);
        else
            EXPECT_TRUE(Logged(u"Scan Resolution error")) << value;
    }
}

TEST_F(PushCommandTest, ColourCodesZeroToTwoPassThroughAndOthersAreRefused) {
    for (int value = 0; value < 256; ++value) {
        auto command = Base();
        command[2] = static_cast<BYTE>(value);
        ClearLog();
        PushScanSettings s{};
        const bool ok = DecodePushCommand(command.data(), 7, false, &s);
        EXPECT_EQ(ok, value <= 2) << value;
        if (ok)
            EXPECT_EQ(s.colour, value);
        else
            EXPECT_TRUE(Logged(u"color error")) << value;
    }
}

TEST_F(PushCommandTest, EveryPaperCodeGivesItsSizeAndUnlistedCodesTheWholeFlatbed) {
    const std::map<int, std::pair<int, int>> table = {
        {0, {9921, 14031}},  {1, {6992, 9921}},   {2, {9921, 6992}},  {3, {8598, 12142}},
        {4, {10205, 14031}}, {5, {10200, 13200}}, {6, {4252, 2598}},  {7, {10200, 16800}},
        {8, {10200, 15590}}, {9, {8315, 11811}},  {10, {4961, 6992}}, {13, {14031, 19842}},
    };
    for (int value = 0; value < 256; ++value) {
        auto command = Base();
        command[3] = static_cast<BYTE>(value);
        ClearLog();
        PushScanSettings s{};
        ASSERT_TRUE(DecodePushCommand(command.data(), 7, false, &s)) << value;
        auto it = table.find(value);
        const std::pair<int, int> expected = it != table.end() ? it->second : std::pair{10205, 14031};
        EXPECT_EQ(s.width, expected.first) << value;
        EXPECT_EQ(s.height, expected.second) << value;
        EXPECT_EQ(Logged(u"scan size error, default full"), it == table.end()) << value;
    }
}

TEST_F(PushCommandTest, FileTypeCodesGiveTiffJpegPdfOfdAndOthersPdf) {
    for (int value = 0; value < 256; ++value) {
        auto command = Base();
        command[4] = static_cast<BYTE>(value);
        ClearLog();
        PushScanSettings s{};
        ASSERT_TRUE(DecodePushCommand(command.data(), 7, false, &s)) << value;
        const int expected = value == 0   ? SaveTypeTiff
                             : value == 1 ? SaveTypeJpeg
                             : value == 2 ? SaveTypePdf
                             : value <= 4 ? SaveTypeOfd
                                          : SaveTypePdf;
        EXPECT_EQ(s.saveType, expected) << value;
        EXPECT_EQ(Logged(u"save type error, save default PDF"), value > 4) << value;
    }
}

TEST_F(PushCommandTest, SourceAndSeveralPagesForEveryPairOfBytesFiveAndSix) {
    for (int source = 0; source < 256; ++source) {
        for (int several = 0; several < 256; ++several) {
            auto command = Base();
            command[5] = static_cast<BYTE>(source);
            command[6] = static_cast<BYTE>(several);
            PushScanSettings s{};
            ASSERT_TRUE(DecodePushCommand(command.data(), 7, false, &s));
            const int expectedSource = source == 1 ? 1 : source == 3 || source == 5 ? 3 : 0;
            ASSERT_EQ(s.source, expectedSource) << source << " " << several;
            const int byte6 = source == 5 ? 1 : several;
            ASSERT_EQ(command[6], byte6) << "byte 6 becomes 1 only for source 5";
            ASSERT_EQ(s.multiPage, source == 1 || byte6 == 1 ? 1 : 0) << source << " " << several;
        }
    }
    auto command = Base();
    command[5] = 2;
    ClearLog();
    PushScanSettings s{};
    ASSERT_TRUE(DecodePushCommand(command.data(), 7, false, &s));
    EXPECT_TRUE(Logged(u"ScanSource error, default flatbed"));
    EXPECT_TRUE(Logged(u"single scan mode"));
}

TEST_F(PushCommandTest, PlatformOrcaReadsTheScanModeFromByteSevenAndIgnoresBytesFiveAndSix) {
    for (int mode = 0; mode < 256; ++mode) {
        auto command = Base();
        command[4] = 0; // TIFF
        command[5] = 1; // would be the feeder elsewhere
        command[6] = 1;
        command[7] = static_cast<BYTE>(mode);
        PushScanSettings s{};
        ASSERT_TRUE(DecodePushCommand(command.data(), 8, true, &s)) << mode;
        if (mode == 0) {
            EXPECT_EQ(s.source, 8);
            EXPECT_EQ(s.multiPage, 0);
            EXPECT_EQ(s.saveType, SaveTypeTiff);
        } else if (mode == 1) {
            EXPECT_EQ(s.source, 4);
            EXPECT_EQ(s.multiPage, 1);
            EXPECT_EQ(s.saveType, SaveTypePdf) << "several pages are always one PDF";
        } else {
            EXPECT_EQ(s.source, 0) << mode;
            EXPECT_EQ(s.multiPage, 0) << mode;
            EXPECT_EQ(s.saveType, SaveTypeTiff) << mode;
        }
    }
}

TEST_F(PushCommandTest, AShortBufferIsRefusedBeforeAnyByteIsRead) {
    auto command = Base();
    PushScanSettings s{};
    EXPECT_FALSE(DecodePushCommand(command.data(), 6, false, &s));
    EXPECT_FALSE(DecodePushCommand(command.data(), 7, true, &s)) << "PlatformOrca needs 8 bytes";
    EXPECT_FALSE(DecodePushCommand(nullptr, 7, false, &s));
    EXPECT_TRUE(DecodePushCommand(command.data(), 8, false, &s)) << "a longer buffer is fine";
}

TEST_F(PushCommandTest, TheCommandLengthIsEightOnlyOnPlatformOrca) {
    EXPECT_EQ(GetPushCommandLength(), 7);
    EXPECT_FALSE(Logged(u"nCmdLine = CMD_LINE_C"));
    g_bIsPlatformOrca = TRUE;
    EXPECT_EQ(GetPushCommandLength(), 8);
    EXPECT_TRUE(Logged(u"nCmdLine = CMD_LINE_C"));
}

TEST_F(PushCommandTest, EachCharacterBecomesItselfMinusZeroAndOnlyWhatDoesNotFitAByteIsRefused) {
    BYTE command[7] = {};
    ASSERT_TRUE(BuildPushCommandFromDigits(u"2102000", command, 7));
    const BYTE expected[7] = {'V', 2, 1, 0, 2, 0, 0};
    EXPECT_EQ(std::vector<BYTE>(command, command + 7), std::vector<BYTE>(expected, expected + 7));

    for (char16_t c = u'0'; c <= u'0' + 0xFF; ++c) {
        std::u16string digits = u"000000";
        digits[2] = c;
        ASSERT_TRUE(BuildPushCommandFromDigits(digits.c_str(), command, 7)) << static_cast<int>(c);
        ASSERT_EQ(command[3], c - u'0') << static_cast<int>(c);
    }
    // The paper codes above 9 as the device sends them: ':' is A6 (10) and '=' is A3 (13), not the whole flatbed.
    PushScanSettings s{};
    ASSERT_TRUE(BuildPushCommandFromDigits(u"22:0000", command, 7));
    ASSERT_TRUE(DecodePushCommand(command, 7, false, &s));
    EXPECT_EQ(s.width, 4961);
    EXPECT_EQ(s.height, 6992);
    ASSERT_TRUE(BuildPushCommandFromDigits(u"22=0000", command, 7));
    ASSERT_TRUE(DecodePushCommand(command, 7, false, &s));
    EXPECT_EQ(s.width, 14031);
    EXPECT_EQ(s.height, 19842);

    // Below '0', or beyond a byte: a command-line error, and nothing is built.
    for (char16_t c : {u'/', u' ', u'-', static_cast<char16_t>(u'0' + 0x100), u'\u4e00'}) {
        BYTE untouched[7] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
        std::u16string digits = u"000000";
        digits[4] = c;
        EXPECT_FALSE(BuildPushCommandFromDigits(digits.c_str(), untouched, 7)) << static_cast<int>(c);
        EXPECT_EQ(untouched[0], 0xAA) << static_cast<int>(c);
    }
    EXPECT_TRUE(Logged(u"CMD line error"));
}

TEST_F(PushCommandTest, DigitsShorterThanTheCommandAreACommandLineErrorAndLongerOnesAreCut) {
    BYTE command[8] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_FALSE(BuildPushCommandFromDigits(u"21020", command, 7));
    EXPECT_TRUE(Logged(u"CMD line error"));
    EXPECT_EQ(command[0], 0xAA) << "nothing is built from a short argument";
    EXPECT_FALSE(BuildPushCommandFromDigits(u"", command, 7));
    EXPECT_FALSE(BuildPushCommandFromDigits(nullptr, command, 7));
    EXPECT_FALSE(BuildPushCommandFromDigits(u"210200", command, 8)) << "PlatformOrca needs seven digits";

    ASSERT_TRUE(BuildPushCommandFromDigits(u"21020009999", command, 7));
    EXPECT_EQ(command[6], 0);
    EXPECT_EQ(command[7], 0xAA) << "only the command's own bytes are written";
}
