// The host-application flags set at MSG_OPENDS from the host program's name, and the single connection.

#include "TwainTestSupport.h"

#include "twain/CDsAssistor.h"
#include "twain/HostFlags.h"

#include <memory>

namespace {

class HostFlagsTest : public TwainTestRoot {
protected:
    // Connects as the given host program and disconnects again; answers ConnectApp's result.
    TW_UINT16 ConnectAs(const WCHAR* hostProgram) {
        platform::testing::SetHostProgramName(hostProgram);
        TW_IDENTITY app = MakeAppIdentity(21);
        TW_IDENTITY ds = m_assistor->GetDsIdentity();
        ds.Id = 4;
        TwainCall call{&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds};
        TW_UINT16 result = m_assistor->ConnectApp(&call);
        m_assistor->CloseDS();
        return result;
    }
    void SetUp() override {
        TwainTestRoot::SetUp();
        m_assistor = std::make_unique<CDsAssistor>();
    }
    void TearDown() override {
        m_assistor.reset();
        TwainTestRoot::TearDown();
    }
    std::unique_ptr<CDsAssistor> m_assistor;
};

TEST_F(HostFlagsTest, NamesAreUpperCasedBeforeTheyAreCompared) {
    ASSERT_EQ(ConnectAs(u"excel.exe"), TWRC_SUCCESS);
    EXPECT_TRUE(g_bHostOffice);
    EXPECT_TRUE(g_bHostWordExcelStore);
    EXPECT_FALSE(g_bHostPhotoshop);

    ConnectAs(u"MsPScan.exe");
    EXPECT_TRUE(g_bHostMsPhotoScan);
    EXPECT_FALSE(g_bHostWordExcelStore);
    EXPECT_TRUE(g_bHostOffice) << "the Office flag is only ever set";

    ConnectAs(u"C:\\Program Files\\Other\\mspview.exe");
    EXPECT_TRUE(g_bHostMsPhotoScan);
    ConnectAs(u"PhotoStudio.exe");
    EXPECT_TRUE(g_bHostAcdsee10);
    EXPECT_FALSE(g_bHostMsPhotoScan);
    ConnectAs(u"IEDIT_.DAT");
    EXPECT_TRUE(g_bHostIedit);
    EXPECT_FALSE(g_bHostIeditExe);
    ConnectAs(u"iedit_.exe");
    EXPECT_FALSE(g_bHostIedit);
    EXPECT_TRUE(g_bHostIeditExe);
}

TEST_F(HostFlagsTest, EachSpecialHostIsKnownByItsProgramName) {
    ConnectAs(u"IEDIT.EXE");
    EXPECT_TRUE(g_bHostIedit);
    EXPECT_FALSE(g_bHostIeditExe);
    ConnectAs(u"MSPVIEW.EXE");
    EXPECT_TRUE(g_bHostMsPhotoScan);
    ConnectAs(u"MSPSCAN.EXE");
    EXPECT_TRUE(g_bHostMsPhotoScan);
    ConnectAs(u"MSPSCAN2.EXE");
    EXPECT_FALSE(g_bHostMsPhotoScan) << "names are compared whole";
    g_bHostTwainClientU = FALSE;
    ConnectAs(u"TWAINCLIENT.EXE");
    EXPECT_FALSE(g_bHostTwainClientU);
    ConnectAs(u"twainclientu.exe");
    EXPECT_TRUE(g_bHostTwainClientU);
    ConnectAs(u"OTHER.EXE");
    EXPECT_TRUE(g_bHostTwainClientU) << "that flag is only ever set";
    g_bHostTwainClientU = FALSE;
}

TEST_F(HostFlagsTest, PhotoshopFolderDecidesTheVersionFlags) {
    ConnectAs(u"C:\\Program Files\\Adobe\\Photoshop cs2\\photoshop.exe");
    EXPECT_TRUE(g_bHostPhotoshop);
    EXPECT_TRUE(g_bHostPhotoshopCS2) << "folder names are compared without regard to case";
    EXPECT_TRUE(g_bHostPhotoshopNotCS4);

    ConnectAs(u"C:\\Program Files\\Adobe\\Adobe Photoshop CS4\\Photoshop.exe");
    EXPECT_TRUE(g_bHostPhotoshop);
    EXPECT_FALSE(g_bHostPhotoshopCS2);
    EXPECT_FALSE(g_bHostPhotoshopNotCS4);

    // Only the folder that holds the program counts, not folders above it.
    ConnectAs(u"C:\\CS2 tools\\Photoshop 7\\Photoshop.exe");
    EXPECT_FALSE(g_bHostPhotoshopCS2);

    ConnectAs(u"notepad.exe");
    EXPECT_FALSE(g_bHostPhotoshop);
    EXPECT_FALSE(g_bHostPhotoshopNotCS4);
}

TEST_F(HostFlagsTest, SomeFlagsAreOnlyEverSet) {
    ConnectAs(u"TwainClientU.exe");
    EXPECT_TRUE(g_bHostTwainClient);
    EXPECT_TRUE(g_bHostTwainClientU);
    ConnectAs(u"Acrobat.exe");
    EXPECT_TRUE(g_bHostAcrobat);
    ConnectAs(u"notepad.exe");
    EXPECT_FALSE(g_bHostTwainClient);
    EXPECT_TRUE(g_bHostTwainClientU);
    EXPECT_TRUE(g_bHostAcrobat);

    ConnectAs(u"WINWORD.EXE");
    CDsAssistor another;
    EXPECT_FALSE(g_bHostOffice) << "a new assistor starts without the Office flag";
}

TEST_F(HostFlagsTest, SecondConnectionIsRefusedAndChangesNothing) {
    TW_IDENTITY app = MakeAppIdentity(21);
    TW_IDENTITY ds = m_assistor->GetDsIdentity();
    ds.Id = 4;
    TwainCall call{&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds};
    ASSERT_EQ(m_assistor->ConnectApp(&call), TWRC_SUCCESS);
    EXPECT_EQ(m_assistor->GetAppId(), 21u);
    EXPECT_EQ(+m_assistor->GetDsIdentity().Id, 4u);

    TW_IDENTITY intruder = MakeAppIdentity(22);
    TW_IDENTITY otherDs = ds;
    otherDs.Id = 5;
    TwainCall second{&intruder, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &otherDs};
    EXPECT_EQ(m_assistor->ConnectApp(&second), TWRC_FAILURE);
    EXPECT_EQ(m_assistor->GetConditionCode(), TWCC_MAXCONNECTIONS);
    EXPECT_EQ(m_assistor->GetAppId(), 21u);
    EXPECT_EQ(+m_assistor->GetDsIdentity().Id, 4u);

    EXPECT_EQ(m_assistor->CloseDS(), TWRC_SUCCESS);
    EXPECT_EQ(m_assistor->GetAppId(), 0u);
    EXPECT_EQ(m_assistor->GetState(), 300);
}

TEST_F(HostFlagsTest, EveryHostSeesTheSameProductName) {
    // Photo-scanning hosts get the same identity as every other host.
    platform::testing::SetHostProgramName(u"MSPSCAN.EXE");
    CDsAssistor assistor;
    TW_IDENTITY app = MakeAppIdentity(21);
    TW_IDENTITY identity{};
    TwainCall call{&app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity};
    ASSERT_EQ(assistor.GetDsIdInfo(&call), TWRC_SUCCESS);
    EXPECT_STREQ(identity.ProductName, m_assistor->GetDsIdentity().ProductName);
    EXPECT_EQ(std::string(identity.ProductName).size() >= 6, true);
}

} // namespace
