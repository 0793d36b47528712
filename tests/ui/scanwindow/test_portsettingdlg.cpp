// The port dialog against the simulated device's network discovery: the three ways to reach the scanner, the host
// field's filter, the connection test, a device that does not answer, and searches and tests that never end and
// are cancelled.
#include "ScanWindowTestSupport.h"

#include "tests/support/CheckBoxSides.h"
#include "ui/scanwindow/CPortSettingDlg.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {

using namespace scanwindow_test;
using namespace std::chrono_literals;

constexpr const char* kDevices = "net_device = KVX-7731-OFFICE 192.168.1.20\nnet_device = KVX-7731-LAB 10.0.0.7\n";

std::u16string ListItem(HWND dlg, int index) {
    WCHAR text[300] = {};
    SendDlgItemMessageW(dlg, CPortSettingDlg::IDC_FOUND_LIST, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}
int ListCount(HWND dlg) {
    return static_cast<int>(SendDlgItemMessageW(dlg, CPortSettingDlg::IDC_FOUND_LIST, CB_GETCOUNT, 0, 0));
}
int ListSelection(HWND dlg) {
    return static_cast<int>(SendDlgItemMessageW(dlg, CPortSettingDlg::IDC_FOUND_LIST, CB_GETCURSEL, 0, 0));
}
bool Enabled(HWND dlg, int id) {
    return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE;
}
bool Checked(HWND dlg, int id) {
    return IsDlgButtonChecked(dlg, id) == BST_CHECKED;
}

class PortDialogTest : public ScanWindowTestRoot {
protected:
    void SetUp() override {
        ScanWindowTestRoot::SetUp();
        HoldLanguageLibrary();
        ut::UseManualClock(true);
        ASSERT_EQ(g_LLD.LoadDriver(), 1);
        WriteControl(kDevices);
        std::memset(&m_record, 0, sizeof m_record);
    }
    void TearDown() override {
        WriteControl(""); // releases a network that was told never to answer
        std::this_thread::sleep_for(60ms);
        ScanWindowTestRoot::TearDown();
    }

    // Runs the dialog on `record`; `inside` drives it, and error boxes are recorded and closed.
    INT_PTR Run(PortSetting* record, const std::function<void(HWND)>& inside) {
        CPortSettingDlg dialog(record);
        m_onModal = [&](HWND dlg) {
            if (GetDlgItem(dlg, 10306)) {
                RecordAndClose(dlg);
                return;
            }
            ut::RunPendingMessages();
            ut::AdvanceClock(150); // the dialog's start timer
            ut::RunPendingMessages();
            inside(dlg);
            if (IsWindowVisible(dlg))
                EndDialog(dlg, IDCANCEL);
        };
        const INT_PTR result = dialog.DoModal();
        m_onModal = nullptr;
        return result;
    }
    static void Click(HWND dlg, int id) {
        ut::AdvanceClock(1000);
        ut::Click(GetDlgItem(dlg, id));
        ut::RunPendingMessages();
    }
    // Runs the dialog's messages until `done` holds or five seconds passed: the workers answer from their threads.
    static bool WaitFor(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < end) {
            ut::RunPendingMessages();
            if (done())
                return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }
    static bool Idle(HWND dlg) { return Enabled(dlg, IDOK); }

    PortSetting m_record{};
};

TEST_F(PortDialogTest, TheUsbPortIsTakenWithoutATest) {
    m_record.type = 2;
    std::strcpy(m_record.address, "10.0.0.7");
    EXPECT_EQ(Run(&m_record,
                  [&](HWND dlg) {
                      EXPECT_TRUE(Checked(dlg, CPortSettingDlg::IDC_HOST));
                      EXPECT_EQ(TextOf(GetDlgItem(dlg, CPortSettingDlg::IDC_HOST_EDIT)), u"10.0.0.7");
                      EXPECT_EQ(GetFocus(), GetDlgItem(dlg, CPortSettingDlg::IDC_HOST_EDIT)) << "the start timer";
                      Click(dlg, CPortSettingDlg::IDC_USB);
                      EXPECT_TRUE(Checked(dlg, CPortSettingDlg::IDC_USB));
                      EXPECT_FALSE(Checked(dlg, CPortSettingDlg::IDC_HOST));
                      EXPECT_FALSE(Enabled(dlg, CPortSettingDlg::IDC_REFRESH));
                      Click(dlg, IDOK);
                  }),
              IDOK);
    EXPECT_EQ(m_record.type, 0);
    EXPECT_STREQ(m_record.address, "10.0.0.7");
    EXPECT_TRUE(CallsOf("ScanDrv_DetectNetMFP").empty());
}

TEST_F(PortDialogTest, ChoosingTheFoundRadioSearchesAndAFoundScannerIsTestedAndTaken) {
    const INT_PTR result = Run(&m_record, [&](HWND dlg) {
        Click(dlg, CPortSettingDlg::IDC_FOUND);
        ASSERT_TRUE(WaitFor([&] { return Idle(dlg); }));
        ASSERT_EQ(ListCount(dlg), 2);
        EXPECT_EQ(ListItem(dlg, 0), u"KVX-7731-LAB") << "sorted";
        EXPECT_EQ(ListItem(dlg, 1), u"KVX-7731-OFFICE");
        EXPECT_EQ(ListSelection(dlg), 0);
        EXPECT_TRUE(Enabled(dlg, CPortSettingDlg::IDC_FOUND_LIST));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, CPortSettingDlg::IDC_SEARCHING)));
        SendDlgItemMessageW(dlg, CPortSettingDlg::IDC_FOUND_LIST, CB_SETCURSEL, 1, 0);
        Click(dlg, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(dlg); }));
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(m_record.type, 1);
    EXPECT_STREQ(m_record.name, "KVX-7731-OFFICE");
    const std::vector<std::string> broadcasts = CallsOf("ScanDrv_BroadcastMFP");
    ASSERT_EQ(broadcasts.size(), 2u) << "the count, then the names";
    const std::vector<std::string> tests = CallsOf("ScanDrv_DetectNetMFP");
    ASSERT_EQ(tests.size(), 1u);
    EXPECT_NE(tests[0].find("KVX-7731-OFFICE"), std::string::npos) << tests[0];
    EXPECT_NE(tests[0].find("-> 0"), std::string::npos);
}

