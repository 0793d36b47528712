// The gamma and threshold dialog: what it shows of the settings, sliders and edits reaching the settings and the
// preview, Reset, which controls the colour mode enables, and how it closes.
#include "AdjustTestHost.h"

#include "settings/PlatformFlags.h"
#include "ui/dialogs/CCGammaThresholdDlg.h"

namespace {

using namespace adjust_test;

constexpr int kGammaSlider = 10287, kThresholdSlider = 10236, kGammaEdit = 10042, kThresholdEdit = 10043;
constexpr int kReset = 10146, kClose = 10284;

// A grey ramp from left to right: 0 at x = 0, 255 at x = 255.
unsigned Ramp(int x, int) {
    const unsigned v = static_cast<unsigned>(x);
    return (v << 16) | (v << 8) | v;
}

class GammaThresholdTest : public AdjustTest {
protected:
    void SetUp() override {
        AdjustTest::SetUp();
        window.SetPreview(256, 4, Ramp);
        window.refreshed = 0;
    }
    void TearDown() override {
        g_bIsPlatformWren = FALSE;
        AdjustTest::TearDown();
    }
    // The slider moved one step with the keyboard, as the user does.
    static void Step(HWND dlg, int id, WPARAM key) {
        SetFocus(GetDlgItem(dlg, id));
        ut::PressKey(key);
        ut::RunPendingMessages();
    }
};

TEST_F(GammaThresholdTest, ShowsTheStoredValuesAndTheLanguagesTexts) {
    window.param.adv[12] = 25;
    window.param.adv[13] = 100;
    window.param.colorMode = 0;
    CCGammaThresholdDlg dlg(window);
    Run(dlg, [&](HWND hwnd) {
        EXPECT_EQ(SliderPos(hwnd, kGammaSlider), 25);
        EXPECT_EQ(SliderPos(hwnd, kThresholdSlider), 100);
        EXPECT_EQ(ItemText(hwnd, kGammaEdit), u"2.5");
        EXPECT_EQ(ItemText(hwnd, kThresholdEdit), u"100");
        EXPECT_EQ(SendMessageW(GetDlgItem(hwnd, kGammaSlider), TBM_GETRANGEMIN, 0, 0), 1);
        EXPECT_EQ(SendMessageW(GetDlgItem(hwnd, kGammaSlider), TBM_GETRANGEMAX, 0, 0), 99);
        EXPECT_EQ(SendMessageW(GetDlgItem(hwnd, kThresholdSlider), TBM_GETRANGEMAX, 0, 0), 255);
        EXPECT_EQ(SendMessageW(GetDlgItem(hwnd, kGammaEdit), EM_GETLIMITTEXT, 0, 0), 3);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, kThresholdSlider))) << "black and white: threshold enabled";
        if (HaveStrings()) {
            EXPECT_EQ(TextOf(hwnd), std::u16string(LoadResString(1064)));
            EXPECT_EQ(ItemText(hwnd, kReset), std::u16string(LoadResString(1074)));
            EXPECT_EQ(ItemText(hwnd, kClose), std::u16string(LoadResString(1017)));
            EXPECT_EQ(ItemText(hwnd, 10198), std::u16string(LoadResString(1075)));
            EXPECT_EQ(ItemText(hwnd, 10200), std::u16string(LoadResString(1076)));
        }
    });
    EXPECT_EQ(window.modified, 0) << "opening changes nothing";
    EXPECT_EQ(window.refreshed, 0);
}

// The range ends of the gamma slider read with the same separator as the value beside them.
TEST_F(GammaThresholdTest, TheGammaRangeUsesTheLanguagesDecimalSeparator) {
    for (const Language& language : {kEnglish, Language{"de", 8}, Language{"fr", 6}}) {
        UseLanguage(language);
        window.param.adv[12] = 18;
        CCGammaThresholdDlg dlg(window);
        Run(dlg, [&](HWND hwnd) {
            const std::u16string sep(1, g_chDecimalSep);
            EXPECT_EQ(ItemText(hwnd, kGammaEdit), u"1" + sep + u"8") << language.code;
            EXPECT_EQ(ItemText(hwnd, 10316), u"0" + sep + u"1") << language.code << ": the low end";
            EXPECT_EQ(ItemText(hwnd, 10317), u"9" + sep + u"9") << language.code << ": the high end";
        });
    }
}

