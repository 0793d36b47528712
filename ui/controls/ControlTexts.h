// Window texts by string id from the language library, as every dialog sets its labels.
#pragma once

#include "platform/user/afxwin.h"

struct ControlText {
    CWnd* pWnd;
    UINT nID;
};

// Sets each window's text to LoadResString(id); a null list does nothing, a null window is skipped.
void SetControlTexts(const ControlText* items, int count);
