// The question and notice boxes: their answers, their texts in each language, the input they ignore and their
// backgrounds by reading direction.
#include "DialogTest.h"

#include "ui/dialogs/CWarningDlg.h"

namespace {

using namespace dialogs_test;

class WarningDlgTest : public DialogTest {};

TEST_F(WarningDlgTest, TheQuestionAnswersOkOrCancelByItsButtonsAndCancelByTheCloseBox) {
    CWarningDlg ok;
    ok.m_strMessage = u"Replace it?";
    EXPECT_EQ(RunModal(ok, [](HWND dlg) { ClickItem(dlg, IDOK); }), IDOK);

    CWarningDlg cancel;
    EXPECT_EQ(RunModal(cancel, [](HWND dlg) { ClickItem(dlg, IDCANCEL); }), IDCANCEL);

    CWarningDlg closed;
    EXPECT_EQ(RunModal(closed,
                       [](HWND dlg) {
                           SendMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
                           ut::RunPendingMessages();
                       }),
              IDCANCEL);
}

TEST_F(WarningDlgTest, TheNoticeAnswersOkByItsButtonAndCancelByTheCloseBox) {
    CWarningOK ok;
    bool noCancel = false;
    EXPECT_EQ(RunModal(ok,
                       [&](HWND dlg) {
                           noCancel = GetDlgItem(dlg, IDCANCEL) == nullptr;
                           ClickItem(dlg, IDOK);
                       }),
              IDOK);
    EXPECT_TRUE(noCancel) << "the notice has no Cancel button";

    CWarningOK closed;
    EXPECT_EQ(RunModal(closed,
                       [](HWND dlg) {
                           SendMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
                           ut::RunPendingMessages();
                       }),
              IDCANCEL);
}

TEST_F(WarningDlgTest, ShowsTheCallersMessageWithTheLanguagesCaptionAndLabels) {
    for (const Language& language : kLanguages) {
        UseLanguage(language);
        CWarningDlg question;
        question.m_strMessage = LoadResString(1130);
        RunModal(question, [&](HWND dlg) {
            EXPECT_EQ(ItemText(dlg, 10308), std::u16string(LoadResString(1130)));
            if (HaveStrings()) {
                EXPECT_EQ(TextOf(dlg), std::u16string(LoadResString(1093))) << language.code;
                EXPECT_EQ(ItemText(dlg, IDOK), std::u16string(LoadResString(1090)));
                EXPECT_EQ(ItemText(dlg, IDCANCEL), std::u16string(LoadResString(1092)));
            }
            Snapshot(dlg, "warning_question");
            ClickItem(dlg, IDOK);
        });
        CWarningOK notice;
        notice.m_strMessage = LoadResString(1098);
        RunModal(notice, [&](HWND dlg) {
            EXPECT_EQ(ItemText(dlg, 10307), std::u16string(LoadResString(1098)));
            if (HaveStrings()) {
                EXPECT_EQ(ItemText(dlg, IDOK), std::u16string(LoadResString(1090)));
            }
            Snapshot(dlg, "warning_notice");
            ClickItem(dlg, IDOK);
        });
    }
}

TEST_F(WarningDlgTest, EnterEscapeSpaceAndRightClicksLeaveBothOpen) {
    CWarningDlg question;
    CWarningOK notice;
    for (CDialog* dialog : {static_cast<CDialog*>(&question), static_cast<CDialog*>(&notice)}) {
        bool open = false;
        const INT_PTR result = RunModal(*dialog, [&](HWND dlg) {
            for (int focus : {IDOK, IDCANCEL}) {
                if (GetDlgItem(dlg, focus))
                    SetFocus(GetDlgItem(dlg, focus));
                for (WPARAM key : {VK_RETURN, VK_ESCAPE, VK_SPACE}) {
                    ut::PressKey(key);
                    ut::RunPendingMessages();
                }
            }
            RECT r{};
            GetWindowRect(dlg, &r);
            ut::MouseDown(POINT{r.left + 20, r.bottom - 10}, WM_RBUTTONDOWN);
            ut::MouseUp(POINT{r.left + 20, r.bottom - 10}, WM_RBUTTONUP);
            ut::RunPendingMessages();
            open = IsWindowVisible(dlg) != FALSE;
            ClickItem(dlg, IDOK);
        });
        EXPECT_TRUE(open) << "only a click on a button answers";
        EXPECT_EQ(result, IDOK);
    }
}

TEST_F(WarningDlgTest, ARightToLeftLanguageMirrorsTheLayoutAndTheBackground) {
    auto layout = [&](CDialog& dialog, int messageId, POINT& okAt, POINT& markColourAt, COLORREF& mark) {
        RunModal(dialog, [&](HWND dlg) {
            RECT ok{};
            GetWindowRect(GetDlgItem(dlg, IDOK), &ok);
            MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&ok), 2);
            okAt = {ok.left, ok.top};
            RECT text{};
            GetWindowRect(GetDlgItem(dlg, messageId), &text);
            MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&text), 2);
            markColourAt = {text.left, text.top};
            // The mark of the background: a disc 40 pixels in from the side where reading starts (probed beside
            // its glyph).
            RECT client{};
            GetClientRect(dlg, &client);
            mark = ut::WindowPixel(dlg, g_bHebrew ? client.right - 1 - 28 : 28, 38);
            ClickItem(dlg, IDOK);
        });
    };
    POINT okLtr{}, okRtl{}, textLtr{}, textRtl{};
    COLORREF markLtr = 0, markRtl = 0;
    CWarningDlg ltr;
    layout(ltr, 10308, okLtr, textLtr, markLtr);
    UseLanguage(kHebrew);
    CWarningDlg rtl;
    layout(rtl, 10308, okRtl, textRtl, markRtl);
    EXPECT_GT(okRtl.x, okLtr.x) << "OK moves to the right, Cancel to the left";
    EXPECT_LT(textRtl.x, textLtr.x) << "the message moves to the left, clear of the mark";
    EXPECT_GT(GetRValue(markLtr), 200) << "the question mark's amber, left";
    EXPECT_GT(GetRValue(markRtl), 200) << "and right";
    EXPECT_LT(GetBValue(markRtl), 100);
}

TEST_F(WarningDlgTest, TheQuestionMarkReadsTheSameWayRightToLeft) {
    // The mark's square, 40 pixels in from the side where reading starts, as it is drawn.
    auto mark = [&](std::vector<COLORREF>& pixels) {
        CWarningDlg question;
        RunModal(question, [&](HWND dlg) {
            RECT client{};
            GetClientRect(dlg, &client);
            EXPECT_EQ(client.right, 277) << "the background is drawn at its own size";
            const int centre = g_bHebrew ? client.right - 40 : 40;
            for (int y = 38 - 18; y <= 38 + 18; ++y)
                for (int x = centre - 18; x <= centre + 18; ++x)
                    pixels.push_back(ut::WindowPixel(dlg, x, y));
            ClickItem(dlg, IDOK);
        });
    };
    std::vector<COLORREF> ltr, rtl;
    mark(ltr);
    UseLanguage(kHebrew);
    mark(rtl);
    ASSERT_EQ(ltr.size(), rtl.size());
    EXPECT_TRUE(ltr == rtl) << "the question mark of the right-to-left box is drawn mirrored";
}

} // namespace