TEST_F(GammaThresholdTest, ThresholdControlsAreEnabledOnlyInBlackAndWhite) {
    for (int mode : {2, 1, 0}) {
        window.param.colorMode = mode;
        CCGammaThresholdDlg dlg(window);
        Run(dlg, [&](HWND hwnd) {
            for (int id : {kThresholdSlider, kThresholdEdit, 10200, 10318, 10319})
                EXPECT_EQ(IsWindowEnabled(GetDlgItem(hwnd, id)) != FALSE, mode == 0) << "mode " << mode << " id " << id;
            for (int id : {kGammaSlider, kGammaEdit, 10198, 10316, 10317})
                EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, id))) << "gamma is always enabled, id " << id;
        });
    }
}

TEST_F(GammaThresholdTest, TheGammaSliderChangesTheSettingAndThePreview) {
    const unsigned before = window.Pixel(64, 0);
    CCGammaThresholdDlg dlg(window);
    Run(dlg, [&](HWND hwnd) {
        Step(hwnd, kGammaSlider, VK_RIGHT);
        EXPECT_EQ(window.param.adv[12], 19);
        EXPECT_EQ(ItemText(hwnd, kGammaEdit), u"1.9") << "the edit follows the slider";
        EXPECT_EQ(window.modified, 1);
        EXPECT_EQ(window.refreshed, 1);
        EXPECT_GT(window.Pixel(64, 0) & 0xFF, before & 0xFF) << "a higher gamma lightens the mid-tones";
        Step(hwnd, kGammaSlider, VK_LEFT);
        EXPECT_EQ(window.param.adv[12], 18);
        EXPECT_EQ(window.Pixel(64, 0), before) << "back at 1.8 the preview is as before";
        // A drag that ends where it started changes nothing.
        SendMessageW(hwnd, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0),
                     reinterpret_cast<LPARAM>(GetDlgItem(hwnd, kGammaSlider)));
        EXPECT_EQ(window.modified, 2);
        EXPECT_EQ(window.refreshed, 2);
    });
}

TEST_F(GammaThresholdTest, TypedValuesReachTheSettingTheSliderAndThePreview) {
    window.param.colorMode = 0;
    window.Render();
    EXPECT_EQ(window.Pixel(71, 0), 0x000000U) << "below the threshold 72: black";
    EXPECT_EQ(window.Pixel(72, 0), 0xFFFFFFU);
    CCGammaThresholdDlg dlg(window);
    Run(dlg, [&](HWND hwnd) {
        TypeAndEnter(hwnd, kThresholdEdit, u"100");
        EXPECT_EQ(window.param.adv[13], 100);
        EXPECT_EQ(SliderPos(hwnd, kThresholdSlider), 100);
        EXPECT_EQ(window.Pixel(72, 0), 0x000000U) << "the preview thresholds at 100 now";
        EXPECT_EQ(window.Pixel(100, 0), 0xFFFFFFU);
        TypeAndEnter(hwnd, kGammaEdit, u"1.25");
        EXPECT_EQ(window.param.adv[12], 12) << "1.25 x 10 + 0.0005, truncated";
        EXPECT_EQ(SliderPos(hwnd, kGammaSlider), 12);
        TypeAndEnter(hwnd, kGammaEdit, u"1.8");
        EXPECT_EQ(window.param.adv[12], 18);
        TypeAndEnter(hwnd, kThresholdEdit, u"256");
        EXPECT_EQ(window.param.adv[13], 100) << "out of range is refused";
    });
    EXPECT_EQ(m_boxes.size(), 1U);
    EXPECT_EQ(window.modified, 3);
}

