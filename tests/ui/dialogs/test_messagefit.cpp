// Every message the boxes show, in every language, fits its box: the error box with each error text the system
// hands it, the question and notice boxes with each of theirs.
#include "DialogTest.h"

#include "ui/dialogs/CErrorDlg.h"
#include "ui/dialogs/CWarningDlg.h"

namespace {

using namespace dialogs_test;

// The texts shown in the error box: the scan errors, the save checks, the help, range and connection failures.
constexpr UINT kErrorMessages[] = {1096, 1097, 1101, 1103, 1104, 1105, 1124, 1125, 1126, 1127, 1128, 1129,
                                   1132, 1139, 1140, 1141, 1143, 1149, 1151, 1152, 1153, 1154, 1155};
// The questions (OK and Cancel) and the notices (OK alone).
constexpr UINT kQuestions[] = {1095, 1098, 1130};
constexpr UINT kNotices[] = {1100, 1108};

class MessageFitTest : public DialogTest {};

TEST_F(MessageFitTest, EveryMessageFitsItsBoxInEveryLanguage) {
    for (const Language& language : kLanguages) {
        UseLanguage(language);
        if (!HaveStrings())
            GTEST_SKIP() << "MODULE_DIR names the folder of the staged language libraries";
        for (UINT id : kErrorMessages) {
            CErrorDlg box;
            box.m_strMessage = LoadResString(id);
            RunModal(box, [&](HWND dlg) { Snapshot(dlg, "error_" + std::to_string(id)); });
        }
        {
            // The settings store's failure, with the longer of the two file names it gives.
            CErrorDlg box;
            box.m_strMessage.Format(LoadResString(1159), u"APPsettings.dat");
            RunModal(box, [&](HWND dlg) { Snapshot(dlg, "error_1159"); });
        }
        for (UINT id : kQuestions) {
            CWarningDlg box;
            box.m_strMessage = LoadResString(id);
            RunModal(box, [&](HWND dlg) { Snapshot(dlg, "question_" + std::to_string(id)); });
        }
        for (UINT id : kNotices) {
            CWarningOK box;
            box.m_strMessage = LoadResString(id);
            RunModal(box, [&](HWND dlg) { Snapshot(dlg, "notice_" + std::to_string(id)); });
        }
    }
}

} // namespace
