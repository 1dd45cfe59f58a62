// TfmMain: the program's main window.
//
// It shows the Palm Desktop contacts of the chosen HotSync user (lvPD) and
// the Outlook Express address book (lvOE) side by side as two check-box
// lists coloured by how each record compares with the other side, and
// offers the controls that choose the user, the data files and the transfer
// mode. Everything that is not drawing — the settings, the two sides, the
// rows, the transfers and their messages — is the transfer engine's; the
// window forwards its events to it and shows what the engine reports
// through IEngineSink.
//
// Creating the window starts the program (settings, Palm facade, address
// book, HotSync libraries and users, both lists, their states); destroying
// it shuts the program down and writes the settings file, once.
#pragma once

#include <array>
#include <utility>

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <QUrl>

#include "src/core/SysSettings.h"
#include "src/core/TransferEngine.h"

class ContactListModel;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressDialog;
class QPushButton;
class QRadioButton;
class QSplitter;
class QStatusBar;
class QTreeView;

// The task-bar title of the application and the main window's caption.
extern const char kApplicationTitle[];
extern const char kMainWindowCaption[];

// Why one side could not be loaded, for the status bar; empty strSide
// when it loaded.
struct SideProblem {
    QString strSide;  // "Palm Desktop data not loaded"...
    QString strPath;  // the file, "" when there is none to name
    QString strReason;
    // The sentence, with strShownPath standing for the path.
    QString Text(const QString& strShownPath) const
    {
        QString strText = strSide;
        if (!strPath.isEmpty())
            strText += QStringLiteral(" from \"") + strShownPath + QLatin1Char('"');
        return strText + QStringLiteral(": ") + strReason + QLatin1Char('.');
    }
};

class TfmMain : public QMainWindow, public IEngineSink {
    Q_OBJECT

public:
    explicit TfmMain(QWidget* pParent = nullptr);
    ~TfmMain() override;

    TransferEngine& Engine() { return m_Engine; }
    SysSettings& Settings() { return m_Settings; }
    ContactListModel* Model(ListType eList) const;

    // IEngineSink: what the engine reports, shown.
    void ShowMessage(const char* pszText, const char* pszCaption, int nIcon) override;
    void Progress(int nCurrent, int nTotal) override;
    void ListRebuilt(ListType eList) override;
    void StatesRefreshed() override;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    // Building the form in its designed state.
    void BuildTopPanel(QWidget* pParent);
    void BuildUserPanel(QWidget* pParent);
    void BuildClientPanel(QWidget* pParent);
    QFrame* BuildListPanel(QWidget* pParent, const char* pszPanel, const char* pszCaption, const char* pszList,
                           const char* pszMenu, const char* pszItemPrefix, ListType eList);

    // Start-up after the form is built: the engine's start, then the user
    // and data-source choices and the mode button of SyncMode.
    void FormCreate();
    // Shut-down, once: the engine's (settings written), the lists emptied.
    void FormDestroy();

    // Event handlers, named after the form's controls.
    void cmbUserChange(int nIndex);
    void cmbDataChange(int nIndex);
    void btnBrowseClick();
    void btnOptionClick();
    void btnHelpClick();
    void btnExitClick();
    void btnStartClick();
    void lvDblClick(ListType eList);
    // "Export All...", "Export Ticked..." and "Import..." of a list's popup
    // menu (src/TfmExchange.cpp): a vCard or CSV file chosen with the file
    // dialog, its format from the dialog's filter.
    void pmExportClick(ListType eList, bool bTickedOnly);
    void pmImportClick(ListType eList);
    void pnlPDClick();
    void pnlOEClick();
    void pnlTopResize();

    QTreeView* View(ListType eList) const;
    // The mode radio buttons, each with the SyncModeValue it stands for.
    std::array<std::pair<QRadioButton*, int>, 3> ModeButtons() const;
    // The selected row of a list, -1 when none is.
    int SelectedRow(ListType eList) const;
    void ApplyColumnWidths(ListType eList);
    // A column's width the user set by dragging, kept for the run.
    void ColumnResized(ListType eList, int nSection, int nNewSize);
    void ShowDataText();
    // The user box: every HotSync user, showing the one whose file the Palm
    // list holds (none when the file is no user's).
    void FillUserBox();
    void ShowLoadedUser();
    void UpdateStatus();
    // When both sides loaded: what each side holds and from where, with the
    // paths shortened to the room there is (whole in the tooltip).
    void ShowLoadedSummary();
    // The colour legend beside the status text: same, modified, new.
    void UpdateLegend();
    void EndProgress();

    SysSettings m_Settings{};
    TransferEngine m_Engine;
    bool m_bDestroyed = false;
    int m_nBusy = 0;  // nesting depth of the busy cursor
    friend class BusyCursor;

    QProgressDialog* m_pProgress = nullptr;
    QElapsedTimer m_ProgressPump;

    ContactListModel* m_pPalmModel = nullptr;
    ContactListModel* m_pOutlookModel = nullptr;
    SideProblem m_PalmProblem;
    SideProblem m_OutlookProblem;
    // Column widths set by the user, by column-table index, per list (0
    // unset); they survive every reload of the list for the run.
    int m_nUserWidths[2][kColumnCount + 1] = {};
    bool m_bApplyingWidths = false;

    // Controls, named as in the form.
    QFrame* pnlTop = nullptr;
    QLabel* imgTop = nullptr;
    QPushButton* btnOption = nullptr;
    QPushButton* btnHelp = nullptr;
    QPushButton* btnExit = nullptr;
    QFrame* pnlUser = nullptr;
    QRadioButton* rbtnP2O = nullptr;
    QRadioButton* rbtnO2P = nullptr;
    QRadioButton* rbtnSync = nullptr;
    QPushButton* btnStart = nullptr;
    QComboBox* cmbUser = nullptr;
    QComboBox* cmbData = nullptr;
    QLineEdit* edtData = nullptr;
    QPushButton* btnBrowse = nullptr;
    QWidget* pClient = nullptr;
    QSplitter* Splitter1 = nullptr;
    QFrame* pnlPD = nullptr;
    QFrame* pnlOE = nullptr;
    QLabel* m_pPDCaption = nullptr;
    QLabel* m_pOECaption = nullptr;
    QTreeView* lvPD = nullptr;
    QTreeView* lvOE = nullptr;
    QMenu* pmPD = nullptr;
    QMenu* pmOE = nullptr;
    QStatusBar* sbMain = nullptr;
    QLabel* lblLegend = nullptr;
};

// The help page's address: the page installed beside the program.
QUrl HelpPageUrl();
