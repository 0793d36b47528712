// What the adjustment dialog tests share beyond the dialog tests' root: a stand-in for the scanning window (its
// settings, its counters of "modified" and "render again", and a preview rendered through the real image-effect
// library) and the moves the tests make on the dialogs' controls.
#pragma once

#include "DialogTest.h"

#include "imaging/CEffectLibrary.h"
#include "imaging/CImage.h"
#include "platform/user/afxwin.h"
#include "platform/user/commctrl.h"
#include "platform/user/testing.h"
#include "settings/CompanionNames.h"
#include "ui/dialogs/CAdjustmentOwner.h"

#include <cstring>
#include <string>
#include <string_view>

namespace adjust_test {

using namespace dialogs_test;

// The scanning window as the dialogs see it. The preview is rendered as the window does: the raw picture copied
// into the display picture, then the preview effects of the current settings.
class FakeWindow : public CAdjustmentOwner {
public:
    ScanParam param{};
    int modified = 0;
    int refreshed = 0;
    bool hasPreview = false;
    CImage raw;
    CImage display;

    FakeWindow() {
        param.colorMode = 2;
        param.adv[12] = 18;
        param.adv[13] = 72;
    }

    ScanParam& GetAdjustedScanParam() override { return param; }
    void MarkSettingModified() override { ++modified; }
    void RefreshPreviewImage() override {
        ++refreshed;
        Render();
    }
    CImage* GetDisplayImage() override { return hasPreview ? &display : nullptr; }

    // A preview of width x height pixels whose pixel (x, y) is colour(x, y) (0x00RRGGBB).
    void SetPreview(int width, int height, const std::function<unsigned(int, int)>& colour) {
        raw.Create(3, 8, width, height, 75, 75);
        display.Create(3, 8, width, height, 75, 75);
        BYTE* bits = raw.GetBits();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned c = colour(x, y);
                BYTE* p = bits + (static_cast<size_t>(y) * width + x) * 3;
                p[0] = static_cast<BYTE>(c >> 16);
                p[1] = static_cast<BYTE>(c >> 8);
                p[2] = static_cast<BYTE>(c);
            }
        hasPreview = true;
        Render();
    }
    // The display picture is the raw one, with no effect at all (the descreen filter of every preview included).
    void ShowRaw() {
        if (hasPreview)
            std::memcpy(display.GetBits(), raw.GetBits(), static_cast<size_t>(raw.GetWidth()) * 3 * raw.GetHeight());
    }
    void Render() {
        if (!hasPreview)
            return;
        const int width = raw.GetWidth(), height = raw.GetHeight();
        ShowRaw();
        CEffectLibrary effects;
        if (effects.IsLoaded())
            effects.ApplyPreviewEffects({height, width * 3, width, 24}, display.GetBits(), param);
    }
    // The display pixel as 0x00RRGGBB.
    unsigned Pixel(int x, int y) {
        const BYTE* p = display.GetBits() + (static_cast<size_t>(y) * display.GetWidth() + x) * 3;
        return (unsigned(p[0]) << 16) | (unsigned(p[1]) << 8) | p[2];
    }
};

// The button's click as its dialog receives it (two real clicks in a row would make a double click, which skinned
// buttons ignore).
inline void Press(HWND dlg, int id) {
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
    ut::RunPendingMessages();
}

// Item `index` of combo box `combo` chosen as the user chooses it (-1: none), with the notification it sends.
inline void SelectItem(HWND dlg, int combo, int index) {
    SendMessageW(GetDlgItem(dlg, combo), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(combo, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(dlg, combo)));
    ut::RunPendingMessages();
}

// The edit's text replaced by `text` (as typed or pasted) and Enter pressed in it.
inline void TypeAndEnter(HWND dlg, int id, std::u16string_view text) {
    SetFocus(GetDlgItem(dlg, id));
    SetWindowTextW(GetDlgItem(dlg, id), std::u16string(text).c_str());
    ut::PressKey(VK_RETURN);
    ut::RunPendingMessages();
}

inline int SliderPos(HWND dlg, int id) {
    return static_cast<int>(SendMessageW(GetDlgItem(dlg, id), TBM_GETPOS, 0, 0));
}

// The dialog tests' root with the real effect library beside the test program and the stand-in window.
class AdjustTest : public DialogTest {
protected:
    WCHAR savedEffectName[MAX_PATH] = {};
    FakeWindow window;

    void SetUp() override {
        DialogTest::SetUp();
        wcscpy_s(savedEffectName, g_szEffectLibName);
        wcscpy_s(g_szEffectLibName, MAX_PATH, EFFECTS_LIBRARY_NAME);
    }
    void TearDown() override {
        wcscpy_s(g_szEffectLibName, MAX_PATH, savedEffectName);
        DialogTest::TearDown();
    }

    // Runs `dlg` modally; `inside` works on it while it runs, then it is closed with its close box. Every box it
    // opens is answered with OK and kept in m_boxes. Returns what DoModal answered.
    INT_PTR Run(CDialog& dlg, const std::function<void(HWND)>& inside) {
        return RunModal(dlg, [&](HWND hwnd) {
            inside(hwnd);
            ut::RunPendingMessages();
            if (IsWindow(hwnd))
                SendMessageW(hwnd, WM_CLOSE, 0, 0);
        });
    }
};

} // namespace adjust_test