TEST_F(PortDialogTest, WhileASearchRunsOnlyCancelIsUsableAndASlowNetworkIsWaitedFor) {
    WriteControl(std::string(kDevices) + "net_wait_ms = 300\n");
    Run(&m_record, [&](HWND dlg) {
        Click(dlg, CPortSettingDlg::IDC_FOUND);
        for (int id : std::initializer_list<int>{CPortSettingDlg::IDC_USB, CPortSettingDlg::IDC_FOUND,
                                                 CPortSettingDlg::IDC_HOST, CPortSettingDlg::IDC_REFRESH,
                                                 CPortSettingDlg::IDC_FOUND_LIST, CPortSettingDlg::IDC_HOST_EDIT, IDOK})
            EXPECT_FALSE(Enabled(dlg, id)) << "control " << id;
        EXPECT_TRUE(Enabled(dlg, IDCANCEL));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(dlg, CPortSettingDlg::IDC_SEARCHING)));
        ASSERT_TRUE(WaitFor([&] { return Idle(dlg); }));
        EXPECT_EQ(ListCount(dlg), 2);
        EXPECT_TRUE(Enabled(dlg, CPortSettingDlg::IDC_REFRESH));
    });
}

TEST_F(PortDialogTest, TheStoredScannerIsChosenAgainOrKeptWhenTheSearchMissesIt) {
    m_record.type = 1;
    std::strcpy(m_record.name, "KVX-7731-OFFICE");
    EXPECT_EQ(Run(&m_record,
                  [&](HWND dlg) {
                      EXPECT_EQ(ListCount(dlg), 1) << "the stored name stands in the list at first";
                      EXPECT_EQ(ListItem(dlg, 0), u"KVX-7731-OFFICE");
                      EXPECT_TRUE(Enabled(dlg, CPortSettingDlg::IDC_REFRESH));
                      Click(dlg, CPortSettingDlg::IDC_REFRESH);
                      ASSERT_TRUE(WaitFor([&] { return Idle(dlg); }));
                      EXPECT_EQ(ListSelection(dlg), 1) << "found again: chosen again";
                      Click(dlg, IDCANCEL);
                  }),
              IDCANCEL);

    std::strcpy(m_record.name, "KVX-7731-GONE");
    Run(&m_record, [&](HWND dlg) {
        Click(dlg, CPortSettingDlg::IDC_REFRESH);
        ASSERT_TRUE(WaitFor([&] { return Idle(dlg); }));
        EXPECT_EQ(ListSelection(dlg), 0);
        Click(dlg, IDCANCEL);
    });
    EXPECT_STREQ(m_record.name, "KVX-7731-GONE") << "a name merely not found is kept";
    EXPECT_EQ(m_record.type, 1);
}

