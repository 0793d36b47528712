// Window texts and combo box items by string id from the language library, as every dialog sets its labels.
#pragma once

#include "platform/user/afxwin.h"

struct ControlText {
    CWnd* pWnd;
    UINT nID;
};

// Sets each window's text to LoadResString(id); a null list does nothing, a null window is skipped.
void SetControlTexts(const ControlText* items, int count);

// Empties the combo box and adds the string of each id in order; a null combo box or list does nothing.
void FillComboFromStrings(CComboBox* combo, const UINT ids[], int count);