TEST_F(GammaThresholdTest, AGammaTypedWithACommaIsReadWithTheComma) {
    g_chDecimalSep = u',';
    CCGammaThresholdDlg dlg(window);
    Run(dlg, [&](HWND hwnd) {
        EXPECT_EQ(ItemText(hwnd, kGammaEdit), u"1,8");
        TypeAndEnter(hwnd, kGammaEdit, u"1,5");
        EXPECT_EQ(window.param.adv[12], 15) << "\"1,5\" is 15, not 10";
        EXPECT_EQ(SliderPos(hwnd, kGammaSlider), 15);
    });
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(GammaThresholdTest, ResetRestoresTheDefaultsEvenForADisabledThreshold) {
    const unsigned original = window.Pixel(64, 0);
    window.param.adv[12] = 30;
    window.param.adv[13] = 150;
    window.Render();
    ASSERT_NE(window.Pixel(64, 0), original);
    CCGammaThresholdDlg dlg(window);
    Run(dlg, [&](HWND hwnd) {
        ut::Click(GetDlgItem(hwnd, kReset));
        ut::RunPendingMessages();
        EXPECT_EQ(window.param.adv[12], 18);
        EXPECT_EQ(window.param.adv[13], 72) << "reset in colour mode too";
        EXPECT_EQ(window.modified, 1);
        EXPECT_EQ(window.Pixel(64, 0), original) << "the preview is back as it was";
        EXPECT_EQ(ItemText(hwnd, kGammaEdit), u"1.8");
        EXPECT_EQ(ItemText(hwnd, kThresholdEdit), u"72");
        EXPECT_EQ(SliderPos(hwnd, kThresholdSlider), 72);
        Press(hwnd, kReset);
        ut::RunPendingMessages();
        EXPECT_EQ(window.modified, 1) << "resetting the defaults again changes nothing";
    });
    g_bIsPlatformWren = TRUE;
    CCGammaThresholdDlg wren(window);
    Run(wren, [&](HWND hwnd) {
        ut::Click(GetDlgItem(hwnd, kReset));
        ut::RunPendingMessages();
        EXPECT_EQ(window.param.adv[12], 10) << "the Wren platform's defaults";
        EXPECT_EQ(window.param.adv[13], 183);
    });
}

TEST_F(GammaThresholdTest, EscapeAndEnterInAFieldLeaveItOpenTheCloseButtonAndBoxEndIt) {
    CCGammaThresholdDlg dlg(window);
    bool open = false;
    const INT_PTR result = Run(dlg, [&](HWND hwnd) {
        SetFocus(GetDlgItem(hwnd, kGammaSlider));
        ut::PressKey(VK_ESCAPE);
        SetFocus(GetDlgItem(hwnd, kGammaEdit));
        ut::PressKey(VK_RETURN);
        ut::RunPendingMessages();
        open = IsWindowVisible(hwnd) != FALSE;
    });
    EXPECT_TRUE(open);
    EXPECT_EQ(result, IDOK) << "the close box";
    EXPECT_EQ(window.modified, 0);

    for (bool byMouse : {true, false}) {
        CCGammaThresholdDlg again(window);
        ut::SetModalInterceptor([byMouse](HWND hwnd) {
            ut::RunPendingMessages();
            if (byMouse) {
                ut::Click(GetDlgItem(hwnd, kClose));
            } else { // Enter outside the fields presses the default button, Close
                SetFocus(GetDlgItem(hwnd, kGammaSlider));
                ut::PressKey(VK_RETURN);
            }
            ut::RunPendingMessages();
            if (IsWindowVisible(hwnd))
                EndDialog(hwnd, IDCANCEL); // still open: the test fails rather than waits
        });
        EXPECT_EQ(again.DoModal(), IDOK) << (byMouse ? "the Close button" : "Enter on a slider");
    }
}

TEST_F(GammaThresholdTest, Snapshots) {
    for (const Language& language : kLanguages) {
        UseLanguage(language);
        window.param.colorMode = 0;
        CCGammaThresholdDlg dlg(window);
        Run(dlg, [&](HWND hwnd) {
            Snapshot(hwnd, "gamma");
            if (g_bHebrew) {
                RECT edit{}, slider{};
                GetWindowRect(GetDlgItem(hwnd, kGammaEdit), &edit);
                GetWindowRect(GetDlgItem(hwnd, kGammaSlider), &slider);
                EXPECT_LT(edit.right, slider.left) << "mirrored: the edit stands left of its slider";
                RECT low{}, high{};
                GetWindowRect(GetDlgItem(hwnd, 10316), &low);
                GetWindowRect(GetDlgItem(hwnd, 10317), &high);
                EXPECT_LT(low.left, high.left) << "but the slider still grows to the right, under its end labels";
                EXPECT_LE(slider.left, low.left);
            }
        });
    }
}

} // namespace
