// The look shared by the program's windows.
//
// The main window and the dialogs have fixed sizes, laid out for text of
// one size: their font is the system's font family at a fixed pixel size,
// so that every caption fits whatever point size the desktop prefers.
#pragma once

class QBoxLayout;
class QPushButton;
class QWidget;

// Pixel size of the forms' text (the size of 8-point text at 96 dots per
// inch, which the forms' proportions were made for).
constexpr int kFormFontPixels = 11;

// Gives pForm (and so its controls) the forms' font.
void ApplyFormFont(QWidget* pForm);

// Gives the whole application the forms' font, so that message boxes and
// the system dialogs match the forms. Call once, after the application
// object exists.
void ApplyApplicationFont();

// The dialogs' closing row: "&OK" (sbtnOK, the default button) and "&Cancel"
// (sbtnCancel), 80 by 27 each, right-aligned, appended to pLayout.
struct OkCancelRow {
    QPushButton* pOk;
    QPushButton* pCancel;
};
OkCancelRow AddOkCancelRow(QWidget* pForm, QBoxLayout* pLayout);
