// TfmCustom: the custom field mapping dialog. For each of the nine Palm
// custom fields the user picks the address-book property it is exchanged
// with (or "None"); OK writes the nine tags into the ids the dialog is bound
// to, at once.
#pragma once

#include <QDialog>

#include "platform/wintypes/WinTypes.h"

class QComboBox;

class TfmCustom : public QDialog {
    Q_OBJECT

public:
    // Palm Desktop versions below this one keep custom fields 5 to 9 out of
    // reach: their boxes are disabled (but still filled and still written).
    static constexpr LONG kAllCustomVersion = 40102;

    // Asks the installed Palm Desktop for its version.
    explicit TfmCustom(QWidget* pParent = nullptr);
    // With a known version (-1 for unknown).
    TfmCustom(QWidget* pParent, LONG nDesktopVersion);

    // Binds the dialog to nine ids (Custom1..Custom9; must not be null) and
    // selects each id's entry in its box.
    void SetCustomIDs(int* pdwCustomIDs);
    // Fills pBox (not null) with "None" and the property table, selecting
    // the entry of ulTag ("None" when the table has no such tag).
    static void FillFieldCombo(QComboBox* pBox, DWORD ulTag);
    // The tag of pBox's selected entry, 0 for "None".
    static DWORD GetSelectedTag(const QComboBox* pBox);

    void reject() override;

private:
    void FormCreate(LONG nDesktopVersion);
    void sbtnOKClick();

    int* m_pdwCustomIDs = nullptr;
    QComboBox* m_pBoxes[9] = {};
};