TEST_F(PortDialogTest, TheHostFieldKeepsOnlyWhatAnAddressHolds) {
    Run(&m_record, [&](HWND dlg) {
        HWND edit = GetDlgItem(dlg, CPortSettingDlg::IDC_HOST_EDIT);
        SetFocus(edit);
        ut::RunPendingMessages();
        EXPECT_TRUE(Checked(dlg, CPortSettingDlg::IDC_HOST)) << "focus in the field chooses the host radio";
        EXPECT_FALSE(Checked(dlg, CPortSettingDlg::IDC_USB));
        ut::TypeText(u"10.0 .0.7");
        ut::RunPendingMessages();
        EXPECT_EQ(TextOf(edit), u"10.0.0.7") << "a typed blank goes at once";
        ut::TypeText(u"x");
        ut::RunPendingMessages();
        EXPECT_EQ(TextOf(edit), u"10.0.0.7x") << "typing goes on at the end";
        SetWindowTextW(edit, u"a.b.c.d.e");
        ut::RunPendingMessages();
        EXPECT_EQ(TextOf(edit), u"a.b.c.d") << "cut before the fourth dot";
        SetWindowTextW(edit, u"fe80::1%eth0/64_!");
        ut::RunPendingMessages();
        EXPECT_EQ(TextOf(edit), u"fe80::1%eth0/64");
        SetWindowTextW(edit, std::u16string(49, u'h').c_str());
        ut::RunPendingMessages();
        EXPECT_EQ(TextOf(edit), u"fe80::1%eth0/64") << "49 characters put the last text back";
        SetWindowTextW(edit, u"");
        ut::TypeText(std::u16string(50, u'k'));
        ut::RunPendingMessages();
        EXPECT_EQ(TextOf(edit).size(), 48u) << "the field takes 48 characters";
        const std::u16string before = TextOf(edit);
        ut::PressKey(VK_UP);
        ut::PressKey(VK_DOWN);
        ut::PressKey(VK_RETURN);
        ut::PressKey(VK_ESCAPE);
        ut::RunPendingMessages();
        EXPECT_TRUE(IsWindowVisible(dlg)) << "Enter and Escape do nothing";
        Click(dlg, IDOK);
        ASSERT_TRUE(WaitFor([&] { return Idle(dlg); }));
    });
    const std::vector<std::string> tests = CallsOf("ScanDrv_DetectNetMFP");
    ASSERT_EQ(tests.size(), 1u) << "48 characters are tested";
    EXPECT_NE(tests[0].find(std::string(48, 'k')), std::string::npos);
    EXPECT_EQ(m_modalTexts.size(), 1u) << "no such scanner";
}

