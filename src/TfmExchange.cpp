// The main window's export and import of contact files: the popup menu
// items of both lists. The work itself is the engine's (SideExchange); the
// window chooses the file and its format, shows the busy cursor and the
// progress, and tells the user what happened.
#include <QApplication>
#include <QFileInfo>
#include <QString>

#include "src/DialogSeam.h"
#include "src/TfmMain.h"
#include "src/core/SideExchange.h"

namespace {

// The export formats, in ExchangeFormat order, as the file dialog offers them.
const FileFilter kExportFilters[] = {
    {QStringLiteral("vCard 4.0 (*.vcf)"), QStringLiteral("*.vcf")},
    {QStringLiteral("vCard 3.0, for Google and phones (*.vcf)"), QStringLiteral("*.vcf")},
    {QStringLiteral("CSV for Google Contacts (*.csv)"), QStringLiteral("*.csv")},
    {QStringLiteral("CSV for Outlook (*.csv)"), QStringLiteral("*.csv")},
};

// The import filters: any vCard, the two CSV headers, or any file (its
// format recognised from the content).
const FileFilter kImportFilters[] = {
    {QStringLiteral("vCard (*.vcf *.vcard)"), QStringLiteral("*.vcf *.vcard")},
    {QStringLiteral("CSV from Google Contacts (*.csv)"), QStringLiteral("*.csv")},
    {QStringLiteral("CSV from Outlook (*.csv)"), QStringLiteral("*.csv")},
    {QStringLiteral("All Files (*.*)"), QStringLiteral("*.*")},
};

// The wait cursor while the window works, the normal one over a message.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

const char* SideTitle(ListType eList)
{
    return eList == LIST_PALM ? "Palm Desktop" : "Outlook Express";
}

}  // namespace

void TfmMain::pmExportClick(ListType eList, bool bTickedOnly)
{
    const QString strTitle = QStringLiteral("Export %1 Contacts").arg(QString::fromLatin1(SideTitle(eList)));
    if (bTickedOnly && m_Engine.CountChecked(eList) == 0) {
        DialogSeam().ShowMessage(this, QStringLiteral("Please tick the contacts you want to export."),
                                 QStringLiteral("Information"), kIconInformation);
        return;
    }
    QString strPath = QStringLiteral("contacts.vcf");
    int nFilter = EXF_VCARD4;
    if (!DialogSeam().GetContactFileName(this, true, strTitle,
                                         std::vector<FileFilter>(std::begin(kExportFilters), std::end(kExportFilters)),
                                         &strPath, &nFilter))
        return;
    const ExchangeFormat eFormat =
        nFilter >= EXF_VCARD4 && nFilter <= EXF_CSV_OUTLOOK ? static_cast<ExchangeFormat>(nFilter) : EXF_VCARD4;
    // A name typed without an extension gets the format's.
    if (QFileInfo(strPath).suffix().isEmpty())
        strPath += IsCsvFormat(eFormat) ? QStringLiteral(".csv") : QStringLiteral(".vcf");
    std::string strNative;
    if (!PathToNative(strPath, &strNative)) {
        DialogSeam().ShowMessage(this, QStringLiteral("The path is too long: %1").arg(strPath), QStringLiteral("Error"),
                                 kIconError);
        return;
    }
    ExportResult result;
    {
        WaitCursor busy;
        result = ExportSide(m_Engine, eList, eFormat, bTickedOnly, strNative.c_str());
    }
    DialogSeam().ShowMessage(this, QString::fromUtf8(result.strMessage.c_str()),
                             result.bSuccess ? QStringLiteral("Information") : QStringLiteral("Error"),
                             result.bSuccess ? kIconInformation : kIconError);
}

void TfmMain::pmImportClick(ListType eList)
{
    const QString strTitle = QStringLiteral("Import Contacts into %1").arg(QString::fromLatin1(SideTitle(eList)));
    QString strPath;
    int nFilter = 0;
    if (!DialogSeam().GetContactFileName(this, false, strTitle,
                                         std::vector<FileFilter>(std::begin(kImportFilters), std::end(kImportFilters)),
                                         &strPath, &nFilter))
        return;
    std::string strNative;
    if (!PathToNative(strPath, &strNative)) {
        DialogSeam().ShowMessage(this, QStringLiteral("The path is too long: %1").arg(strPath), QStringLiteral("Error"),
                                 kIconError);
        return;
    }
    // The filter names the format; "All Files" leaves it to the content.
    ExchangeFormat eFormat = EXF_VCARD4;
    const ExchangeFormat* peFormat = nullptr;
    if (nFilter == 0 || nFilter == 1 || nFilter == 2) {
        eFormat = nFilter == 0 ? EXF_VCARD4 : nFilter == 1 ? EXF_CSV_GOOGLE : EXF_CSV_OUTLOOK;
        peFormat = &eFormat;
    }
    ImportResult result;
    {
        WaitCursor busy;
        result = ImportFile(m_Engine, strNative.c_str(), eList, peFormat);
        EndProgress();
    }
    DialogSeam().ShowMessage(this, QString::fromUtf8(result.strMessage.c_str()),
                             result.bSuccess ? QStringLiteral("Information") : QStringLiteral("Error"),
                             result.bSuccess ? kIconInformation : kIconError);
}
