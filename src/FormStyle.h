// The look shared by the program's windows.
//
// The main window and the dialogs have fixed sizes, laid out for text of
// one size: their font is the system's font family at a fixed pixel size,
// so that every caption fits whatever point size the desktop prefers.
#pragma once

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
