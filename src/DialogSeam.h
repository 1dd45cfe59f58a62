// The one place where the window code meets the user's modal answers:
// message boxes, the open-file dialog, the colour dialog, running one of our
// own dialogs modally, and opening a page in the user's browser.
//
// The window code never calls QMessageBox, QFileDialog, QColorDialog,
// QDialog::exec or QDesktopServices itself; it asks the seam installed with
// SetDialogSeam (the real one, QtDialogSeam, when none is installed). Tests
// install a scripted seam, so no test ever waits on a modal window.
//
// Also here: the conversions at the window's edge, between the program's
// 8-bit ANSI text and Qt's strings, and between 0x00BBGGRR colours and
// QColor.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <QColor>
#include <QString>
#include <QUrl>

class QDialog;
class QWidget;

// Modal results of the program's dialogs.
constexpr int kModalOk = 1;
constexpr int kModalCancel = 2;  // Cancel, Close or the window's close box

// One entry of an open-file dialog's filter: description and pattern, as
// "Windows Address Book File (*.wab)" and "*.wab".
using FileFilter = std::pair<QString, QString>;

class IDialogSeam {
public:
    virtual ~IDialogSeam() = default;

    // A modal message box owned by pOwner with a single OK button; nIcon is
    // kIconError or kIconInformation (src/core/TransferEngine.h). Returns
    // when the user closed it.
    virtual void ShowMessage(QWidget* pOwner, const QString& strText, const QString& strCaption, int nIcon) = 0;

    // The open-file dialog: only an existing file in an existing folder can
    // be confirmed. On entry *pstrPath names the file in use (or a folder):
    // the dialog starts in its folder with it chosen; empty leaves the start
    // to the dialog. True with *pstrPath set when a file was chosen; false,
    // *pstrPath untouched, when the user cancelled.
    virtual bool GetOpenFileName(QWidget* pOwner, const QString& strTitle, const std::vector<FileFilter>& filters,
                                 QString* pstrPath) = 0;

    // The choose-folder dialog: only an existing folder can be confirmed. On
    // entry *pstrFolder is the folder to start at ("" leaves the start to the
    // dialog). True with *pstrFolder set when a folder was chosen; false,
    // untouched, on cancel (and from a seam that offers no such dialog).
    virtual bool GetExistingFolder(QWidget* pOwner, const QString& strTitle, QString* pstrFolder)
    {
        (void)pOwner;
        (void)strTitle;
        (void)pstrFolder;
        return false;
    }

    // The file dialog of contact files: an existing file to read (bSave
    // false) or a file to write (bSave true; replacing one is confirmed).
    // *pnFilter is the index of the filter shown first and receives the one
    // chosen. True with *pstrPath set when confirmed; false, nothing
    // changed, when the user cancelled. A seam that does not answer it
    // cancels.
    virtual bool GetContactFileName(QWidget* pOwner, bool bSave, const QString& strTitle,
                                    const std::vector<FileFilter>& filters, QString* pstrPath, int* pnFilter)
    {
        (void)pOwner, (void)bSave, (void)strTitle, (void)filters, (void)pstrPath, (void)pnFilter;
        return false;
    }

    // The colour dialog, preset to *pnColor (0x00BBGGRR). True with *pnColor
    // set to the confirmed colour; false, *pnColor untouched, on cancel.
    virtual bool ChooseColor(QWidget* pOwner, int* pnColor) = 0;

    // Shows one of the program's dialogs modally and answers its modal
    // result (kModalOk, kModalCancel).
    virtual int RunModal(QDialog* pDialog) = 0;

    // Opens the page in the user's web browser. False when that failed.
    virtual bool OpenUrl(const QUrl& url) = 0;
};

// The real seam: QMessageBox, QFileDialog, QColorDialog, QDialog::exec and
// QDesktopServices.
class QtDialogSeam : public IDialogSeam {
public:
    void ShowMessage(QWidget* pOwner, const QString& strText, const QString& strCaption, int nIcon) override;
    bool GetOpenFileName(QWidget* pOwner, const QString& strTitle, const std::vector<FileFilter>& filters,
                         QString* pstrPath) override;
    bool GetExistingFolder(QWidget* pOwner, const QString& strTitle, QString* pstrFolder) override;
    bool GetContactFileName(QWidget* pOwner, bool bSave, const QString& strTitle,
                            const std::vector<FileFilter>& filters, QString* pstrPath, int* pnFilter) override;
    bool ChooseColor(QWidget* pOwner, int* pnColor) override;
    int RunModal(QDialog* pDialog) override;
    bool OpenUrl(const QUrl& url) override;
};

// The seam in force: the one installed last, else a QtDialogSeam.
IDialogSeam& DialogSeam();
// Installs pSeam (not owned; null restores the real one).
void SetDialogSeam(IDialogSeam* pSeam);

// ---- Conversions at the window's edge -----------------------------------

// Contact text (8-bit, in the ANSI code page) for showing. The window
// never writes contact text back: the details dialog only displays.
QString AnsiToQString(const char* pszAnsi);
QString AnsiToQString(const std::string& strAnsi);

// File paths are not contact text: the program keeps them as the bytes the
// file system uses (UTF-8 names on Linux) and hands them to the file
// functions as they stand. A path chosen or typed in the window, as the
// program keeps it; false when it does not fit a MAX_PATH buffer (at most
// 259 bytes), since a cut path would name another file.
bool PathToNative(const QString& strPath, std::string* pstrNative);
// A kept path, for showing.
QString NativeToPath(const char* pszNative);

// 0x00BBGGRR to QColor and back.
QColor ColorRefToQColor(int nColorRef);
int QColorToColorRef(const QColor& color);
