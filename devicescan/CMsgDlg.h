// The note window: an empty modeless window that owns the program opened for a finished file.
#pragma once

#include "platform/user/afxwin.h"

class CMsgDlg : public CDialog {
public:
    enum { IDD = 8003 };
    explicit CMsgDlg(CWnd* parent = nullptr) : CDialog(IDD, parent) {}
};
