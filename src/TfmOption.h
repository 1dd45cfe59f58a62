// TfmOption: the Options dialog. Shows the main window's settings on two
// pages (general options, and the columns and colours of the lists), checks
// the address-book choice, and on OK stores the controls back into the
// settings. It never writes the settings file; that happens at exit.
//
// The custom field mapping is edited through its own dialog, which writes
// the mapping into the settings when its own OK is pressed: a mapping
// confirmed there stays even when this dialog is then cancelled.
#pragma once

#include <string>

#include <QDialog>

#include "src/core/SysSettings.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

class TfmOption : public QDialog {
    Q_OBJECT

public:
    // Edits settings (the main window's, kept alive by the caller).
    explicit TfmOption(SysSettings& settings, QWidget* pParent = nullptr);

    // bSave false: settings into the controls; always true. bSave true:
    // checks the controls and, when they pass, stores them into the
    // settings and answers true; otherwise false with nothing changed.
    bool ExchangeSettings(bool bSave);

    void reject() override;

    // The Palm Desktop folder and the code page of the Palm data, as the
    // dialog was opened with them and, after an OK, as chosen (a folder of
    // "" leaves it to the Wine registry). They live in the settings file,
    // not in the settings block: the opener applies them
    // (TransferEngine::SetPalmDesktop) when PalmDesktopChanged.
    bool PalmDesktopChanged() const { return m_bPalmChanged; }
    const std::string& GetPalmFolder() const { return m_strPalmFolder; }
    const std::string& GetCodePage() const { return m_strCodePage; }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void BuildGeneralPage(QWidget* pPage);
    void BuildColumnPage(QWidget* pPage);

    void FormCreate();
    void sbtnOKClick();
    void rbtnDefaultClick();
    void rbtnOtherClick();
    void sbtnBrowseClick();
    void schkCustomClick();
    void sbtnCustomClick();
    void sbtnPDPathClick();
    // The colour panels: 0 same, 1 modified, 2 new.
    void ColorPanelClick(int nPanel);
    void SetPanelColor(int nPanel, int nColor);

    SysSettings& m_Settings;

    QTabWidget* spMain = nullptr;
    QRadioButton* rbtnDefault = nullptr;
    QRadioButton* rbtnOther = nullptr;
    QLineEdit* edtWabName = nullptr;
    QPushButton* sbtnBrowse = nullptr;
    QCheckBox* schkSwap = nullptr;
    QCheckBox* schkCustom = nullptr;
    QPushButton* sbtnCustom = nullptr;
    QCheckBox* chkEmail = nullptr;
    QLineEdit* edtPDPath = nullptr;
    QPushButton* sbtnPDPath = nullptr;
    QComboBox* cmbCodePage = nullptr;
    QCheckBox* cbDisableColor = nullptr;
    QCheckBox* m_pColumnBoxes[23] = {};
    QFrame* m_pColorPanels[3] = {};
    int m_nPanelColors[3] = {};
    std::string m_strPalmFolder;
    std::string m_strCodePage;
    bool m_bPalmChanged = false;
};
