// A modeless dialog made from a template text for the control tests: its background is two known colours (left
// and right half), so what a transparent control shows can be told from what it paints itself.
#pragma once

#include "platform/base/path.h"
#include "platform/gdi/testing.h"
#include "platform/user/afxwin.h"
#include "platform/user/testing.h"

#include <cstdlib>
#include <string>

namespace controls_test {

namespace ut = platform::user::testing;

inline constexpr COLORREF kLeftColour = RGB(40, 170, 90);
inline constexpr COLORREF kRightColour = RGB(200, 120, 40);

// The test skin pictures (tests/ui/controls/data) and their colours.
inline constexpr UINT kSolidNormal = 500, kSolidDown = 501, kSolidOver = 502, kSolidDisabled = 503, kSolidFocus = 504,
                      kMaskCorners = 505, kTile = 506, kMaskEmpty = 507;
inline constexpr COLORREF kNormalColour = RGB(0x20, 0x40, 0xC0);
inline constexpr COLORREF kDownColour = RGB(0xC0, 0x20, 0x20);
inline constexpr COLORREF kOverColour = RGB(0x20, 0xA0, 0x40);
inline constexpr COLORREF kDisabledColour = RGB(0x80, 0x80, 0x80);
inline constexpr COLORREF kFocusColour = RGB(0xC0, 0xA0, 0x20);

class TestHost : public CDialog {
public:
    COLORREF left = kLeftColour;
    COLORREF right = kRightColour;
    int clicks = 0;

    BOOL Open(const char* templateText) {
        if (!CreateIndirect(reinterpret_cast<LPCDLGTEMPLATEW>(templateText), nullptr))
            return FALSE;
        ShowWindow(SW_SHOW);
        ut::RunPendingMessages();
        return TRUE;
    }
    BOOL OnEraseBkgnd(CDC* dc) {
        CRect client;
        GetClientRect(&client);
        dc->FillSolidRect(0, 0, client.Width() / 2, client.Height(), left);
        dc->FillSolidRect(client.Width() / 2, 0, client.Width() - client.Width() / 2, client.Height(), right);
        return TRUE;
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) >= 100)
            ++clicks;
        return CDialog::OnCommand(wParam, lParam);
    }
    void OnOK() override {}
    void OnCancel() override {}
    // Screen point of a control's client point.
    POINT ScreenOf(CWnd& control, int x, int y) const {
        POINT p{x, y};
        control.ClientToScreen(&p);
        return p;
    }
    // Repaints the whole dialog and its children now.
    void Repaint() {
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        ut::RunPendingMessages();
    }
    DECLARE_MESSAGE_MAP()
};

// The staged English language library as resource module, so labels read their real texts.
inline HMODULE LoadEnglishStrings() {
    std::string folder;
    if (const char* m = std::getenv("MODULE_DIR"))
        folder = m;
    else if (const char* s = std::getenv("STAGE_DIR"))
        folder = std::string(s) + "/twain/kvx7731";
    if (folder.empty())
        return nullptr;
    return LoadLibraryW((platform::path::ToDosPath(folder) + u"\\kvxtwrcenus.dll").c_str());
}

} // namespace controls_test
