// What the SMS manager needs of the SMS list pane: its rows, its selection and
// the list it shows. The pane implements it; the controller passes the
// manager's calls on.
#pragma once

#include <cstdint>

class CSMS;

class ISmsListView {
public:
    virtual ~ISmsListView() = default;
    // The list now shown (0..2), -1 before any.
    virtual int ShownList() const = 0;
    // Record indices of the selected rows of the shown list, ascending, at
    // most max; with a null array only their number.
    virtual int GetSelection(int* indices, int max) const = 0;
    virtual void InsertRow(int list, const CSMS& sms) = 0;
    virtual void UpdateRow(int list, int index, const CSMS& sms) = 0;
    virtual void DeleteRows(int list, const int* indices, int n) = 0;
    // The nine column widths (list by list: number, text, time) for the profile.
    virtual void GetColumnWidths(int32_t* widths) const = 0;
};
