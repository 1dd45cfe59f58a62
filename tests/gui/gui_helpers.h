// What the window tests share: the application object, a scripted dialog
// seam, scratch folders with their own settings file, Palm and address-book
// fixtures, and access to the window's controls by name.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTreeView>
#include <QUrl>
#include <QWidget>

#include "src/DialogSeam.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"

class TfmMain;

namespace guitest {

// A seam that answers from a script and remembers what it was asked.
class FakeSeam : public IDialogSeam {
public:
    struct Message {
        QString strText;
        QString strCaption;
        int nIcon;
    };
    struct OpenRequest {
        QString strTitle;
        std::vector<FileFilter> filters;
        QString strStart;  // the file or folder the dialog was to start at
    };

    void ShowMessage(QWidget* pOwner, const QString& strText, const QString& strCaption, int nIcon) override;
    bool GetOpenFileName(QWidget* pOwner, const QString& strTitle, const std::vector<FileFilter>& filters,
                         QString* pstrPath) override;
    bool GetExistingFolder(QWidget* pOwner, const QString& strTitle, QString* pstrFolder) override;
    bool GetContactFileName(QWidget* pOwner, bool bSave, const QString& strTitle,
                            const std::vector<FileFilter>& filters, QString* pstrPath, int* pnFilter) override;
    bool ChooseColor(QWidget* pOwner, int* pnColor) override;
    int RunModal(QDialog* pDialog) override;
    bool OpenUrl(const QUrl& url) override;

    // Contact-file dialogs: (path, filter index) answers, an empty path
    // cancels, none left cancels; the titles asked, with "save " or "open "
    // before them.
    std::deque<std::pair<QString, int>> contactFileAnswers;
    QStringList contactFileRequests;
    std::vector<Message> messages;
    std::vector<OpenRequest> openRequests;
    std::deque<QString> openAnswers;  // an empty answer cancels; none left cancels
    std::vector<OpenRequest> folderRequests;
    std::deque<QString> folderAnswers;  // as openAnswers
    std::deque<int> colorAnswers;       // -1 cancels; none left cancels
    // Drives a dialog shown modally (find its controls, click OK...); the
    // dialog's result is the answer, kModalCancel when it was not closed.
    std::deque<std::function<void(QDialog*)>> modalScripts;
    QStringList modalDialogs;  // objectNames, in order
    std::vector<QUrl> openedUrls;
};

// One contact of a fixture; empty texts are left out.
struct Contact {
    Contact(std::string f = "", std::string l = "", std::string e = "", std::string c = "", std::string x = "",
            std::string hs = "", std::string hc = "")
        : first(std::move(f)), last(std::move(l)), email(std::move(e)), company(std::move(c)), fax(std::move(x)),
          homeStreet(std::move(hs)), homeCity(std::move(hc))
    {
    }
    std::string first;
    std::string last;
    std::string email;
    std::string company;
    std::string fax;
    std::string homeStreet;
    std::string homeCity;
};

// A fresh folder under /tmp with everything the program reaches on disk
// pointed into it: corvane.ini (absent until written), the default address
// book ($XDG_DATA_HOME), the Wine prefix (empty: no Palm Desktop installed)
// and the diagnostic log. All restored at the end.
class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string File(const std::string& name) const { return m_dir.File(name); }
    const std::string& Dir() const { return m_dir.Path(); }
    std::string IniPath() const { return File("corvane.ini"); }

    // Writes corvane.ini with section [iSysVal] holding these lines
    // ("Key=Value", one per entry) and any further text.
    void WriteIni(const std::vector<std::string>& keys, const std::string& strMore = std::string()) const;
    // The value of a key of [iSysVal] in the settings file, "" when absent.
    std::string IniValue(const std::string& key) const;

    // The main window on the settings file as it stands.
    std::unique_ptr<TfmMain> OpenMain();

    FakeSeam seam;

private:
    vwtest::TempDir m_dir{"gui"};
    vwtest::ScopedEnv m_winePrefix{"WINEPREFIX", File("wine").c_str()};
    vwtest::ScopedEnv m_dataHome{"XDG_DATA_HOME", File("data").c_str()};
    vwtest::ScopedEnv m_configHome{"XDG_CONFIG_HOME", File("config").c_str()};
    vwtest::ScopedEnv m_iniVariable{"VARNWICK_INI", nullptr};
};

// An extended Palm address.dat holding the contacts. False on failure.
bool WritePalmFile(const std::string& path, const std::vector<Contact>& contacts);

// An address book at path holding the contacts (created when missing).
bool WriteWabFile(const std::string& path, const std::vector<Contact>& contacts);
// "First Last <email> company" of every contact of the address book at
// path, in order.
std::vector<std::string> ReadWabFile(const std::string& path);

// The control of that name below pRoot; fails the test when there is none.
template <class T>
T* Find(const QWidget* pRoot, const char* pszName)
{
    T* pFound = pRoot->findChild<T*>(QString::fromLatin1(pszName));
    EXPECT_NE(pFound, nullptr) << "no control " << pszName;
    return pFound;
}

// Header captions, captions of column 0, check states and text colours of
// a list.
QStringList Headers(const QTreeView* pView);
QStringList Captions(const QTreeView* pView);
QString Cell(const QTreeView* pView, int nRow, int nColumn);
bool IsTicked(const QTreeView* pView, int nRow);
// The row's text colour as 0x00BBGGRR, -1 when the row has none of its own.
int RowColor(const QTreeView* pView, int nRow);
// Ticks or unticks a row as a click on its check box does.
void SetTicked(QTreeView* pView, int nRow, bool bTicked);
// Selects a row as a click on it does.
void SelectRow(QTreeView* pView, int nRow);

// A release of the left mouse button over the widget (a "click" on a panel).
void ClickPanel(QWidget* pWidget);

}  // namespace guitest
