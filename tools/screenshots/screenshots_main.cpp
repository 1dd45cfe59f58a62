// vw-screenshots <output folder>
//
// Opens the main window as `varnwick` does (same settings file, same data)
// and saves a PNG picture of it and of each dialog into the output folder:
// main.png (with the status bar's summary and colour legend),
// main-tooltip.png (a cut cell with its tooltip), options-general.png,
// options-columns.png, custom.png, detail.png, message.png and
// main-status.png (a data file that cannot be loaded, named in the status
// bar). Meant to run with QT_QPA_PLATFORM=offscreen, from
// tools/screenshots.sh, which hands it a fresh demo and settings of its own.
// The settings file is read from a copy, so the pictures leave it as it was.
#include <cstdio>
#include <filesystem>
#include <string>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTabWidget>
#include <QToolTip>
#include <QTreeView>

#include "common/misc/AppFolder.h"
#include "common/palm/TdmMain.h"
#include "src/FormStyle.h"
#include "src/TfmCustom.h"
#include "src/TfmDetail.h"
#include "src/TfmMain.h"
#include "src/TfmOption.h"

namespace {

bool Save(QWidget& widget, const QString& strFolder, const char* pszName)
{
    widget.show();
    QApplication::processEvents();
    const QString strPath = strFolder + QLatin1Char('/') + QString::fromLatin1(pszName);
    if (!widget.grab().save(strPath)) {
        std::fprintf(stderr, "vw-screenshots: cannot write %s\n", strPath.toLocal8Bit().constData());
        return false;
    }
    std::printf("%s\n", strPath.toLocal8Bit().constData());
    return true;
}

// The window with the tooltip of one cell of a list drawn where it shows:
// tooltips are windows of their own, which a picture of the main window
// leaves out.
bool SaveWithTooltip(TfmMain& window, const char* pszList, int nRow, int nColumn, const QString& strFolder,
                     const char* pszName)
{
    window.show();
    auto* pView = window.findChild<QTreeView*>(QString::fromLatin1(pszList));
    const QModelIndex index = pView->model()->index(nRow, nColumn);
    const QRect cell = pView->visualRect(index);
    const QPoint at = pView->viewport()->mapToGlobal(cell.center());
    QToolTip::showText(at, pView->model()->data(index, Qt::ToolTipRole).toString(), pView->viewport(), cell, 60000);
    QApplication::processEvents();
    QPixmap picture = window.grab();
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        if (pWidget->inherits("QTipLabel") && pWidget->isVisible()) {
            QPainter painter(&picture);
            painter.drawPixmap(window.mapFromGlobal(pWidget->pos()), pWidget->grab());
        }
    }
    QToolTip::hideText();
    const QString strPath = strFolder + QLatin1Char('/') + QString::fromLatin1(pszName);
    if (!picture.save(strPath)) {
        std::fprintf(stderr, "vw-screenshots: cannot write %s\n", strPath.toLocal8Bit().constData());
        return false;
    }
    std::printf("%s\n", strPath.toLocal8Bit().constData());
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    ApplyApplicationFont();
    if (argc != 2) {
        std::fprintf(stderr, "usage: vw-screenshots <output folder>\n");
        return 2;
    }
    const QString strFolder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(strFolder)) {
        std::fprintf(stderr, "vw-screenshots: cannot create %s\n", argv[1]);
        return 1;
    }

    // Read the settings from a copy, which is what the window writes at exit.
    char szIni[MAX_PATH] = {};
    GetIniFilePath(szIni);
    const std::string strCopy = (std::filesystem::temp_directory_path() / "vw-screenshots-corvane.ini").string();
    std::error_code error;
    std::filesystem::remove(strCopy, error);
    if (std::filesystem::exists(szIni))
        std::filesystem::copy_file(szIni, strCopy, error);
    SetIniFilePathOverride(strCopy.c_str());

    bool bOk = true;
    TdmMain::Instance();
    {
        TfmMain window;
        bOk &= Save(window, strFolder, "main.png");
        // The first Palm contact's company, cut by its column.
        const int nCompany = window.Engine().GetColumns(LIST_PALM).size() > 1 ? 1 : 0;
        bOk &= SaveWithTooltip(window, "lvPD", 0, nCompany, strFolder, "main-tooltip.png");

        TfmOption options(window.Settings(), &window);
        bOk &= Save(options, strFolder, "options-general.png");
        options.findChild<QTabWidget*>(QStringLiteral("spMain"))->setCurrentIndex(1);
        bOk &= Save(options, strFolder, "options-columns.png");
        options.hide();

        // The mapping of the settings, or a sample with long names when none is set.
        int ids[9] = {0x3A18001E, 0x3A28001E, 0x3A420040, 0x3A58101E, 0, 0, 0, 0, 0};
        bool bMapped = false;
        for (int nId : window.Settings().Custom)
            bMapped |= nId != 0;
        if (bMapped) {
            for (int i = 0; i < 9; ++i)
                ids[i] = window.Settings().Custom[i];
        }
        TfmCustom custom(&window);
        custom.SetCustomIDs(ids);
        bOk &= Save(custom, strFolder, "custom.png");
        custom.hide();

        TfmDetail detail(&window);
        detail.SetRecord(window.Engine().PalmRecordAt(0));
        detail.FillControls();
        bOk &= Save(detail, strFolder, "detail.png");
        detail.hide();

        QMessageBox message(QMessageBox::Information, QStringLiteral("Information"),
                            QStringLiteral("Palm Desktop to Outlook Express completed successfully, 3 records "
                                           "transfered."),
                            QMessageBox::Ok, &window);
        bOk &= Save(message, strFolder, "message.png");
        message.hide();

        // The status bar naming a Palm data file that could not be loaded.
        window.Engine().DataSourceChanged(DATA_PALM_FILE);
        window.Engine().BrowseResult("/home/someone/Palm Desktop/SomeUser/address/address.dat");
        bOk &= Save(window, strFolder, "main-status.png");
    }
    SetIniFilePathOverride(nullptr);
    std::filesystem::remove(strCopy, error);
    return bOk ? 0 : 1;
}
