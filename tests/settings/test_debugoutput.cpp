// The debug channel: cut lines, last-error lines, and the "kvxTWAINtest" switch.
#include "settings/DebugOutput.h"

#include "SettingsTestRoot.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

class DebugOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::debug::SetSink([this](std::u16string_view line) { m_log.emplace_back(line); });
    }
    void TearDown() override {
        platform::debug::SetSink({});
        unsetenv("kvxTWAINtest");
    }
    std::vector<std::u16string> m_log;
};

TEST_F(DebugOutputTest, LongLinesAreCutNotRefused) {
    std::u16string longText(400, u'w');
    DebugPrint(u"<%s>", longText.c_str());
    ASSERT_EQ(m_log.size(), 1u);
    EXPECT_EQ(m_log[0].size(), 255u);
    EXPECT_EQ(m_log[0].substr(0, 3), u"<ww");

    std::string narrow(400, 'n');
    DebugPrintA("%s", narrow.c_str());
    ASSERT_EQ(m_log.size(), 2u);
    EXPECT_EQ(m_log[1].size(), 255u);
}

TEST_F(DebugOutputTest, FormatsAsTheWindowsFunctionsDo) {
    DebugPrint(u"g_LangugueID == %d", 21);
    DebugPrintA("%s:%d", "label", 7);
    EXPECT_EQ(m_log, (std::vector<std::u16string>{u"g_LangugueID == 21", u"label:7"}));
}

TEST_F(DebugOutputTest, LastErrorLinesNameTheFailureCodeAndMessage) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    LogLastError(u"Wait error");
    ASSERT_EQ(m_log.size(), 1u);
    EXPECT_EQ(m_log[0].rfind(u"Wait error failed with error 2: ", 0), 0u)
        << std::string(m_log[0].begin(), m_log[0].end());
    EXPECT_GT(m_log[0].size(), std::u16string(u"Wait error failed with error 2: ").size()) << "with the message";
}

TEST_F(DebugOutputTest, AnErrorWithoutSystemMessageStillLogs) {
    SetLastError(0x2FFFFFFF);
    LogLastError(u"Odd");
    ASSERT_EQ(m_log.size(), 1u);
    EXPECT_EQ(m_log[0].rfind(u"Odd failed with error 805306367: ", 0), 0u);
}

TEST_F(DebugOutputTest, TheSwitchNeedsExactlyOneCharacter) {
    int one = -1, ten = -1, unset = -1;
    setenv("kvxTWAINtest", "1", 1);
    DebugSwitchLine(one, "pending", 1);
    setenv("kvxTWAINtest", "10", 1);
    DebugSwitchLine(ten, "pending", 2);
    unsetenv("kvxTWAINtest");
    DebugSwitchLine(unset, "pending", 3);
    EXPECT_EQ(m_log, (std::vector<std::u16string>{u"pending:1"}));
}

TEST_F(DebugOutputTest, EachSiteReadsTheSwitchOnce) {
    int site = -1;
    setenv("kvxTWAINtest", "x", 1);
    EXPECT_TRUE(IsDebugSwitchOn(site));
    unsetenv("kvxTWAINtest");
    EXPECT_TRUE(IsDebugSwitchOn(site)) << "fixed for the life of the process";
    int other = -1;
    EXPECT_FALSE(IsDebugSwitchOn(other));
}

} // namespace
