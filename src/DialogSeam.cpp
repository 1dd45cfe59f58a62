#include "src/DialogSeam.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include "platform/codepage/CodePage.h"
#include "platform/wintypes/WinTypes.h"
#include "src/core/TransferEngine.h"

namespace {

IDialogSeam* g_pSeam = nullptr;

// One Qt name filter from a description and a pattern. "*.*" means every
// file, as it does on Windows; on Linux that is "*" (a name needs no dot).
// The description keeps its own words, the pattern part is rebuilt.
QString NameFilter(const FileFilter& filter)
{
    const QString strPattern = filter.second == QLatin1String("*.*") ? QStringLiteral("*") : filter.second;
    QString strText = filter.first;
    const qsizetype nParen = strText.indexOf(QLatin1Char('('));
    if (nParen >= 0)
        strText.truncate(nParen);
    return strText.trimmed() + QStringLiteral(" (") + strPattern + QLatin1Char(')');
}

}  // namespace

void QtDialogSeam::ShowMessage(QWidget* pOwner, const QString& strText, const QString& strCaption, int nIcon)
{
    QMessageBox box(nIcon == kIconError ? QMessageBox::Critical : QMessageBox::Information, strCaption, strText,
                    QMessageBox::Ok, pOwner);
    box.exec();
}

bool QtDialogSeam::GetOpenFileName(QWidget* pOwner, const QString& strTitle, const std::vector<FileFilter>& filters,
                                   QString* pstrPath)
{
    QStringList nameFilters;
    for (const FileFilter& filter : filters)
        nameFilters << NameFilter(filter);
    QFileDialog dialog(pOwner, strTitle);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(nameFilters);
    if (!pstrPath->isEmpty()) {
        // Start where the file in use lies, not in the current folder.
        const QFileInfo current(*pstrPath);
        const QString strFolder = current.isDir() ? current.absoluteFilePath() : current.absolutePath();
        if (QFileInfo(strFolder).isDir())
            dialog.setDirectory(strFolder);
        if (current.isFile())
            dialog.selectFile(current.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    *pstrPath = dialog.selectedFiles().front();
    return true;
}

bool QtDialogSeam::GetExistingFolder(QWidget* pOwner, const QString& strTitle, QString* pstrFolder)
{
    QFileDialog dialog(pOwner, strTitle);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!pstrFolder->isEmpty() && QFileInfo(*pstrFolder).isDir())
        dialog.setDirectory(*pstrFolder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    *pstrFolder = dialog.selectedFiles().front();
    return true;
}

bool QtDialogSeam::GetContactFileName(QWidget* pOwner, bool bSave, const QString& strTitle,
                                      const std::vector<FileFilter>& filters, QString* pstrPath, int* pnFilter)
{
    QStringList nameFilters;
    for (const FileFilter& filter : filters)
        nameFilters << NameFilter(filter);
    QFileDialog dialog(pOwner, strTitle);
    dialog.setFileMode(bSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setAcceptMode(bSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setNameFilters(nameFilters);
    if (*pnFilter >= 0 && *pnFilter < nameFilters.size())
        dialog.selectNameFilter(nameFilters[*pnFilter]);
    if (!pstrPath->isEmpty())
        dialog.selectFile(*pstrPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    *pstrPath = dialog.selectedFiles().front();
    *pnFilter = static_cast<int>(nameFilters.indexOf(dialog.selectedNameFilter()));
    return true;
}

bool QtDialogSeam::ChooseColor(QWidget* pOwner, int* pnColor)
{
    const QColor color = QColorDialog::getColor(ColorRefToQColor(*pnColor), pOwner);
    if (!color.isValid())
        return false;
    *pnColor = QColorToColorRef(color);
    return true;
}

int QtDialogSeam::RunModal(QDialog* pDialog)
{
    return pDialog->exec();
}

bool QtDialogSeam::OpenUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

IDialogSeam& DialogSeam()
{
    static QtDialogSeam s_RealSeam;
    return g_pSeam != nullptr ? *g_pSeam : s_RealSeam;
}

void SetDialogSeam(IDialogSeam* pSeam)
{
    g_pSeam = pSeam;
}

QString AnsiToQString(const char* pszAnsi)
{
    if (pszAnsi == nullptr)
        return QString();
    return QString::fromStdString(AnsiToUtf8(pszAnsi));
}

QString AnsiToQString(const std::string& strAnsi)
{
    return QString::fromStdString(AnsiToUtf8(strAnsi));
}

namespace {

// A byte of a path that is not part of valid UTF-8 is shown as the private-
// use character U+F700 + byte, and turned back into that very byte, so that
// every name the file system can hold survives the window unchanged.
constexpr char16_t kRawByteBase = 0xF700;

}  // namespace

bool PathToNative(const QString& strPath, std::string* pstrNative)
{
    std::string native;
    const QString& text = strPath;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        if (unit >= kRawByteBase + 0x80 && unit <= kRawByteBase + 0xFF) {
            native += static_cast<char>(unit - kRawByteBase);
            continue;
        }
        qsizetype nLength = 1;
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            nLength = 2;
        native += text.mid(i, nLength).toUtf8().toStdString();
        i += nLength - 1;
    }
    if (native.size() > MAX_PATH - 1 || native.find('\0') != std::string::npos)
        return false;
    *pstrNative = native;
    return true;
}

QString NativeToPath(const char* pszNative)
{
    if (pszNative == nullptr)
        return QString();
    QString text;
    const auto* p = reinterpret_cast<const unsigned char*>(pszNative);
    while (*p != 0) {
        // The length of a valid UTF-8 sequence at p, 0 when it is not one.
        int nLength = 0;
        char32_t code = 0;
        if (*p < 0x80) {
            nLength = 1;
            code = *p;
        } else if (*p >= 0xC2 && *p <= 0xDF) {
            nLength = 2;
            code = *p & 0x1F;
        } else if (*p >= 0xE0 && *p <= 0xEF) {
            nLength = 3;
            code = *p & 0x0F;
        } else if (*p >= 0xF0 && *p <= 0xF4) {
            nLength = 4;
            code = *p & 0x07;
        }
        for (int k = 1; k < nLength; ++k) {
            if ((p[k] & 0xC0) != 0x80) {
                nLength = 0;
                break;
            }
            code = (code << 6) | (p[k] & 0x3F);
        }
        const bool bOverlong = (nLength == 3 && code < 0x800) || (nLength == 4 && code < 0x10000);
        if (nLength == 0 || bOverlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
            (code >= kRawByteBase + 0x80 && code <= kRawByteBase + 0xFF)) {
            text += QChar(static_cast<char16_t>(kRawByteBase + *p));
            ++p;
            continue;
        }
        text += QString::fromUcs4(&code, 1);
        p += nLength;
    }
    return text;
}

QColor ColorRefToQColor(int nColorRef)
{
    const auto nValue = static_cast<unsigned>(nColorRef);
    return QColor(static_cast<int>(nValue & 0xFF), static_cast<int>((nValue >> 8) & 0xFF),
                  static_cast<int>((nValue >> 16) & 0xFF));
}

int QColorToColorRef(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return rgb.red() | (rgb.green() << 8) | (rgb.blue() << 16);
}