TEST_F(PortDialogTest, AScannerThatDoesNotAnswerKeepsTheDialogOpenWithTheTypeChosen) {
    m_record.type = 0;
    std::strcpy(m_record.address, "old-host");
    const INT_PTR result = Run(&m_record, [&](HWND dlg) {
        HWND edit = GetDlgItem(dlg, CPortSettingDlg::IDC_HOST_EDIT);
        Click(dlg, CPortSettingDlg::IDC_HOST);
        SetWindowTextW(edit, u"  10.0.0.8 ");
        Click(dlg, IDOK);
        EXPECT_EQ(TextOf(edit), u"10.0.0.8") << "trimmed and written back";
        ASSERT_TRUE(WaitFor([&] { return !m_modalTexts.empty(); }));
        EXPECT_EQ(m_modalTexts.back(), std::u16string(LoadResString(1141)));
        EXPECT_TRUE(IsWindowVisible(dlg));
        EXPECT_EQ(m_record.type, 2) << "the type is set before the error is shown";
        EXPECT_FALSE(Enabled(dlg, CPortSettingDlg::IDC_REFRESH));
        EXPECT_TRUE(Enabled(dlg, IDOK));

        SetWindowTextW(edit, u"");
        Click(dlg, IDOK);
        EXPECT_EQ(GetFocus(), edit) << "an empty field is not tested";
        EXPECT_TRUE(Enabled(dlg, IDOK));
        Click(dlg, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_STREQ(m_record.address, "old-host");
    EXPECT_EQ(CallsOf("ScanDrv_DetectNetMFP").size(), 1u);
}

TEST_F(PortDialogTest, AHostThatAnswersIsTakenWithTheFoundNameAsItStands) {
    m_record.type = 2;
    const INT_PTR result = Run(&m_record, [&](HWND dlg) {
        SetWindowTextW(GetDlgItem(dlg, CPortSettingDlg::IDC_HOST_EDIT), u"192.168.1.20");
        Click(dlg, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(dlg); }));
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(m_record.type, 2);
    EXPECT_STREQ(m_record.address, "192.168.1.20");
    EXPECT_STREQ(m_record.name, "") << "the list was empty";
    EXPECT_TRUE(m_modalTexts.empty());
}

TEST_F(PortDialogTest, AHungSearchIsCancelledAndItsLateAnswerIsDropped) {
    WriteControl(std::string(kDevices) + "net_wait_ms = never\n");
    const auto start = std::chrono::steady_clock::now();
    const INT_PTR result = Run(&m_record, [&](HWND dlg) {
        Click(dlg, CPortSettingDlg::IDC_FOUND);
        std::this_thread::sleep_for(100ms);
        ut::RunPendingMessages();
        EXPECT_FALSE(Idle(dlg)) << "the network does not answer";

        EXPECT_TRUE(Enabled(dlg, IDCANCEL));
        Click(dlg, IDCANCEL);
        EXPECT_FALSE(IsWindowVisible(dlg));
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s)
        << "Cancel does not wait for the driver, which never answers";
    EXPECT_EQ(m_record.type, 0);

    // The network answers after all: the worker finishes and finds nobody to tell.
    WriteControl(kDevices);
    EXPECT_TRUE(WaitFor([&] { return CallsOf("ScanDrv_BroadcastMFP").size() == 2; }));
    ut::RunPendingMessages();
}

TEST_F(PortDialogTest, AHungTestIsCancelledAndTheRecordStaysAsItWas) {
    WriteControl(std::string(kDevices) + "net_wait_ms = never\n");
    m_record.type = 0;
    const INT_PTR result = Run(&m_record, [&](HWND dlg) {
        Click(dlg, CPortSettingDlg::IDC_HOST);
        SetWindowTextW(GetDlgItem(dlg, CPortSettingDlg::IDC_HOST_EDIT), u"10.0.0.7");
        Click(dlg, IDOK);
        EXPECT_FALSE(Idle(dlg));
        Click(dlg, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(m_record.type, 0);
    EXPECT_STREQ(m_record.address, "");
    WriteControl(kDevices);
    EXPECT_TRUE(WaitFor([&] { return CallsOf("ScanDrv_DetectNetMFP").size() == 1; }));
    EXPECT_TRUE(m_modalTexts.empty()) << "the late answer shows nothing";
}

TEST_F(PortDialogTest, ALongFoundNameIsKeptWithinItsField) {
    const std::string name(255, 'n');
    WriteControl("net_device = " + name + " 10.1.1.1\n");
    Run(&m_record, [&](HWND dlg) {
        Click(dlg, CPortSettingDlg::IDC_FOUND);
        ASSERT_TRUE(WaitFor([&] { return Idle(dlg); }));
        Click(dlg, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(dlg); }));
    });
    EXPECT_EQ(std::string(m_record.name, strnlen(m_record.name, sizeof m_record.name)), name);
    EXPECT_EQ(m_record.name[255], 0);
}

TEST_F(PortDialogTest, WithoutARecordNothingIsTouched) {
    Run(nullptr, [&](HWND dlg) {
        Click(dlg, IDOK);
        EXPECT_TRUE(IsWindowVisible(dlg));
        Click(dlg, IDCANCEL);
    });
    EXPECT_TRUE(CallsOf("ScanDrv_DetectNetMFP").empty());
    EXPECT_TRUE(CallsOf("ScanDrv_BroadcastMFP").empty());
}

struct Language {
    const WCHAR* registryName;
    const char* code;
};
void PrintTo(const Language& language, std::ostream* out) {
    *out << language.code;
}

class PortLookTest : public PortDialogTest, public ::testing::WithParamInterface<Language> {
protected:
    void SetUp() override {
        ScanWindowTestRoot::SetUp();
        SetLanguage(GetParam().registryName);
        HoldLanguageLibrary();
        ut::UseManualClock(true);
        ASSERT_EQ(g_LLD.LoadDriver(), 1);
        WriteControl(kDevices);
    }
};

TEST_P(PortLookTest, EveryTextFromTheLanguageAndHebrewMirrored) {
    m_record.type = 1;
    std::strcpy(m_record.name, "KVX-7731-LAB");
    std::strcpy(m_record.address, "192.168.1.20");
    Run(&m_record, [&](HWND dlg) {
        const std::pair<int, UINT> texts[] = {{CPortSettingDlg::IDC_USB, 1181},
                                              {CPortSettingDlg::IDC_FOUND, 1182},
                                              {CPortSettingDlg::IDC_REFRESH, 1183},
                                              {CPortSettingDlg::IDC_HOST, 1184},
                                              {CPortSettingDlg::IDC_SEARCHING, 1185},
                                              {IDOK, 1090},
                                              {IDCANCEL, 1092}};
        EXPECT_EQ(TextOf(dlg), std::u16string(LoadResString(1180)));
        for (const auto& [id, string] : texts)
            EXPECT_EQ(TextOf(GetDlgItem(dlg, id)), std::u16string(LoadResString(string))) << "control " << id;
        RECT usb{}, ok{};
        GetWindowRect(GetDlgItem(dlg, CPortSettingDlg::IDC_USB), &usb);
        GetWindowRect(GetDlgItem(dlg, IDOK), &ok);
        RECT window{};
        GetWindowRect(dlg, &window);
        const bool okOnTheLeft = ok.left - window.left < window.right - ok.right;
        EXPECT_EQ(okOnTheLeft, g_bHebrew != FALSE) << "the buttons change sides in Hebrew";
        for (int id : {CPortSettingDlg::IDC_USB, CPortSettingDlg::IDC_FOUND, CPortSettingDlg::IDC_HOST})
            EXPECT_TRUE(testsupport::BoxOnReadingSide(GetDlgItem(dlg, id), g_bHebrew != FALSE)) << "radio " << id;
        ut::SaveWindowPng(dlg, SnapshotPath(std::string("port_") + GetParam().code).c_str());
        for (const ut::TextOverflow& overflow : ut::CheckTextFit(dlg).overflows)
            ADD_FAILURE() << ut::DescribeOverflow(overflow);
        WriteControl(std::string(kDevices) + "net_wait_ms = 300\n");
        Click(dlg, CPortSettingDlg::IDC_REFRESH);
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(dlg, CPortSettingDlg::IDC_SEARCHING)));
        ut::SaveWindowPng(dlg, SnapshotPath(std::string("port_searching_") + GetParam().code).c_str());
        for (const ut::TextOverflow& overflow : ut::CheckTextFit(dlg).overflows)
            ADD_FAILURE() << "searching: " << ut::DescribeOverflow(overflow);
        ASSERT_TRUE(WaitFor([&] { return Idle(dlg); }));
        Click(dlg, IDCANCEL);
    });
}

INSTANTIATE_TEST_SUITE_P(Languages, PortLookTest,
                         ::testing::Values(Language{u"English", "enus"}, Language{u"Simplified_Chinese", "zhcn"},
                                           Language{u"Hebrew", "he"}, Language{u"Japanese", "ja"},
                                           Language{u"Russian", "ru"}, Language{u"Portuguese", "pt"},
                                           Language{u"Spanish", "esmx"}, Language{u"French", "fr"},
                                           Language{u"Polish", "pl"}, Language{u"German", "de"},
                                           Language{u"Italian", "it"}, Language{u"Arabic", "ar"},
                                           Language{u"Turkish", "tr"}, Language{u"Norwegian", "no"},
                                           Language{u"Swedish", "sv"}, Language{u"Traditional_Chinese", "zhtw"}),
                         [](const ::testing::TestParamInfo<Language>& info) { return std::string(info.param.code); });

TEST_F(PortDialogTest, TheRecordIsTheHeadOfTheSettings) {
    ScanParam param{};
    param.portType = 2;
    std::strcpy(param.szFoundAddress, "found");
    std::strcpy(param.szHostAddress, "host");
    param.source = 7;
    PortSetting port = GetPortSetting(param);
    EXPECT_EQ(port.type, 2);
    EXPECT_STREQ(port.name, "found");
    EXPECT_STREQ(port.address, "host");
    port.type = 1;
    std::strcpy(port.address, "other");
    SetPortSetting(param, port);
    EXPECT_EQ(param.portType, 1);
    EXPECT_STREQ(param.szHostAddress, "other");
    EXPECT_EQ(param.source, 7);
}

} // namespace
