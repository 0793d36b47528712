// What the adjustment dialog tests share: a stand-in for the scanning window (its settings, its counters of
// "modified" and "render again", and a preview rendered through the real image-effect library), the language
// libraries of the data source, and running a modal dialog under a script.
#pragma once

#include "imaging/CEffectLibrary.h"
#include "imaging/CImage.h"
#include "platform/base/path.h"
#include "platform/user/afxwin.h"
#include "platform/user/testing.h"
#include "settings/CompanionNames.h"
#include "settings/Language.h"
#include "ui/dialogs/CAdjustmentOwner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace adjust_test {

namespace ut = platform::user::testing;

// The tests drive input themselves: no X windows (and no real pointer) even when DISPLAY is set.
inline const int g_headless = setenv("PLATFORM_HEADLESS", "1", 0);

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

// The language library of `code` (enus, zhcn, he) as the resource module, with the language's separator and
// reading order; nullptr when the staged library is not there.
inline HMODULE LoadLanguage(const char* code) {
    std::string folder;
    if (const char* m = std::getenv("MODULE_DIR"))
        folder = m;
    else if (const char* s = std::getenv("STAGE_DIR"))
        folder = std::string(s) + "/twain/kvx7731";
    if (folder.empty())
        return nullptr;
    const std::u16string name = u"\\kvxtwrc" + std::u16string(code, code + std::strlen(code)) + u".dll";
    HMODULE module = LoadLibraryW((platform::path::ToDosPath(folder) + name).c_str());
    if (module)
        AfxSetResourceHandle(module);
    g_chDecimalSep = u'.';
    g_bHebrew = std::strcmp(code, "he") == 0;
    return module;
}

inline std::u16string TextOf(HWND hwnd) {
    WCHAR buffer[512] = {};
    GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

inline std::u16string ItemText(HWND dlg, int id) {
    return TextOf(GetDlgItem(dlg, id));
}

// The button's click as its dialog receives it (two real clicks in a row would make a double click, which skinned
// buttons ignore).
inline void Press(HWND dlg, int id) {
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
    ut::RunPendingMessages();
}

// Where the snapshots go (DIALOGS_PNG_DIR), or empty when nobody asked for them.
inline std::string SnapshotPath(const std::string& name) {
    const char* out = std::getenv("DIALOGS_PNG_DIR");
    return out ? std::string(out) + "/" + name + ".png" : std::string();
}

// Common set-up: English strings, the real effect library beside the test program, a fixed screen.
class AdjustTest : public ::testing::Test {
protected:
    HMODULE strings = nullptr;
    WCHAR savedEffectName[MAX_PATH] = {};
    FakeWindow window;

    void SetUp() override {
        wcscpy_s(savedEffectName, g_szEffectLibName);
        wcscpy_s(g_szEffectLibName, MAX_PATH, EFFECTS_LIBRARY_NAME);
        ut::SetScreenSize(1920, 1080);
        UseLanguage("enus");
    }
    void TearDown() override {
        ut::SetModalInterceptor(nullptr);
        AfxSetResourceHandle(nullptr);
        if (strings)
            FreeLibrary(strings);
        g_bHebrew = FALSE;
        g_chDecimalSep = u'.';
        wcscpy_s(g_szEffectLibName, MAX_PATH, savedEffectName);
    }
    void UseLanguage(const char* code) {
        AfxSetResourceHandle(nullptr);
        if (strings)
            FreeLibrary(strings);
        strings = LoadLanguage(code);
    }

    // The messages of the error dialogs the dialog under test opened, each answered with OK at once.
    std::vector<std::u16string> errors;

    // Runs `dlg` modally; `inside` works on it while it runs, then it is closed with its close box. Returns what
    // DoModal answered.
    INT_PTR Run(CDialog& dlg, const std::function<void(HWND)>& inside) {
        HWND running = nullptr;
        ut::SetModalInterceptor([&](HWND hwnd) {
            if (running != nullptr) {
                errors.push_back(ItemText(hwnd, 10306));
                EndDialog(hwnd, IDOK);
                return;
            }
            running = hwnd;
            ut::RunPendingMessages();
            inside(hwnd);
            ut::RunPendingMessages();
            if (IsWindow(hwnd))
                SendMessageW(hwnd, WM_CLOSE, 0, 0);
        });
        const INT_PTR result = dlg.DoModal();
        ut::SetModalInterceptor(nullptr);
        return result;
    }
};

} // namespace adjust_test
